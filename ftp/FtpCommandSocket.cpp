// The control connection's commands and the steps its replies lead to; the
// replies themselves are read by FtpReplyReader, and the transfers are set
// up in FtpCommandSocketTransfers.cpp.
#include "FtpCommandSocket.h"

#include "ftp/FtpDataSocket.h"

#include "framework/TextStream.h"

#include <algorithm>
#include <cstdlib>

namespace {
const char* const kCRLF = "\r\n";

// Numeric value of a reply code: its leading number, 0 when there is none.
int CodeValue(const std::string& code)
{
  return std::atoi(code.c_str());
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

FtpCommandSocket::FtpCommandSocket()
{
  reader_.due = [this] { return Due(); };
  reader_.lastMovement = [this] {
    const auto control = std::max(LastMovement(), connectStarted_);
    return dataPort ? std::max(control, dataPort->LastMovement()) : control;
  };
  reader_.silent = [this] { Silence(); };
}

FtpCommandSocket::~FtpCommandSocket()
{
  DropDownloadFile();
}

void FtpCommandSocket::Connect()
{
  // A QUIT written while the last connection was still being made would
  // otherwise take the answer to this one's USER.
  reader_.Closed();
  loginDone_ = false;
  connectUnanswered_ = false;
  // Dropped packets (a firewall, a wrong address) would leave the system
  // trying for minutes: the connect is watched like any answer due.
  connectStarted_ = std::chrono::steady_clock::now();
  TCPSocket::Connect();
  reader_.Watch(silenceLimit);
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
  const std::uint64_t serial = ++serial_;
  if (stepPending_) {
    stepSerial_ = serial;
    stepPending_ = false;
  }
  // A transfer's final reply comes before any other: nothing more goes out
  // until it has, so no reply is taken for a command it does not answer
  // (pyftpdlib answers a later command before a failed transfer's, or never).
  if (transfer_ != Transfer::None && IsConnected()) {
    held_.push_back({serial, line});
    return;
  }
  Send(serial, line);
}

void FtpCommandSocket::Send(std::uint64_t serial, const std::string& line)
{
  if (IsOpen())
    reader_.Sent(serial, line.rfind("PASS ", 0) == 0 ? std::string("PASS") : line, !IsConnected());
  Write(line + kCRLF); // one write: one segment with TCP_NODELAY
  reader_.Watch(silenceLimit);
}

void FtpCommandSocket::FlushHeld()
{
  std::vector<Held> held;
  held.swap(held_);
  for (const Held& h : held)
    Send(h.serial, h.line);
}

// The transfer's final reply is awaited from here on.
void FtpCommandSocket::WriteTransferCommand(const std::string& line, Transfer transfer)
{
  WriteCommand(line);
  transfer_ = transfer;
  transferCommand_ = line;
}

// The command written next takes the step; exact: only its own code
// answers it, where the reply's content is read.
void FtpCommandSocket::Expect(const char* code, bool exact)
{
  codeFound = false;
  expectedCode = code;
  exactCode_ = exact;
  stepPending_ = true;
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
  Expect("257", true);
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
  const std::string argument = getPort();
  if (argument.empty()) {
    // No port could be opened: a PORT naming it would leave the server
    // connecting to nobody.
    if (dataPort)
      dataPort->FailTransfer(kSocketAddressInUse);
    DropDownloadFile();
    EndSequence();
    return;
  }
  Expect("200");
  WriteCommand("PORT " + argument);
}

void FtpCommandSocket::sendPASV()
{
  Expect("227", true);
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
  storeWritten_ = true;
  WriteTransferCommand("STOR " + fileName, Transfer::Stor);
}

void FtpCommandSocket::sendSYST()
{
  Expect("215", true);
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
// Acting on replies

void FtpCommandSocket::Event_Connected()
{
  codeFound = false;
  expectedCode = "220";
  exactCode_ = false;
  userTries = 0;
  loginDone_ = false;
  // Nothing of an earlier connection may be taken for this one's replies.
  result.clear();
  status.clear();
  replyIsError_ = false;
  replyIsLate_ = false;
  transfer_ = Transfer::None;
  held_.clear();
  storeOpened_ = false;
  storeWritten_ = false;
  sendWhenConnected_ = nullptr;
  stepSerial_ = ++serial_; // the greeting
  stepPending_ = false;
  reader_.Opened(stepSerial_);
  reader_.Watch(silenceLimit);
  TCPSocket::Event_Connected();
}

void FtpCommandSocket::Event_Error()
{
  Ended(Describe());
}

void FtpCommandSocket::Ended(const std::string& awaited)
{
  awaitedAtEnd_ = awaited;
  if (dataPort && TransferPending())
    dataPort->CancelTransfer(); // no final reply will come now
  transfer_ = Transfer::None;
  held_.clear();
  stepSerial_ = 0;
  reader_.Closed();
  DropDownloadFile(); // a download not yet handed to the data side
  TCPSocket::Event_Error();
}

// A server that sends without end is cut off before it fills our memory;
// nothing of that reply is acted on.
void FtpCommandSocket::TooMuchReply()
{
  Abort();
  SetLastErrorCode(kSocketReplyTooLong);
  Event_Error();
}

// Nothing moved for the silence limit while an answer was due: the server
// is given up, and the owner hears of it as of any lost connection.
void FtpCommandSocket::Silence()
{
  const std::string awaited = Describe();
  connectUnanswered_ = !IsConnected();
  Abort();
  if (dataPort && dataPort->IsOpen())
    dataPort->CancelTransfer();
  SetLastErrorCode(kSocketServerSilent);
  Ended(awaited);
}

bool FtpCommandSocket::Due() const
{
  if (IsOpen() && !IsConnected())
    return true; // still connecting
  return IsConnected() && (reader_.Waiting() || transfer_ != Transfer::None || !held_.empty() ||
                           (dataPort && dataPort->IsOpen()));
}

std::string FtpCommandSocket::Describe() const
{
  std::string awaited = reader_.Awaited();
  if (!awaited.empty() || !dataPort || !dataPort->IsOpen())
    return awaited;
  // A passive data connection still being made: its command is not written.
  if (transfer_ == Transfer::None && !dataPort->IsConnected())
    return status == "stor"   ? "the data connection for the upload of " + fileName
           : status == "retr" ? "the data connection for the download of " + fileName
                              : std::string("the data connection for a listing");
  return transferCommand_.empty() ? awaited : "the data of " + transferCommand_;
}

std::string FtpCommandSocket::Awaited() const
{
  return IsConnected() ? Describe() : awaitedAtEnd_;
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
  if (!IsReplyCode(code))
    return false;
  // pyftpdlib opens transfers with 125, others with 150: any 1xx goes on.
  if (code[0] == '1')
    return expectedCode == "150";
  // Where the reply's content is read only its own code will do; elsewhere
  // any success answers the command (some servers answer CWD with 200, or a
  // transfer with its final reply alone).
  return code[0] == '2' && !exactCode_;
}

// A final answer to the step in flight that the step cannot take: PASV
// without its 227, PWD without its 257, a 3xx where nothing more can be given.
bool FtpCommandSocket::Unanswerable(const FtpReplyReader::Line& line) const
{
  return line.answers != 0 && line.answers == stepSerial_ && IsReplyCode(line.code) &&
         (line.code[0] == '2' || line.code[0] == '3') && !Matches(line.code);
}

void FtpCommandSocket::Event_DataAvailable()
{
  result += ReadAll();
  const std::weak_ptr<char> alive = life_;
  const bool kept = reader_.Take(result, [&](const FtpReplyReader::Line& line) {
    AcceptLine(line);
    return !alive.expired(); // a handler may delete this socket
  });
  if (!kept && !alive.expired())
    TooMuchReply();
}

// Lines are reported as they come; the machine acts once per complete
// reply, however the reads split it.
void FtpCommandSocket::AcceptLine(const FtpReplyReader::Line& line)
{
  const std::weak_ptr<char> alive = life_;
  answering_ = line.command;
  if (line.first) {
    replyIsLate_ = LateTransferReply(line.code);
    replyIsError_ = !replyIsLate_ && ((CodeValue(line.code) >= 400 && !Matches(line.code)) || Unanswerable(line));
  }
  if (!replyIsError_ && gotResponse)
    gotResponse(line.text);
  if (alive.expired() || !line.last)
    return;
  if (replyIsLate_)
    EndLateTransfer(line.code, line.reply);
  else
    ReplyComplete(line);
}

// Commands held for a transfer's final reply: the next final reply is that
// one, as nothing else has been asked since.
bool FtpCommandSocket::LateTransferReply(const std::string& code) const
{
  return !held_.empty() && transfer_ != Transfer::None && IsReplyCode(code) && code[0] >= '2' && code[0] <= '5';
}

// Only logged: a transfer given up on the data side was reported there, and
// the reply must not be taken for the commands held for it, which go now.
void FtpCommandSocket::EndLateTransfer(const std::string& code, const std::string& text)
{
  transfer_ = Transfer::None;
  if (status == "storing")
    status.clear();
  FlushHeld();
  if (dataPort && !dataPort->FinalReplyKnown())
    dataPort->TransferReplied(code[0] == '2', text);
}

void FtpCommandSocket::ReplyComplete(const FtpReplyReader::Line& line)
{
  const std::string& code = line.code;
  if (replyIsError_) {
    ErrorEnd(code, line.reply);
    return;
  }
  const std::weak_ptr<char> alive = life_;
  // The final reply of a transfer: the data side finishes only with it. A
  // line without a reply code answers nothing, whatever it begins with.
  const bool transferEnded = transfer_ != Transfer::None && line.answers != 0 && code[0] == '2';
  if (transferEnded) {
    transfer_ = Transfer::None;
    FlushHeld();
    if (dataPort)
      dataPort->TransferReplied(true, line.reply); // may raise the owner's FileTransferComplete
    if (alive.expired())
      return;
  }
  // Only the answer to the command that set the step takes it.
  const bool step = line.answers != 0 && line.answers == stepSerial_;
  if (step && Matches(code))
    codeFound = true;
  if (line.greeting && code == "220") {
    status = "user";
    sendUSER();
  } else if ((oneFile || dOneFile) && code == "226") {
    status = "quit";
    oneFile = false;
    dOneFile = false;
    sendQUIT();
  } else if (step && codeFound) {
    TakeStep(code, line.reply);
    if (alive.expired())
      return;
  }
  if (transferEnded && status == "storing")
    status.clear();
}

void FtpCommandSocket::ErrorEnd(const std::string& code, const std::string& text)
{
  if (dataPort && TransferPending())
    dataPort->TransferReplied(false, text); // drops the data connection and a download's file
  transfer_ = Transfer::None;
  DropDownloadFile();
  EndSequence();
  // Only the login is tried again: after it a "530" refuses the command in
  // flight, and the answer to a new PASS would be taken for that command's.
  if (CodeValue(code) == 530 && !loginDone_ && userTries < 3) {
    status = "user";
    sendUSER();
    return;
  }
  FlushHeld();
  if (gotServerError)
    gotServerError(text);
}

// A sequence ended by an error leaves no step that a later reply, which
// answers another command, could take up.
void FtpCommandSocket::EndSequence()
{
  status.clear();
  stepSerial_ = 0;
}

// The machine: what the answer to each step's command leads to.
void FtpCommandSocket::TakeStep(const std::string& code, const std::string& reply)
{
  if (status == "user") {
    // A server that needs no password logs in on USER alone, with 230.
    if (code.compare(0, 2, "23") == 0) {
      status = "login-pwd";
      sendPWD();
    } else {
      status = "pass";
      sendPASS();
    }
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
    WriteWhenConnected(reply, &FtpCommandSocket::sendLIST);
  } else if (status == "nlist-port") {
    status.clear();
    WriteWhenConnected(reply, &FtpCommandSocket::sendNLST);
  } else if (status == "retr-type") {
    status = "retr-port";
    PasvOrPort();
  } else if (status == "retr-port") {
    status = "retr";
    WriteWhenConnected(reply, &FtpCommandSocket::sendRETR);
  } else if (status == "retr") {
    status.clear();
  } else if (status == "stor-type") {
    status = "stor-port";
    PasvOrPort();
  } else if (status == "stor-port") {
    status = "stor";
    WriteWhenConnected(reply, &FtpCommandSocket::sendSTOR);
  } else if (status == "stor") {
    status = "storing";
    storeOpened_ = true; // the server may hold a part of ours from now on
    if (code[0] != '2')
      dataPort->sendFile();
    else if (!dataPort->UploadWhole())
      dataPort->FailTransfer(kSocketUploadStopped); // over before the file was sent: not whole
  } else if (status == "syst") {
    const std::size_t first = reply.find(' ');
    const std::size_t second = first == std::string::npos ? first : reply.find_first_of(" \r", first + 1);
    systemstr = first == std::string::npos ? std::string() : reply.substr(first + 1, second - first - 1);
    status.clear();
  }
  // "storing", "quit" and the empty status take no step.
}
