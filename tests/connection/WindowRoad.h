#pragma once
// The real main window on a saved profile against a real server on
// 127.0.0.1:21, for the tests that go the whole road through it.

#include "AsNobody.h"
#include "PrivateNetwork.h"
#include "SiteFixture.h"

#include "app/App.h"
#include "app/Window1.h"
#include "connection/ConnectionTexts.h"
#include "connection/PassDlg.h"
#include "connection/SelectTypeDlg.h"

#include "framework/Events.h"
#include "framework/FolderItem.h"
#include "ftp/UploadThread.h"

#include "FtpServers.h"
#include "Pump.h"
#include "ModalRecorder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>
#include <chrono>
#include <functional>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/wait.h>
#include <csignal>

inline std::string Requests()
{
  std::string out;
  for (const auto& r : ModalRecorder::Requests())
    out += "[" + (r.kind == ModalKind::Window ? "window " + r.title : r.message) + "] ";
  return out;
}

class Road {
public:
  // Without openWindow the window waits for OpenWindow(), as in a child
  // process that must make its own.
  Road(FtpServerKind kind, bool passive, bool uploadAndDelete, const std::string& user = "quill",
       bool openWindow = true, NameFolding folding = NameFolding::None)
      : Road(kind, site::OnPort21(user, folding), passive, uploadAndDelete, openWindow)
  {
  }

  Road(FtpServerKind kind, FtpServerOptions options, bool passive, bool uploadAndDelete, bool openWindow = true)
      : server(kind, std::move(options)), passive_(passive), uploadAndDelete_(uploadAndDelete)
  {
    server.MakeFolder("site");
    if (openWindow)
      OpenWindow();
  }

  void OpenWindow()
  {
    ModalRecorder::Clear();
    gDataset.clear();
    app = std::make_unique<App>();
    app->StartUp();
    w = &Window1::Instance();
    gPref[PrefConfirmSync] = 1;
    gPref[PrefBeepOnCaution] = 0;
    site::UseTypeTable();
    // A saved profile, selected in the profile list.
    Dataset d;
    d.Name = "site";
    d.Adrs = address;
    d.User = server.User();
    d.Pass = server.Password();
    d.rDir = "/site";
    d.Pasv = passive_ ? "yes" : "no";
    d.Path = local.Path();
    d.Mode = uploadAndDelete_ ? "sync" : "up";
    d.Zone = "0";
    gDataset = {d};
    w->InitSetlist();
    w->ListBox1.SetListIndex(0); // fills the pages; later edits take effect unsaved
  }

  ~Road()
  {
    if (!app)
      return;
    ModalRecorder::Clear();
    app->Quit();
    ProcessPendingEvents(50);
    app.reset();
    ModalRecorder::Clear();
  }

  bool Connect()
  {
    w->Toolbar11.Press("ToolItem1");
    return PumpUntil([&] { return w->pFin && !w->pSyncRFlg && w->SyncConnectionIdle(); });
  }

  // "接続" (clearing what an earlier one left) and "同期", going ahead at
  // every question, until the server has answered everything.
  ::testing::AssertionResult ConnectAndSync()
  {
    if (w->pMode != 0)
      ModalRecorder::PushButton(0); // "実行": clear the earlier results
    if (!Connect())
      return ::testing::AssertionFailure() << "the compare did not end: " << Requests();
    return Sync();
  }

  // "同期", going ahead at every question, until the server has answered
  // everything.
  ::testing::AssertionResult Sync()
  {
    site::AnswerGoAhead(3);
    w->Toolbar11.Press("ToolItem4");
    if (!PumpUntil([&] { return !w->SyncRunning() && w->SyncConnectionIdle(); }))
      return ::testing::AssertionFailure() << "the run did not end: " << Requests();
    return ::testing::AssertionSuccess();
  }

  // Ticks the rows of that name in a tree, as a click would.
  static void TickByHand(ListBox& list, const std::string& name)
  {
    for (int row = 0; row < list.ListCount(); ++row)
      if (list.Cell(row, 0) == name)
        list.UserSetCheck(row, 0, true);
  }

  FtpServerProcess server;
  TempDir local;
  std::unique_ptr<App> app;
  Window1* w = nullptr;
  // The profile's server address, as the user typed it.
  std::string address = "127.0.0.1";

private:
  bool passive_;
  bool uploadAndDelete_;
};
