#include "FtpCommandSocket.h"

#include "ftp/FtpDataSocket.h"

#include "framework/BinaryStream.h"
#include "framework/FolderItem.h"
#include "framework/Modal.h"
#include "framework/TextStream.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <stdexcept>

namespace {
const char* const kCRLF = "\r\n";
constexpr std::size_t kMaxReplyLine = 64 * 1024;
constexpr std::size_t kMaxReply = 1024 * 1024; // all lines of a multi-line reply

bool IsDigits3(const std::string& line)
{
  return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
         std::isdigit(static_cast<unsigned char>(line[1])) && std::isdigit(static_cast<unsigned char>(line[2]));
}

// Numeric value of a reply code: its leading number, 0 when there is none.
int CodeValue(const std::string& code)
{
  return std::atoi(code.c_str());
}

std::string FileError(const std::string& path)
{
  return "File Error! Are you sure the path " + path + " is valid?";
}

// Reads a number of one to three digits at pos, 0 to 255.
bool ReadByte(const std::string& text, std::size_t& pos, int& value)
{
  std::size_t digits = 0;
  value = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) && digits < 4) {
    value = value * 10 + (text[pos++] - '0');
    ++digits;
  }
  return digits > 0 && digits < 4 && value <= 255;
}

void SkipBlanks(const std::string& text, std::size_t& pos)
{
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
    ++pos;
}

// The first six comma-separated numbers of a 227 reply, blanks allowed
// around them; servers differ on blanks and on the parentheses.
bool PasvNumbers(const std::string& reply, int (&fields)[6])
{
  for (std::size_t start = 0; start < reply.size(); ++start) {
    if (!std::isdigit(static_cast<unsigned char>(reply[start])) ||
        (start > 0 && std::isdigit(static_cast<unsigned char>(reply[start - 1]))))
      continue;
    std::size_t pos = start;
    int i = 0;
    while (ReadByte(reply, pos, fields[i]) && ++i < 6) {
      SkipBlanks(reply, pos);
      if (pos >= reply.size() || reply[pos] != ',')
        break;
      SkipBlanks(reply, ++pos);
    }
    if (i == 6)
      return true;
  }
  return false;
}

std::string Visible(const std::string& text)
{
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\0')
      out += "\\0";
    else
      out += c;
  }
  return out;
}
} // namespace

FtpCommandSocket::FtpCommandSocket() = default;

FtpCommandSocket::~FtpCommandSocket()
{
  DropDownloadFile();
}

// ---------------------------------------------------------------------------
// Writing commands

bool FtpCommandSocket::Refused(const std::string& argument)
{
  if (argument.find_first_of(std::string("\r\n\0", 3)) == std::string::npos)
    return false;
  // A name holding a line end would smuggle a second command to the server.
  const std::string text = "Command not sent: its argument holds a line break or NUL character (" +
                           Visible(argument) + ")" + kCRLF;
  PostSocketEvent([this, text]() {
    if (gotServerError)
      gotServerError(text);
  });
  return true;
}

void FtpCommandSocket::WriteCommand(const std::string& line)
{
  if (transfer_ != Transfer::None)
    commandAfterTransfer_ = true;
  Write(line + kCRLF); // one write: one segment with TCP_NODELAY
}

// The transfer's final reply is awaited from here on.
void FtpCommandSocket::WriteTransferCommand(const std::string& line, Transfer transfer)
{
  WriteCommand(line);
  transfer_ = transfer;
  commandAfterTransfer_ = false;
}

void FtpCommandSocket::Expect(const char* code)
{
  codeFound = false;
  expectedCode = code;
}

// Writes "verb argument" awaiting code, unless the argument is refused.
void FtpCommandSocket::SendWith(const char* code, const std::string& verb, const std::string& argument)
{
  if (Refused(argument))
    return;
  Expect(code);
  WriteCommand(verb + " " + argument);
}

// Readies the data connection for the transfer command about to be written.
void FtpCommandSocket::BeginDataTransfer(const char* dataStatus, bool binary)
{
  dataPort->status = dataStatus;
  dataPort->Binary = binary;
  dataPort->BeginTransfer();
}

void FtpCommandSocket::sendUSER()
{
  if (Refused(userID))
    return;
  Expect("331");
  ++userTries;
  WriteCommand("USER " + userID);
}

void FtpCommandSocket::sendPASS()
{
  SendWith("230", "PASS", password);
}

void FtpCommandSocket::sendPWD()
{
  Expect("257");
  WriteCommand("PWD");
}

void FtpCommandSocket::sendCWD(const std::string& dir)
{
  if (Refused(dir))
    return;
  Expect("250");
  status = "cwd";
  WriteCommand("CWD " + dir);
}

void FtpCommandSocket::sendTYPE()
{
  SendWith("200", "TYPE", type);
}

void FtpCommandSocket::sendPORT()
{
  Expect("200");
  const std::string argument = getPort();
  if (argument.empty()) {
    // No port could be opened: a PORT naming it would leave the server
    // connecting to nobody.
    if (dataPort)
      dataPort->FailTransfer(kSocketAddressInUse);
    DropDownloadFile();
    return;
  }
  WriteCommand("PORT " + argument);
}

void FtpCommandSocket::sendPASV()
{
  Expect("227");
  WriteCommand("PASV");
}

void FtpCommandSocket::sendLIST()
{
  if (Refused(directory))
    return;
  Expect("226");
  BeginDataTransfer("list", false);
  WriteTransferCommand(directory.empty() ? std::string("LIST") : "LIST " + directory, Transfer::List);
  directory.clear();
}

void FtpCommandSocket::sendNLST()
{
  Expect("226");
  BeginDataTransfer("list", false);
  WriteTransferCommand("NLST", Transfer::List);
}

void FtpCommandSocket::sendRETR()
{
  if (Refused(fileName))
    return;
  Expect("150");
  BeginDataTransfer("retr", type == "I");
  dataPort->saveFile = std::move(saveFile);
  dataPort->SetDownloadFiles(downloadTemp_, downloadTarget_);
  downloadTemp_.clear();
  downloadTarget_.clear();
  WriteTransferCommand("RETR " + fileName, Transfer::Retr);
}

void FtpCommandSocket::sendSTOR()
{
  if (Refused(fileName))
    return;
  Expect("150");
  BeginDataTransfer("stor", type == "I");
  WriteTransferCommand("STOR " + fileName, Transfer::Stor);
}

void FtpCommandSocket::sendSYST()
{
  Expect("215");
  status = "syst";
  WriteCommand("SYST");
}

void FtpCommandSocket::sendQUIT()
{
  WriteCommand("QUIT");
}

void FtpCommandSocket::deleteFile(const std::string& remotePath)
{
  SendWith("250", "DELE", remotePath);
}

void FtpCommandSocket::makeDirectory(const std::string& remotePath)
{
  SendWith("257", "MKD", remotePath);
}

void FtpCommandSocket::deleteDirectory(const std::string& remotePath)
{
  SendWith("250", "RMD", remotePath);
}

// ---------------------------------------------------------------------------
// PORT and PASV

std::string FtpCommandSocket::getPort()
{
  const std::string local = LocalAddress();
  static std::mt19937 random{std::random_device{}()};
  const int first = static_cast<int>(random() % static_cast<unsigned>(portCount));
  dataPort->Address = local;
  // Only the server may connect: anyone else who comes first could take the
  // upload or hand us a forged listing.
  dataPort->AcceptFrom = RemoteAddress();
  for (int i = 0; i < portCount; ++i) {
    // A port already taken is skipped: PORT must name one we listen on.
    const int port = portLow + (first + i) % portCount;
    dataPort->Port = port;
    if (!dataPort->Listen())
      continue;
    std::string argument = local;
    for (char& c : argument)
      if (c == '.')
        c = ',';
    return argument + "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
  }
  return {};
}

int FtpCommandSocket::setupPasvPort(const std::string& reply)
{
  int fields[6];
  if (!PasvNumbers(reply, fields))
    return -1;
  const int port = fields[4] * 256 + fields[5];
  if (port == 0)
    return -1;
  // The data connection goes to the host we are talking to; the address
  // in the reply is ignored.
  dataPort->Port = port;
  dataPort->Address = Address;
  dataPort->Connect();
  return port;
}

bool FtpCommandSocket::OpenPassiveConnection(const std::string& reply)
{
  if (!usePASV)
    return true;
  if (setupPasvPort(reply) > 0)
    return true;
  // A reply we cannot read must not send us to a wrong port.
  if (dataPort)
    dataPort->CancelTransfer();
  DropDownloadFile();
  if (gotServerError)
    gotServerError(reply);
  return false;
}

void FtpCommandSocket::PasvOrPort()
{
  if (dataPort && dataPort->DownloadUnfinished()) {
    // The last download's data is still arriving (its final reply came
    // first): set the next data connection up once it has ended. Until
    // then no reply may take this step.
    codeFound = false;
    const std::weak_ptr<char> alive = life_;
    dataPort->AfterDownload([this, alive]() {
      if (!alive.expired())
        PasvOrPort();
    });
    return;
  }
  if (usePASV)
    sendPASV();
  else
    sendPORT();
}

// ---------------------------------------------------------------------------
// Operations

void FtpCommandSocket::getList()
{
  status = "list-port";
  PasvOrPort();
}

void FtpCommandSocket::getDirList(const std::string& folder)
{
  if (Refused(folder))
    return;
  directory = folder;
  status = "list-port";
  PasvOrPort();
}

void FtpCommandSocket::getNlst()
{
  status = "nlist-port";
  PasvOrPort();
}

void FtpCommandSocket::DropDownloadFile()
{
  if (saveFile)
    saveFile->Close();
  saveFile.reset();
  if (!downloadTemp_.empty())
    GetFolderItem(downloadTemp_).Delete();
  downloadTemp_.clear();
  downloadTarget_.clear();
}

void FtpCommandSocket::getFile(const std::string& remoteName, const std::string& localPath,
                               const std::string& transferType, const std::string& fileTypeCode, const std::string& creatorCode)
{
  if (Refused(remoteName) || Refused(transferType))
    return;
  std::string target = localPath;
  if (target.empty()) {
    ModalRequest request;
    request.kind = ModalKind::SaveFile;
    const std::size_t slash = remoteName.rfind('/');
    request.suggestedName = slash == std::string::npos ? remoteName : remoteName.substr(slash + 1);
    target = RunModal(request).path;
    if (target.empty()) {
      PostSocketEvent([this]() {
        if (userCancelledUpload)
          userCancelledUpload();
      });
      return;
    }
  }
  DropDownloadFile();
  // The download goes to a hidden file beside the target and replaces the
  // target only once it is complete, so a failure keeps the old file.
  try {
    const FolderItem item = GetFolderItem(target);
    if (item.Directory())
      throw std::runtime_error("folder");
    // Beside the target: in a missing folder it cannot be made, which is
    // the file error it should be.
    // A file of the user's that happens to bear the name is never replaced.
    std::string temp;
    std::unique_ptr<TextOutputStream> stream;
    for (int n = 0; !stream && n < 100; ++n) {
      temp = item.Parent().Child("." + item.Name() + (n ? "-" + std::to_string(n) : "") + ".part").NativePath();
      stream = GetFolderItem(temp).CreateNewTextFile();
      if (!stream && errno != EEXIST)
        break;
    }
    if (!stream)
      throw std::runtime_error("create");
    saveFile = std::move(stream);
    downloadTemp_ = temp;
    downloadTarget_ = item.AbsolutePath();
    item.SetMacType(fileTypeCode.empty() ? "----" : fileTypeCode);
    item.SetMacCreator(creatorCode.empty() ? "????" : creatorCode);
  } catch (...) {
    DropDownloadFile();
    MsgBox(FileError(target));
    return;
  }
  status = "retr-type";
  type = transferType;
  fileName = remoteName;
  sendTYPE();
}

bool FtpCommandSocket::StartStore(const std::string& localPath)
{
  // A file we cannot read sends nothing at all: no TYPE, no STOR, and so no
  // empty file replacing the one on the server. It stays open for the upload
  // thread, so a file removed meanwhile is still sent whole.
  storeOpened_ = false;
  std::unique_ptr<BinaryStream> stream;
  try {
    const FolderItem item = GetFolderItem(localPath);
    if (!localPath.empty() && item.Exists() && !item.Directory())
      stream = item.OpenAsBinaryFile(false);
  } catch (...) {
    stream.reset();
  }
  if (!stream) {
    MsgBox(FileError(localPath));
    PostSocketEvent([this]() {
      if (userCancelledUpload)
        userCancelledUpload();
    });
    return false;
  }
  dataPort->uploadFile = std::move(stream);
  status = "stor-type";
  sendTYPE();
  return true;
}

void FtpCommandSocket::storFile(const std::string& localPath, const std::string& remotePath,
                                const std::string& transferType)
{
  if (Refused(remotePath) || Refused(transferType))
    return;
  type = transferType;
  fileName = remotePath;
  dataPort->remoteFileName = remotePath;
  dataPort->path = localPath;
  StartStore(localPath);
}

void FtpCommandSocket::storString(const std::string& text, const std::string& remotePath,
                                  const std::string& transferType)
{
  if (Refused(remotePath) || Refused(transferType))
    return;
  storeOpened_ = false;
  status = "stor-type";
  type = transferType;
  fileName = remotePath;
  dataPort->remoteFileName = remotePath;
  dataPort->bigString = text;
  dataPort->path = "bigString";
  sendTYPE();
}

// What a one-shot transfer needs before it connects.
void FtpCommandSocket::SetUpOneFile(const std::string& host, const std::string& user, const std::string& pass,
                                    const std::string& localPath, const std::string& remotePath,
                                    const std::string& transferType, bool passive)
{
  Address = host;
  userID = user;
  password = pass;
  type = transferType;
  fileName = remotePath;
  dataPort->path = localPath;
  dataPort->remoteFileName = remotePath;
  usePASV = passive;
}

void FtpCommandSocket::UploadOneFile(const std::string& host, const std::string& user, const std::string& pass,
                                     const std::string& localPath, const std::string& remotePath,
                                     const std::string& transferType, bool passive)
{
  SetUpOneFile(host, user, pass, localPath, remotePath, transferType, passive);
  oneFile = true;
  Connect();
}

void FtpCommandSocket::downloadOneFile(const std::string& host, const std::string& user, const std::string& pass,
                                       const std::string& localPath, const std::string& remotePath,
                                       const std::string& transferType, bool passive,
                                       const std::string& fileTypeCode, const std::string& creatorCode)
{
  SetUpOneFile(host, user, pass, localPath, remotePath, transferType, passive);
  macType = fileTypeCode;
  macCreator = creatorCode;
  dOneFile = true;
  Connect();
}

// ---------------------------------------------------------------------------
// Reading replies

void FtpCommandSocket::Event_Connected()
{
  codeFound = false;
  expectedCode = "220";
  userTries = 0;
  loginDone_ = false;
  // Nothing of an earlier connection may be taken for this one's replies.
  result.clear();
  status.clear();
  replyCode_.clear();
  replyText_.clear();
  replyIsError_ = false;
  replyIsLate_ = false;
  transfer_ = Transfer::None;
  commandAfterTransfer_ = false;
  storeOpened_ = false;
  TCPSocket::Event_Connected();
}

void FtpCommandSocket::Event_Error()
{
  if (dataPort && TransferPending())
    dataPort->CancelTransfer(); // no final reply will come now
  transfer_ = Transfer::None;
  commandAfterTransfer_ = false;
  DropDownloadFile(); // a download not yet handed to the data side
  TCPSocket::Event_Error();
}

// A server that sends without end is cut off before it fills our memory;
// nothing of that reply is acted on.
void FtpCommandSocket::TooMuchReply()
{
  Abort();
  result.clear();
  result.shrink_to_fit();
  replyText_.clear();
  replyText_.shrink_to_fit();
  replyCode_.clear();
  SetLastErrorCode(kSocketReplyTooLong);
  Event_Error();
}

bool FtpCommandSocket::TransferPending() const
{
  if (transfer_ != Transfer::None)
    return true;
  return status == "list-port" || status == "nlist-port" || status == "retr-type" || status == "retr-port" ||
         status == "retr" || status == "stor-type" || status == "stor-port" || status == "stor" ||
         status == "storing";
}

bool FtpCommandSocket::Matches(const std::string& code) const
{
  if (code == expectedCode)
    return true;
  // pyftpdlib opens transfers with 125, others with 150: any 1xx goes on.
  return expectedCode == "150" && IsDigits3(code) && code[0] == '1';
}

void FtpCommandSocket::Event_DataAvailable()
{
  result += ReadAll();
  const std::weak_ptr<char> alive = life_;
  // One line at a time, taken out of the buffer before it is handled: a
  // handler may run a modal loop in which the next read is processed.
  for (;;) {
    const std::size_t end = result.find(kCRLF);
    // Without its line end yet, a CR at the very end may be the start of it.
    const std::size_t length =
        end != std::string::npos ? end : result.size() - (result.ends_with('\r') ? 1 : 0);
    if (length > kMaxReplyLine) {
      TooMuchReply();
      return;
    }
    if (end == std::string::npos)
      return; // the rest waits for its line end
    const std::string line = result.substr(0, end);
    result.erase(0, end + 2);
    AcceptLine(line);
    if (alive.expired())
      return; // a handler deleted this socket
  }
}

// A reply is complete at its last line: "ddd text", or after "ddd-" lines
// the first line that begins "ddd ". Lines are reported as they come; the
// machine acts once per complete reply, however the reads split it.
void FtpCommandSocket::AcceptLine(const std::string& line)
{
  const std::weak_ptr<char> alive = life_;
  const std::string code = line.substr(0, 3);
  if (replyCode_.empty()) {
    const bool late = LateTransferReply(line);
    const bool isError = !late && CodeValue(code) >= 400 && !Matches(code);
    if (IsDigits3(line) && line.size() > 3 && line[3] == '-') {
      replyCode_ = code;
      replyText_ = line + kCRLF;
      replyIsError_ = isError;
      replyIsLate_ = late;
      if (!isError && gotResponse)
        gotResponse(line);
      return;
    }
    if (!isError && gotResponse)
      gotResponse(line);
    if (alive.expired())
      return;
    if (late)
      EndLateTransfer(code, line + kCRLF);
    else
      ReplyComplete(code, line + kCRLF, isError);
    return;
  }
  replyText_ += line + kCRLF;
  if (replyText_.size() > kMaxReply) {
    TooMuchReply();
    return;
  }
  if (!replyIsError_ && gotResponse)
    gotResponse(line);
  if (alive.expired())
    return;
  if (line.compare(0, 3, replyCode_) == 0 && (line.size() == 3 || line[3] == ' ')) {
    const std::string replyCode = replyCode_;
    const std::string text = replyText_;
    const bool isError = replyIsError_;
    const bool late = replyIsLate_;
    replyCode_.clear();
    replyText_.clear();
    replyIsError_ = false;
    replyIsLate_ = false;
    if (late)
      EndLateTransfer(replyCode, text);
    else
      ReplyComplete(replyCode, text, isError);
  }
}

// Replies come in the order of their commands: while a given-up transfer's
// final reply is still due, the next final reply is that one, whatever was
// written since.
bool FtpCommandSocket::LateTransferReply(const std::string& line) const
{
  return commandAfterTransfer_ && transfer_ != Transfer::None && IsDigits3(line) && line[0] >= '2' &&
         line[0] <= '5';
}

// Only logged: the transfer's failure was reported when the data side gave
// it up, and the reply must not be taken for the command now in flight.
void FtpCommandSocket::EndLateTransfer(const std::string& code, const std::string& text)
{
  transfer_ = Transfer::None;
  commandAfterTransfer_ = false;
  if (dataPort && !dataPort->FinalReplyKnown())
    dataPort->TransferReplied(code[0] == '2', text);
}

void FtpCommandSocket::ReplyComplete(const std::string& code, const std::string& text, bool isError)
{
  if (isError) {
    ErrorEnd(code, text);
    return;
  }
  // The final reply of a transfer: the data side finishes only with it.
  if (transfer_ != Transfer::None && !code.empty() && code[0] == '2') {
    transfer_ = Transfer::None;
    commandAfterTransfer_ = false;
    const std::weak_ptr<char> alive = life_;
    if (dataPort)
      dataPort->TransferReplied(true, text); // may raise the owner's FileTransferComplete
    if (alive.expired())
      return;
  }
  if (Matches(code))
    codeFound = true;
  if (code == "220") {
    status = "user";
    sendUSER();
  } else if ((oneFile || dOneFile) && code == "226") {
    status = "quit";
    oneFile = false;
    dOneFile = false;
    sendQUIT();
  } else if (codeFound) {
    TakeStep(text);
  }
}

void FtpCommandSocket::ErrorEnd(const std::string& code, const std::string& text)
{
  if (dataPort && TransferPending())
    dataPort->TransferReplied(false, text); // drops the data connection and a download's file
  transfer_ = Transfer::None;
  commandAfterTransfer_ = false;
  DropDownloadFile();
  // Only the login is tried again: after it a "530" refuses the command in
  // flight, and the answer to a new PASS would be taken for that command's.
  if (CodeValue(code) == 530 && !loginDone_ && userTries < 3) {
    status = "user";
    sendUSER();
    return;
  }
  if (gotServerError)
    gotServerError(text);
}

// The machine: what the expected reply to each step's command leads to.
void FtpCommandSocket::TakeStep(const std::string& reply)
{
  if (status == "user") {
    status = "pass";
    sendPASS();
  } else if (status == "pass") {
    status = "login-pwd";
    sendPWD();
  } else if (status == "login-pwd") {
    status.clear();
    loginDone_ = true;
    const std::weak_ptr<char> alive = life_;
    if (loggedIn)
      loggedIn(reply);
    if (alive.expired())
      return;
    if (oneFile) {
      StartStore(dataPort->path);
    } else if (dOneFile) {
      getFile(fileName, dataPort->path, type, macType, macCreator);
    }
  } else if (status == "cwd") {
    status = "pwd";
    sendPWD();
  } else if (status == "pwd") {
    // Done with this change of folder: a later MKD's 257 or DELE's 250 must
    // not be taken for another one.
    status.clear();
    if (remoteDirChanged)
      remoteDirChanged(reply);
  } else if (status == "list-port") {
    status.clear();
    if (OpenPassiveConnection(reply))
      sendLIST();
  } else if (status == "nlist-port") {
    status.clear();
    if (OpenPassiveConnection(reply))
      sendNLST();
  } else if (status == "retr-type") {
    status = "retr-port";
    PasvOrPort();
  } else if (status == "retr-port") {
    status = "retr";
    if (OpenPassiveConnection(reply))
      sendRETR();
  } else if (status == "retr") {
    status.clear();
  } else if (status == "stor-type") {
    status = "stor-port";
    PasvOrPort();
  } else if (status == "stor-port") {
    status = "stor";
    if (OpenPassiveConnection(reply))
      sendSTOR();
  } else if (status == "stor") {
    status = "storing";
    storeOpened_ = true;
    dataPort->sendFile();
  } else if (status == "syst") {
    const std::size_t first = reply.find(' ');
    const std::size_t second = first == std::string::npos ? first : reply.find_first_of(" \r", first + 1);
    systemstr = first == std::string::npos ? std::string() : reply.substr(first + 1, second - first - 1);
    status.clear();
  }
  // "storing", "quit" and the empty status take no step.
}
