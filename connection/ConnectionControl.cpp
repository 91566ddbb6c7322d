#include "connection/ConnectionControl.h"
#include "app/Texts.h"

#include "connection/ConnectionTexts.h"

#include "framework/FolderItem.h"
#include "framework/Modal.h"
#include "settings/Globals.h"

std::string WithoutCrLf(const std::string& text)
{
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

ConnectionControl::ConnectionControl() = default;

ConnectionControl::~ConnectionControl()
{
  // No event of either socket may reach a half-destroyed window.
  commandSocket.gotResponse = nullptr;
  commandSocket.gotServerError = nullptr;
  commandSocket.loggedIn = nullptr;
  commandSocket.remoteDirChanged = nullptr;
  commandSocket.userCancelledUpload = nullptr;
  commandSocket.Error = nullptr;
  dataSocket.Connected = nullptr;
  dataSocket.bytesTransfered = nullptr;
  dataSocket.FileTransferComplete = nullptr;
  dataSocket.gotList = nullptr;
  dataSocket.Error = nullptr;
}

void ConnectionControl::BindConnectionEvents()
{
  commandSocket.gotResponse = [this](const std::string& line) { commandSocket_gotResponse(line); };
  commandSocket.gotServerError = [this](const std::string& reply) { commandSocket_gotServerError(reply); };
  commandSocket.loggedIn = [this](const std::string& reply) { commandSocket_loggedIn(reply); };
  commandSocket.remoteDirChanged = [this](const std::string& reply) { commandSocket_remoteDirChanged(reply); };
  commandSocket.userCancelledUpload = [this]() { commandSocket_userCancelledUpload(); };
  commandSocket.Error = [this]() { commandSocket_Error(); };
  dataSocket.Connected = [this]() { dataSocket_Connected(); };
  dataSocket.bytesTransfered = [this](std::int32_t count) { dataSocket_bytesTransfered(count); };
  dataSocket.FileTransferComplete = [this]() { dataSocket_FileTransferComplete(); };
  dataSocket.gotList = [this](const std::string& listing) { dataSocket_gotList(listing); };
  dataSocket.Error = [this]() { dataSocket_Error(); };
}

// ---------------------------------------------------------- connecting

void ConnectionControl::MakeConnection()
{
  const FolderItem* local = TreesLocalFolder();
  if (!local || !local->Exists() || !local->Directory()) {
    gCautionDlg1(Text::LocalFolderMissing, "", SyncParentWindow());
    return;
  }
  std::string password;
  if (ConnPassword().empty()) {
    if (!ConnAskPassword(password) || password.empty())
      return;
  }
  if (!EnableConnect())
    return;
  ConnShowConnected();
  pMode = 1;
  makeConnection2(password);
  GetCompareList();
}

bool ConnectionControl::EnableConnect()
{
  if (pMode == 0)
    return true;
  const std::int32_t answer = gCautionDlg(2, ConnectionText::Execute, Text::Cancel, "",
                                          ConnectionText::EarlierResults, Text::CannotUndo,
                                          SyncParentWindow());
  if (answer == CautionCancel)
    return false;
  if (answer == CautionAction) {
    // A run still going ends first, while its state still tells which
    // upload the new connection will cut short.
    SyncFailed();
    ConnClearResults();
    pMode = 0;
  }
  return true;
}

void ConnectionControl::makeConnection2(const std::string& password)
{
  // A connection still open is ended first, quietly: nothing of it may be
  // taken for the new one.
  closing = true;
  SyncConnectionStarted();
  SyncForgetCutShort();
  dataSocket.Abort();
  commandSocket.Close();
  dataConnected = false;
  getList = false;
  quiet_ = false;
  // Errors of the new connection are reported again.
  closing = false;

  path = TreesRemoteFolderText();
  const std::string user = ConnUser();
  commandSocket.userID = user.empty() ? std::string("ftp") : user;
  commandSocket.password = password.empty() ? ConnPassword() : password;
  commandSocket.Address = ConnHost();
  commandSocket.Port = 21;
  commandSocket.dataPort = &dataSocket;
  usePassive = ConnPassive();
  commandSocket.usePASV = usePassive;
  commandSocket.Connect();
}

void ConnectionControl::CloseConnection()
{
  if (dataConnected) {
    MsgBox(ConnectionText::DataConnectedNoDisconnect);
    return;
  }
  ConnShowDisconnected();
  pMode = 2;
  closing = true;
  // The run ends before QUIT, so its answer cannot move a step.
  SyncFailed();
  SyncForgetCutShort();
  commandSocket.sendQUIT();
}

bool ConnectionControl::ConnectionCancelClose()
{
  if (!dataConnected) {
    if (!closing) {
      closing = true;
      SyncFailed();
      SyncForgetCutShort();
      commandSocket.Close();
    }
    return false;
  }
  const std::int32_t answer =
      gCautionDlg(2, Text::Disconnect, Text::Cancel, "", ConnectionText::QuitDuringTransfer,
                  ConnectionText::QuitDestroysData, SyncParentWindow());
  if (answer == CautionCancel)
    return true;
  if (answer == CautionAction) {
    closing = true;
    SyncFailed();
    SyncForgetCutShort();
    // A reset, not an orderly close: a cut-off upload must not be stored
    // as if it were whole.
    dataSocket.Abort();
    commandSocket.Close();
  }
  return false;
}

void ConnectionControl::ConnectionClose()
{
  dataConnected = false;
  ConnProgressMaximum(1);
}

// -------------------------------------------------- control connection

void ConnectionControl::commandSocket_Error()
{
  SyncFailed();
  const std::string ended = closing ? std::string() : LogConnectionEnd();
  // No DELE can reach the server now: the user must know which file.
  const std::string left = SyncCutShortLeft();
  if (!closing)
    MsgBox(ended + (left.empty() ? "" : "\n\n" + left));
  // The connection is gone: no transfer can go on, and the window shows
  // what it shows after a disconnect.
  dataConnected = false;
  getList = false;
  ConnProgressMaximum(1);
  if (pMode == 1) {
    ConnShowDisconnected();
    pMode = 2;
  }
}

// Says in the log how the control connection ended, and during which step;
// returns the box's words.
std::string ConnectionControl::LogConnectionEnd()
{
  const int code = commandSocket.LastErrorCode();
  const std::string awaited = commandSocket.Awaited();
  const std::string during = awaited.empty() ? "" : " while waiting for " + awaited;
  if (code == kSocketServerSilent) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(commandSocket.silenceLimit).count();
    const std::string text = "The server did not answer for " + std::to_string(seconds) + " seconds" + during + ".";
    ConnLog(text);
    return text;
  }
  // A connection that never opened was not lost.
  if (code != kSocketConnectFailed && code != kSocketHostNotFound && code != kSocketInvalidAddress)
    ConnLog("The connection to the server was lost" + during + ".");
  return "Error: " + std::to_string(code);
}

void ConnectionControl::commandSocket_gotResponse(const std::string& line)
{
  quiet_ = false;
  std::size_t begin = 0;
  while (begin <= line.size()) {
    std::size_t end = line.find_first_of("\r\n", begin);
    const std::string piece = line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    if (!line.empty())
      ConnLog(piece);
    if (getList && (piece.compare(0, 3, "226") == 0 || piece.compare(0, 3, "250") == 0)) {
      getList = false;
      commandSocket.getList();
      ConnProgressMaximum(0);
    }
    if (end == std::string::npos)
      break;
    if (line[end] == '\r' && end + 1 < line.size() && line[end + 1] == '\n')
      ++end;
    begin = end + 1;
  }
  const bool running = SyncRunning();
  SyncReplyLine(line);
  if (running && !SyncRunning())
    quiet_ = true; // the last step's answer: nothing more was sent
}

bool ConnectionControl::FirstCwdPending() const
{
  // The walk has not yet got into its root, and a CWD is what was refused.
  return pSyncRFlg && pGroupR == -1 && pSyncR.empty() && commandSocket.Answering().rfind("CWD ", 0) == 0;
}

void ConnectionControl::OfferDownload()
{
  for (const FileTypeEntry& row : gFileType) {
    if (!EndsWithExtension(path, row.ext))
      continue;
    if (row.bin == "A" || row.bin == "I") {
      getList = true; // its end asks for a listing
      commandSocket.getFile(path, "", row.bin, "", "");
    }
    return;
  }
}

void ConnectionControl::commandSocket_gotServerError(const std::string& reply)
{
  quiet_ = true;
  const std::string text = WithoutCrLf(reply);
  // The client has dropped the data connection of a refused command, so no
  // transfer runs now, whoever handles the reply below, and no listing is
  // awaited any more.
  auto transferEnded = [this] {
    dataConnected = false;
    ConnProgressMaximum(1);
  };
  // Only a refused first change into the remote folder may name a file to
  // fetch; it must be told before the walk reacts to the refusal.
  const bool firstCwd = FirstCwdPending();
  if (RemoteWalkRefused(reply)) {
    transferEnded();
    return; // a sub-folder of the walk: logged and skipped there
  }
  if (firstCwd && reply.compare(0, 3, "550") == 0) {
    transferEnded();
    ConnLog(text);
    OfferDownload();
    return;
  }
  // A folder the server will not remove: logged with the reply there, and
  // the run goes on.
  if (SyncRemovalRefused(text, commandSocket.Answering())) {
    quiet_ = !SyncRunning(); // else the next removal's answer is awaited
    return;
  }
  SyncFailed();
  // The refusal of a cut-short file's DELE: the part stays on the server.
  const std::string left = SyncCutShortDeleAwaited() ? SyncCutShortLeft() : std::string();
  MsgBox("An error occurred: " + text + (left.empty() ? "" : "\n\n" + left));
  transferEnded();
  getList = false; // a refused download asks for no listing
  ConnLog(text);
  SyncDeleteCutShort();
}

void ConnectionControl::commandSocket_userCancelledUpload()
{
  ConnProgressMaximum(1);
  getList = false;
  // An upload that could not start ends the run (the client has said why).
  if (pUpload == 1)
    SyncFailed();
}

void ConnectionControl::commandSocket_loggedIn(const std::string& reply)
{
  RemoteWalkLoggedIn(path, reply);
}

void ConnectionControl::commandSocket_remoteDirChanged(const std::string& reply)
{
  if (RemoteWalkDirChanged(reply))
    TreesGetList();
}

// ----------------------------------------------------- data connection

void ConnectionControl::dataSocket_gotList(const std::string& listing)
{
  dataConnected = false;
  TakeListing(listing);
  ConnProgressMaximum(1);
  if (pSyncRFlg)
    GetCompareList2r();
}

void ConnectionControl::dataSocket_Connected()
{
  totalBytes = 0;
  dataConnected = true;
  clock = std::chrono::steady_clock::now();
}

void ConnectionControl::dataSocket_bytesTransfered(std::int32_t count)
{
  totalBytes += count;
  if (progressInBytes_ && dataSocket.status == "stor")
    ConnProgressValue(static_cast<int>(totalBytes));
  else
    ConnProgressValue(static_cast<int>(static_cast<double>(totalBytes) / 1024.0));
}

void ConnectionControl::dataSocket_FileTransferComplete()
{
  dataConnected = false;
  ConnProgressMaximum(1);
  ConnProgressValue(0);
  ConnSizeText("0");
  ConnRateText("0");
  SyncTransferComplete();
}

void ConnectionControl::dataSocket_Error()
{
  const std::string text =
      "An error " + std::to_string(dataSocket.LastErrorCode()) + " occurred in the data port!";
  if (RemoteWalkDataError(text)) {
    dataConnected = false;
    ConnProgressMaximum(1);
    return; // a listing of the walk: that folder is skipped
  }
  SyncFailed();
  if (!closing)
    MsgBox(text);
  dataConnected = false;
  ConnProgressMaximum(1);
  SyncDeleteCutShort();
}

void ConnectionControl::statusTimer_Action()
{
  if (!dataConnected || dataSocket.status == "list" || !clock)
    return;
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - *clock).count();
  bps = RateOf(totalBytes, elapsed);
  ConnRateText(std::to_string(bps));
}

// ------------------------------------------------------ the run's hooks

void ConnectionControl::SyncMakeDirectory(const std::string& remotePath)
{
  commandSocket.makeDirectory(remotePath);
}

void ConnectionControl::SyncStoreFile(const std::string& localPath, const std::string& remotePath,
                                      const std::string& type)
{
  commandSocket.storFile(localPath, remotePath, type);
}

void ConnectionControl::SyncDeleteFile(const std::string& remotePath)
{
  quiet_ = false; // its answer is awaited now
  commandSocket.deleteFile(remotePath);
}

void ConnectionControl::SyncDeleteDirectory(const std::string& remotePath)
{
  commandSocket.deleteDirectory(remotePath);
}

bool ConnectionControl::SyncConnectionIdle() const
{
  return commandSocket.IsConnected() && (commandSocket.codeFound || quiet_) && !getList && !dataConnected &&
         !commandSocket.TransferReplyAwaited() && SyncCutShortPath().empty();
}

void ConnectionControl::SyncProgressStart(std::int64_t length)
{
  progressInBytes_ = length <= 1024;
  ConnProgressValue(0);
  ConnSizeText(std::to_string(length));
  ConnProgressMaximum(ProgressMaximumFor(length));
}

void ConnectionControl::TreesGetList()
{
  commandSocket.getList();
  ConnProgressMaximum(0);
}
