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

namespace {
bool ListingCommand(const std::string& command)
{
  return command == "LIST" || command.rfind("LIST ", 0) == 0 || command == "NLST";
}
} // namespace

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

bool ConnectionControl::TransferDue() const
{
  return dataConnected || commandSocket.TransferReplyAwaited();
}

bool ConnectionControl::RefusedForTransfer()
{
  if (!TransferDue())
    return false;
  MsgBox(ConnectionText::DataConnectedNoDisconnect);
  return true;
}

std::optional<FolderItem> ConnectionControl::ConnLocalFolder() const
{
  const FolderItem* local = TreesLocalFolder();
  return local ? std::optional<FolderItem>(*local) : std::nullopt;
}

void ConnectionControl::MakeConnection()
{
  // A new connection would cut the transfer off, as 切断 would.
  if (RefusedForTransfer())
    return;
  const std::optional<FolderItem> local = ConnLocalFolder();
  if (!local || !local->Exists() || !local->Directory()) {
    gCautionDlg1(Text::LocalFolderMissing, "", SyncParentWindow());
    return;
  }
  std::string password;
  if (ConnPassword().empty()) {
    if (!ConnAskPassword(password) || password.empty())
      return;
    // The run goes on behind the prompt.
    if (RefusedForTransfer())
      return;
  }
  if (!EnableConnect())
    return;
  ConnUseLocalFolder(*local);
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
  // The run went on behind the question: an upload may have begun since.
  if (RefusedForTransfer())
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
  // Stopped before the box: while it is open nothing may still flow.
  dataSocket.Abort();
  commandSocket.Close();
  SyncForgetCutShort();
  dataConnected = false;
  getList = false;
  listingFailureTold_ = false;
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
  untrusted_.emplace(commandSocket.Address, commandSocket.userID);
  strikeOffFailureLogged_ = false;
  commandSocket.Connect();
}

void ConnectionControl::CloseConnection()
{
  if (TransferDue()) {
    MsgBox(ConnectionText::DataConnectedNoDisconnect);
    return;
  }
  Disconnect();
}

void ConnectionControl::Disconnect()
{
  ConnShowDisconnected();
  pMode = 2;
  closing = true;
  // The run ends before QUIT, so its answer cannot move a step, and a
  // data connection still being made writes no transfer command after it.
  SyncFailed();
  commandSocket.StopSequence();
  SyncForgetCutShort();
  commandSocket.sendQUIT();
}

bool ConnectionControl::ConnectionCancelClose()
{
  if (!TransferDue()) {
    if (!closing) {
      closing = true;
      SyncFailed();
      SyncForgetCutShort();
      commandSocket.Close();
    }
    return false;
  }
  // With nobody to answer (the system ends the program) it goes as "切断".
  const std::int32_t answer =
      NobodyToAnswer() ? CautionAction
                       : gCautionDlg(2, Text::Disconnect, Text::Cancel, "", ConnectionText::QuitDuringTransfer,
                                     ConnectionText::QuitDestroysData, SyncParentWindow());
  if (answer == CautionCancel)
    return true;
  if (answer == CautionAction) {
    closing = true;
    SyncFailed();
    // A reset, not an orderly close: a cut-off upload must not be stored
    // as if it were whole. Done before the box names it, so the box never
    // names an upload that goes on and ends whole behind it.
    dataSocket.Abort();
    commandSocket.Close();
    SyncForgetCutShort();
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
  listingFailureTold_ = false;
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
    const std::string seconds =
        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(commandSocket.silenceLimit).count());
    const std::string text =
        commandSocket.ConnectUnanswered()
            ? "The server " + commandSocket.Address + " did not answer within " + seconds +
                  " seconds, so no connection was made."
            : "The server did not answer for " + seconds + " seconds" + during + ".";
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
  // The final reply of a listing whose failure was told: a later one's is
  // not taken for it.
  if (IsReplyCode(line) && line[0] >= '2' && ListingCommand(commandSocket.Answering()))
    listingFailureTold_ = false;
  SyncReplyLine(line);
}

bool ConnectionControl::FirstCwdPending() const
{
  // The walk has not yet got into its root, and a CWD is what was refused.
  return pSyncRFlg && pGroupR == -1 && pSyncR.empty() && commandSocket.Answering().rfind("CWD ", 0) == 0;
}

bool ConnectionControl::OfferDownload()
{
  for (const FileTypeEntry& row : gFileType) {
    // A row without an extension would take any folder for a file.
    if (row.ext.empty() || !EndsWithExtension(path, row.ext))
      continue;
    if (row.bin != "A" && row.bin != "I")
      return false;
    getList = true; // its end asks for a listing
    commandSocket.getFile(path, "", row.bin, "", "");
    return true;
  }
  return false;
}

void ConnectionControl::RemoteFolderRefused(const std::string& text)
{
  // As after a refused login: the connection ends, since nothing can be
  // compared or sent over it.
  const std::string words = "The server refused the remote folder " + path + " (" + text +
                            "), so nothing was compared and the connection was closed.";
  ConnLog(words);
  Disconnect();
  MsgBox(words);
}

void ConnectionControl::commandSocket_gotServerError(const std::string& reply)
{
  const std::string text = WithoutCrLf(reply);
  // The client has dropped the data connection of a refused command, so no
  // transfer runs now, whoever handles the reply below, and no listing is
  // awaited any more.
  auto transferEnded = [this] {
    dataConnected = false;
    ConnProgressMaximum(1);
  };
  // The refusal that follows a listing's failed data connection (proftpd's
  // and vsftpd's 426 after a reset) tells nothing new: one failure, one box.
  const bool told = listingFailureTold_ && ListingCommand(commandSocket.Answering());
  listingFailureTold_ = false;
  if (told) {
    transferEnded();
    ConnLog(text);
    return;
  }
  // Only a refused first change into the remote folder may name a file to
  // fetch; it must be told before the walk reacts to the refusal.
  const bool firstCwd = FirstCwdPending();
  if (RemoteWalkRefused(reply)) {
    transferEnded();
    return; // a folder of the walk: logged, and named once the trees are filled
  }
  if (firstCwd) {
    transferEnded();
    if (reply.compare(0, 3, "550") == 0 && OfferDownload()) {
      ConnLog(text);
      return;
    }
    RemoteFolderRefused(text);
    return;
  }
  // A folder the server will not remove: logged with the reply there, and
  // the run goes on.
  if (SyncRemovalRefused(text, commandSocket.Answering()))
    return;
  // A server's refusal seldom names what it refused.
  const std::string step = SyncStepRefused();
  SyncFailed();
  // A refused STOR, or the DELE of what one left: nothing more is deleted,
  // and the box says what the server may still hold.
  const std::string left = SyncCutShortRefused();
  const std::string named = !left.empty() ? left : step;
  MsgBox("An error occurred: " + text + (named.empty() ? "" : "\n\n" + named));
  transferEnded();
  getList = false; // a refused download asks for no listing
  ConnLog(text);
  if (left.empty() && !step.empty())
    ConnLog(step);
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
  if (dataSocket.status == "stor" && dataSocket.UploadWhole())
    SyncStoredWhole(dataSocket.remoteFileName, dataSocket.UploadOutdated());
  dataConnected = false;
  ConnProgressMaximum(1);
  ConnProgressValue(0);
  ConnSizeText("0");
  ConnRateText("0");
  SyncTransferComplete();
}

namespace {

// A listing's failed data connection, in words for the box naming its folder.
std::string ListingDataError(int code)
{
  const std::string number = ", error " + std::to_string(code);
  if (code == kSocketConnectFailed)
    return "the data connection could not be made" + number;
  if (code == kSocketConnectionReset)
    return "the data connection was reset" + number;
  if (code == kSocketListingTooLarge)
    return "the listing was too large to keep" + number;
  return "the data connection failed" + number;
}

} // namespace

void ConnectionControl::dataSocket_Error()
{
  const int code = dataSocket.LastErrorCode();
  std::string text = "An error " + std::to_string(code) + " occurred in the data port!";
  // Told below, whoever tells it; the listing's final reply may still come.
  listingFailureTold_ = dataSocket.status == "list" && commandSocket.TransferReplyAwaited();
  if (RemoteWalkDataError(ListingDataError(code))) {
    dataConnected = false;
    ConnProgressMaximum(1);
    return; // a listing of the walk: that folder is skipped
  }
  if (SyncRunning() && pUpload == 1) {
    if (!commandSocket.StoreWritten())
      text = "The upload of " + SyncStepPath() + " was not started: the data connection to the server could " +
             "not be made (error " + std::to_string(code) + "). The server's file was left as it was.";
    else if (code == kSocketLocalFileChanged)
      text = "The local file of " + SyncStepPath() + " changed while it was being uploaded, so the upload was " +
             "stopped: the next compare ticks it for upload again.";
  }
  SyncFailed();
  // Reset before the server had every byte: nothing is deleted, whatever
  // the STOR's reply (pyftpdlib answers 226 and keeps the part).
  const std::string left = code == kSocketConnectionReset ? SyncCutShortLeft() : std::string();
  if (!closing)
    MsgBox(text + (left.empty() ? "" : "\n\n" + left));
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

// Written down before the STOR can go out: if the program ends at any
// moment of an upload, the next compare still knows the server's copy may
// be a part of it.
bool ConnectionControl::SyncUntrusted(const std::vector<std::string>& remotePaths)
{
  plannedAnew_.clear();
  UntrustedUploads* record = Untrusted();
  return !record || record->Add(remotePaths, &plannedAnew_);
}

void ConnectionControl::SyncSettled(const std::string& remotePath)
{
  UntrustedUploads* record = Untrusted();
  if (!record)
    return;
  // Within a run they are written together, at most once a second; outside
  // one (a cut-short file's DELE answered late) at once.
  if (SyncRunning())
    StrikeOffWritten(record->Remove(remotePath));
  else
    StrikeOffWritten(record->Remove(remotePath) && record->Flush());
}

UntrustedUploads* ConnectionControl::Untrusted()
{
  if (!untrusted_)
    return nullptr;
  if (commandSocket.IsConnected())
    untrusted_->Reached(commandSocket.RemoteAddress());
  return &*untrusted_;
}

void ConnectionControl::WriteStruckOff()
{
  if (untrusted_)
    StrikeOffWritten(untrusted_->Flush());
}

void ConnectionControl::StrikeOffWritten(bool written)
{
  // Once a connection, not for every file of a run.
  if (written || strikeOffFailureLogged_)
    return;
  strikeOffFailureLogged_ = true;
  ConnLog(untrusted_->Error() + " Files stored whole or deleted are still written down there, so the next " +
          "compare ticks them for upload again.");
}

void ConnectionControl::SyncNotSent(const std::string& remotePath)
{
  if (plannedAnew_.erase(remotePath) > 0)
    SyncSettled(remotePath);
}

void ConnectionControl::TreesCompared()
{
  UntrustedUploads* record = Untrusted();
  if (!record)
    return;
  const std::set<std::string> paths = record->Paths();
  if (paths.empty())
    return;
  for (std::size_t i = 0; i < pSyncL.size(); ++i) {
    SyncRecord& r = pSyncL[i];
    if (r.kind != "f" || r.check || r.reserved || r.unread)
      continue;
    const std::string remote = SyncUpload2Path(static_cast<std::int32_t>(i), "full");
    if (paths.count(remote) == 0)
      continue;
    r.check = true;
    ConnLog("Ticked " + r.path + " for upload: its last upload to " + remote +
            " did not end whole, so the server's copy is not trusted.");
  }
}

void ConnectionControl::TreesListingsFailed(const std::string& message)
{
  MsgBox(message);
}

void ConnectionControl::SyncEnded()
{
  WriteStruckOff();
  // A run's end never passes over in silence what it could not see.
  for (const FailedListing& failed : FailedListings())
    ConnLog("Nothing in " + failed.path + " was uploaded or deleted: its listing failed (" + failed.why + ").");
}

void ConnectionControl::SyncDeleteFile(const std::string& remotePath)
{
  commandSocket.deleteFile(remotePath);
}

void ConnectionControl::SyncDeleteDirectory(const std::string& remotePath)
{
  commandSocket.deleteDirectory(remotePath);
}

bool ConnectionControl::SyncConnectionIdle() const
{
  return commandSocket.IsConnected() && !commandSocket.AnswerDue() && !getList && !dataConnected &&
         !commandSocket.TransferReplyAwaited() && SyncCutShortPath().empty();
}

std::string ConnectionControl::SyncBusyWith() const
{
  if (commandSocket.IsOpen() && !commandSocket.LoggedIn())
    return "The program is still connecting to " + commandSocket.Address + ".";
  if (!commandSocket.IsConnected())
    return "There is no connection to the server.";
  if (pSyncRFlg)
    return SyncRun::SyncBusyWith();
  if (dataConnected || getList || commandSocket.TransferReplyAwaited())
    return "A listing or a transfer is still under way.";
  const std::string awaited = commandSocket.Awaited();
  if (!awaited.empty())
    return "The server has not answered yet: the program waits for " + awaited + ".";
  return SyncRun::SyncBusyWith();
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
