#pragma once
// One FTP connection of the main window: connecting and disconnecting, and
// the handlers of the control and data connections' events, which keep the
// connection state, move the transfer display, and drive the remote walk
// and the synchronisation run. Plain C++: the window's fields, controls and
// dialogs are reached through the hooks at the end.
//
// The three handlers of the remote walk (loggedIn, remoteDirChanged,
// gotList) belong to the trees; the ones here only hand over to the walk.

#include "connection/SyncRun.h"

#include "settings/UntrustedUploads.h"

#include "ftp/FtpCommandSocket.h"
#include "ftp/FtpDataSocket.h"

#include "framework/FolderItem.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

class ConnectionControl : public SyncRun {
public:
  ConnectionControl();
  ~ConnectionControl() override;

  FtpCommandSocket commandSocket;
  FtpDataSocket dataSocket;

  // --- connection state ----------------------------------------------------
  std::int32_t pMode = 0; // 0 nothing loaded, 1 connected, 2 disconnected with results
  bool closing = false;   // disconnecting or closing: the server's close is expected
  bool getList = false;   // a download of the remote folder text awaits its end
  std::string path;       // the remote-folder text taken at connect
  bool usePassive = false;
  std::int64_t totalBytes = 0;
  std::int64_t bps = 0;
  std::optional<std::chrono::steady_clock::time_point> clock; // the data connection opened

  // --- connecting and disconnecting ----------------------------------------
  void MakeConnection();
  bool EnableConnect();
  void makeConnection2(const std::string& password);
  void CloseConnection();
  // A listing or a file is being transferred, or its transfer command
  // awaits its answer: the connection is not to be cut now.
  bool TransferDue() const;
  // Says so in a box when one is due: true, and nothing is to change.
  bool RefusedForTransfer();
  // The window is about to close: true keeps it open.
  bool ConnectionCancelClose();
  void ConnectionClose();

  // --- events of the two connections ---------------------------------------
  void commandSocket_Error();
  void commandSocket_gotResponse(const std::string& line);
  void commandSocket_gotServerError(const std::string& reply);
  void commandSocket_userCancelledUpload();
  void dataSocket_Connected();
  void dataSocket_bytesTransfered(std::int32_t count);
  void dataSocket_FileTransferComplete();
  void dataSocket_Error();
  void statusTimer_Action();

  // The control connection has answered everything it was sent.
  bool SyncConnectionIdle() const override;
  std::string SyncBusyWith() const override;

  // The remote walk's handlers; the trees' window versions replace these.
  virtual void commandSocket_loggedIn(const std::string& reply);
  virtual void commandSocket_remoteDirChanged(const std::string& reply);
  virtual void dataSocket_gotList(const std::string& listing);

protected:
  // Binds the sockets' events to the handlers; the owner calls it once.
  void BindConnectionEvents();

  // --- hooks to the window -------------------------------------------------
  // Edit-page fields: address, user, password, remote folder, passive.
  virtual std::string ConnHost() const { return {}; }
  virtual std::string ConnUser() const { return {}; }
  virtual std::string ConnPassword() const { return {}; }
  virtual bool ConnPassive() const { return true; }
  // The local folder the edit page names now, and its hand-over once the
  // connection goes ahead: taken with the remote folder, so a compare pairs
  // the two folders of one page.
  virtual std::optional<FolderItem> ConnLocalFolder() const;
  virtual void ConnUseLocalFolder(const FolderItem& /*folder*/) {}
  // Asks for a password with the prompt; false when the user cancelled.
  virtual bool ConnAskPassword(std::string& /*password*/) { return false; }
  // Empties the log and both trees (earlier results cleared).
  virtual void ConnClearResults() {}
  // Toolbar, profile list and profile buttons while connected, and after.
  virtual void ConnShowConnected() {}
  virtual void ConnShowDisconnected() {}
  virtual void ConnLog(const std::string& /*line*/) {}
  virtual void ConnProgressMaximum(int /*maximum*/) {}
  virtual void ConnProgressValue(int /*value*/) {}
  virtual void ConnSizeText(const std::string& /*text*/) {}
  virtual void ConnRateText(const std::string& /*text*/) {}

  // The run's hooks that the connection answers.
  void SyncMakeDirectory(const std::string& remotePath) override;
  void SyncStoreFile(const std::string& localPath, const std::string& remotePath, const std::string& type) override;
  bool SyncUntrusted(const std::vector<std::string>& remotePaths) override;
  void SyncSettled(const std::string& remotePath) override;
  void SyncNotSent(const std::string& remotePath) override;
  void SyncEnded() override;
  bool SyncStoreWritten() const override { return commandSocket.StoreWritten(); }
  bool SyncStoreWhole() const override { return dataSocket.UploadWhole(); }
  bool SyncReplyAnswers(const std::string& command) const override { return commandSocket.Answering() == command; }
  void SyncDeleteFile(const std::string& remotePath) override;
  void SyncDeleteDirectory(const std::string& remotePath) override;
  void SyncProgressStart(std::int64_t length) override;
  void SyncLog(const std::string& line) override { ConnLog(line); }
  bool SyncStoreOpened() const override { return commandSocket.StoreOpened() && !dataSocket.UploadWhole(); }
  bool SyncStoreReplyAwaited() const override { return commandSocket.TransferReplyAwaited(); }
  bool SyncConnectionAnswers() const override { return commandSocket.IsConnected() && !closing; }

  // The trees' hooks that the connection answers.
  void TreesSendCWD(const std::string& dir) override { commandSocket.sendCWD(dir); }
  void TreesGetList() override;
  void TreesLog(const std::string& line) override { ConnLog(line); }
  std::string TreesListingReply() const override { return dataSocket.FinalReplyText(); }
  // Files whose last upload to this server did not end whole go up again.
  void TreesCompared() override;
  void TreesListingsFailed(const std::string& message) override;

private:
  bool progressInBytes_ = false; // the bar's maximum is in bytes (small files)
  // The server and account of the connection, whose untrusted files these are.
  std::optional<UntrustedUploads> untrusted_;
  // What the last plan wrote down that was not written down before.
  std::set<std::string> plannedAnew_;
  // A strike-off that could not be written has been logged on this
  // connection.
  bool strikeOffFailureLogged_ = false;
  // A listing's data connection failed and the user was told; its final
  // reply is still due.
  bool listingFailureTold_ = false;

  // The record, told which address the connection reached; nullptr before
  // the first connection.
  UntrustedUploads* Untrusted();
  // Writes what a run struck off, as it ends: nothing it settled is lost to
  // a quit, a crash after its end notice, or a new connection. Outside a
  // run a strike-off is written at once.
  void WriteStruckOff();
  void StrikeOffWritten(bool written);

  bool FirstCwdPending() const;
  std::string LogConnectionEnd();
  // The remote folder text names a file of a type the table knows: its
  // download is offered. False when it does not.
  bool OfferDownload();
  // The server will not enter the remote folder: the connection ends, and a
  // box names the folder and the reply.
  void RemoteFolderRefused(const std::string& text);
  // "切断" once no transfer is due.
  void Disconnect();
};

// The reply text without its line ends.
std::string WithoutCrLf(const std::string& text);
