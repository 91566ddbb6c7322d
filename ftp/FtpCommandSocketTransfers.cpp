// The control connection's data-connection set-up (PORT and PASV) and the
// operations that start each transfer and folder sequence; the steps that
// follow are taken as the replies come (FtpCommandSocket.cpp).
#include "FtpCommandSocket.h"

#include "ftp/FtpDataSocket.h"

#include "framework/BinaryStream.h"
#include "framework/FolderItem.h"
#include "framework/Modal.h"
#include "framework/TextStream.h"

#include <cerrno>
#include <random>
#include <stdexcept>

namespace {
std::string FileError(const std::string& path)
{
  return "File Error! Are you sure the path " + path + " is valid?";
}
} // namespace

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
  // The data connection goes to the host we are talking to, by the address
  // the control connection reached: the name again could give another host
  // (round-robin DNS). The address in the reply is ignored.
  const std::string peer = RemoteAddress();
  dataPort->Port = port;
  dataPort->Address = peer.empty() ? Address : peer;
  auto send = sendWhenConnected_;
  sendWhenConnected_ = nullptr;
  const std::weak_ptr<char> alive = life_;
  dataPort->ConnectThen([this, alive, send](bool up) {
    if (alive.expired())
      return;
    if (!up)
      DataConnectionFailed();
    else if (send)
      (this->*send)();
  });
  return port;
}

void FtpCommandSocket::WriteWhenConnected(const std::string& reply, void (FtpCommandSocket::*send)())
{
  if (!usePASV) {
    (this->*send)();
    return;
  }
  sendWhenConnected_ = send;
  if (setupPasvPort(reply) > 0)
    return;
  sendWhenConnected_ = nullptr;
  // A reply we cannot read must not send us to a wrong port.
  if (dataPort)
    dataPort->CancelTransfer();
  DropDownloadFile();
  EndSequence();
  if (gotServerError)
    gotServerError(reply);
}

// No transfer command was written; the data connection's Error, which
// follows, tells the owner.
void FtpCommandSocket::DataConnectionFailed()
{
  DropDownloadFile();
  EndSequence();
}

void FtpCommandSocket::StopSequence()
{
  sendWhenConnected_ = nullptr;
  // A data connection still being made waits to write its transfer command.
  if (dataPort && (TransferPending() || dataPort->IsOpen()))
    dataPort->CancelTransfer();
  DropDownloadFile();
  EndSequence();
}

void FtpCommandSocket::PasvOrPort()
{
  if (dataPort && dataPort->DownloadUnfinished()) {
    // The last download's data is still arriving (its final reply came
    // first): set the next data connection up once it has ended. Until
    // then no reply may take this step.
    codeFound = false;
    stepSerial_ = 0;
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
  storeWritten_ = false;
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
  dataPort->uploadStamp = stream->FileStamp();
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
  storeWritten_ = false;
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
