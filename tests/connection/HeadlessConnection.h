#pragma once
// The connection and the run without the window: the edit-page fields are
// plain members, the walk handlers do what the window's do, the dialogs
// answer from members. Benchmarks use it too.

#include "connection/ConnectionControl.h"

#include "framework/Events.h"
#include "framework/FolderItem.h"
#include "Pump.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class HeadlessConnection : public ConnectionControl {
public:
  std::string host = "127.0.0.1";
  std::string user = "quill";
  std::string password = "secret";
  std::string remoteFolder;
  bool passive = true;
  bool uploadAndDelete = false;
  std::optional<FolderItem> localFolder;
  std::string typeAnswer = "I";
  std::vector<std::string> log;
  bool confirmAnswer = true;
  int confirmations = 0;
  int progressMaximum = 1;

  HeadlessConnection() { BindConnectionEvents(); }

  // Runs while the type question is open, before it is answered.
  std::function<void()> whileAsked;

  std::string GenSelectDlg(const std::string&) override
  {
    if (whileAsked)
      whileAsked();
    return typeAnswer;
  }

  bool Idle() const { return SyncConnectionIdle(); }
  // The compare is done and the server has answered everything.
  bool CompareDone() const { return pFin && !pSyncRFlg && SyncConnectionIdle(); }

protected:
  std::string TreesRemoteFolderText() const override { return remoteFolder; }
  std::string TreesZoneText() const override { return "0"; }
  const FolderItem* TreesLocalFolder() const override { return localFolder ? &*localFolder : nullptr; }
  std::string ConnHost() const override { return host; }
  std::string ConnUser() const override { return user; }
  std::string ConnPassword() const override { return password; }
  bool ConnPassive() const override { return passive; }
  bool SyncUploadAndDelete() const override { return uploadAndDelete; }
  bool SyncListConfirm(const std::string&, const std::vector<std::string>&) override
  {
    ++confirmations;
    return confirmAnswer;
  }
  void ConnLog(const std::string& line) override { log.push_back(line); }
  void ConnProgressMaximum(int maximum) override { progressMaximum = maximum; }
};
