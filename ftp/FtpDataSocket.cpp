#include "FtpDataSocket.h"

#include "ftp/UploadThread.h"

#include "framework/BinaryStream.h"
#include "framework/Events.h"
#include "framework/FolderItem.h"
#include "framework/TextStream.h"
#include "framework/Thread.h"


namespace {
constexpr std::size_t kDownloadBlock = 28000;
constexpr std::size_t kStringPiece = 512;
constexpr std::size_t kMaxListing = std::size_t{512} << 20;
} // namespace

std::string AsciiUploadConverter::Convert(const std::string& piece)
{
  std::string out;
  out.reserve(piece.size() + piece.size() / 16 + 2);
  for (char c : piece) {
    if (c == '\r') {
      out += "\r\n";
      lastWasCR_ = true;
    } else if (c == '\n') {
      if (!lastWasCR_) // the LF of a CR LF went out with its CR
        out += "\r\n";
      lastWasCR_ = false;
    } else {
      out += c;
      lastWasCR_ = false;
    }
  }
  return out;
}

FtpDataSocket::FtpDataSocket() = default;

FtpDataSocket::~FtpDataSocket()
{
  afterDownload_ = nullptr;
  if (saveFile || !temporaryPath_.empty())
    DropDownload(); // an unfinished download leaves nothing behind
}

void FtpDataSocket::BeginTransfer()
{
  afterDownload_ = nullptr;
  finalReply_ = FinalReply::None;
  finalReplyText_.clear();
  uploadSent_ = false;
  uploadWhole_ = false;
  uploadOutdated_ = false;
  completeOnReply_ = false;
  dataClosed_ = false;
  heldCR_ = false;
}

void FtpDataSocket::ConnectThen(std::function<void(bool up)> next)
{
  connectThen_ = std::move(next);
  Connect();
}

void FtpDataSocket::Event_Connected()
{
  listData.clear();
  fileData.clear();
  auto next = std::move(connectThen_);
  connectThen_ = nullptr;
  TCPSocket::Event_Connected();
  if (next)
    next(true);
}

bool FtpDataSocket::WriteToFile(const std::string& bytes)
{
  if (!saveFile)
    return false;
  if (!bytes.empty())
    saveFile->Write(bytes);
  return !saveFile->WriteFailed();
}

void FtpDataSocket::Event_DataAvailable()
{
  if (status == "list") {
    const std::string piece = ReadAll();
    if (listData.size() + piece.size() > kMaxListing) {
      // Nothing of it is handed on, and its memory goes at once.
      std::string().swap(listData);
      FailTransfer(kSocketListingTooLarge);
      return;
    }
    listData += piece;
    return;
  }
  if (status != "retr") {
    ReadAll(); // nothing expected: dropped, so it cannot pile up
    return;
  }
  const std::string piece = ReadAll();
  std::int32_t count = 0;
  bool ok = true;
  try {
    if (Binary) {
      fileData += piece;
      if (fileData.size() > kDownloadBlock) {
        ok = WriteToFile(fileData);
        fileData.clear();
      }
      count = static_cast<std::int32_t>(piece.size());
    } else {
      // CR LF becomes LF; a CR at the end of a read waits for the next one.
      std::string out;
      out.reserve(piece.size() + 1);
      for (char c : piece) {
        if (heldCR_) {
          heldCR_ = false;
          if (c != '\n')
            out += '\r';
        }
        if (c == '\r')
          heldCR_ = true;
        else
          out += c;
      }
      ok = WriteToFile(out);
      count = static_cast<std::int32_t>(out.size());
    }
  } catch (...) {
    ok = false;
  }
  if (!ok) {
    // Nothing half-written is left behind, and the owner hears of it.
    Abort();
    FailLocalFile();
    return;
  }
  try {
    RaiseBytesTransfered(count);
  } catch (...) {
    // The owner's own failure, not the file's: the download is given up and
    // the exception goes on to be reported as what it is.
    FailTransfer(kSocketUploadStopped);
    throw;
  }
}

void FtpDataSocket::Event_SendComplete()
{
  bufferClear = true;
  WakeUploader();
}

void FtpDataSocket::Event_Delivered()
{
  KeepWholeUpload();
  TCPSocket::Event_Delivered();
  if (completeOnReply_ && UploadWhole()) {
    completeOnReply_ = false;
    RaiseFileTransferComplete(); // last: its handler may delete this socket
    return;
  }
  WakeUploader();
}

bool FtpDataSocket::UploadWhole() const
{
  return uploadWhole_ || (uploadSent_ && finalReply_ == FinalReply::Ok && WasDelivered());
}

// Once known it stays, whatever ends the transfer afterwards.
void FtpDataSocket::KeepWholeUpload()
{
  uploadWhole_ = UploadWhole();
}

void FtpDataSocket::Event_Error()
{
  if (auto next = std::move(connectThen_)) {
    // Never opened: the transfer command was not written.
    connectThen_ = nullptr;
    next(false);
  }
  try {
    if (LastErrorCode() == kSocketRemoteClosed) {
      if (status == "list") {
        // Whole only once the server's final reply says so: a listing it
        // gives up after an orderly close must not be taken.
        dataClosed_ = true;
        if (finalReply_ == FinalReply::Ok)
          DeliverListing();
      } else if (status == "retr") {
        if (!saveFile)
          return; // already finished or dropped
        bool ok = WriteToFile(fileData);
        fileData.clear();
        if (ok && heldCR_)
          ok = WriteToFile("\r");
        heldCR_ = false;
        if (!ok) {
          FailLocalFile();
          return;
        }
        dataClosed_ = true;
        if (finalReply_ == FinalReply::Ok)
          FinishDownload();
      } else {
        WakeUploader(); // the upload thread decides what an early close means
      }
      return;
    }
    if (status == "retr")
      DropDownload();
    WakeUploader();
    if (Error)
      Error();
  } catch (...) {
    DeliverEvent(Error);
  }
}

void FtpDataSocket::SetDownloadFiles(const std::string& temporaryPath, const std::string& finalPath)
{
  temporaryPath_ = temporaryPath;
  finalPath_ = finalPath;
}

// The local file could not be written or put in place: nothing is left.
void FtpDataSocket::FailLocalFile()
{
  DropDownload();
  SetLastErrorCode(kSocketLocalFileError);
  DeliverEvent(Error);
}

void FtpDataSocket::FinishDownload()
{
  bool ok = saveFile && saveFile->Close();
  saveFile.reset();
  if (ok && !temporaryPath_.empty())
    ok = GetFolderItem(temporaryPath_).MoveTo(GetFolderItem(finalPath_));
  if (!ok) {
    FailLocalFile();
    return;
  }
  temporaryPath_.clear();
  finalPath_.clear();
  PostAfterDownload();
  RaiseFileTransferComplete();
}

void FtpDataSocket::DropDownload()
{
  if (saveFile)
    saveFile->Close();
  saveFile.reset();
  fileData.clear();
  if (!temporaryPath_.empty())
    GetFolderItem(temporaryPath_).Delete();
  temporaryPath_.clear();
  finalPath_.clear();
  PostAfterDownload();
}

bool FtpDataSocket::DownloadUnfinished() const
{
  return status == "retr" && saveFile && !dataClosed_ && finalReply_ != FinalReply::Failed;
}

void FtpDataSocket::AfterDownload(std::function<void()> step)
{
  afterDownload_ = std::move(step);
}

void FtpDataSocket::PostAfterDownload()
{
  if (!afterDownload_)
    return;
  // From the loop, after the owner has heard how the download ended.
  PostSocketEvent([this]() {
    auto step = std::move(afterDownload_);
    afterDownload_ = nullptr;
    if (step)
      step();
  });
}

void FtpDataSocket::TransferReplied(bool ok, const std::string& reply)
{
  finalReply_ = ok ? FinalReply::Ok : FinalReply::Failed;
  finalReplyText_ = reply;
  // Taken: once the server has acknowledged every byte, its end of the data
  // connection is not awaited (it may send it late, or never).
  if (ok && uploadSent_)
    DeliveredWhenAcknowledged();
  KeepWholeUpload();
  if (!ok) {
    CancelTransfer();
    return;
  }
  if (completeOnReply_ && UploadWhole()) {
    completeOnReply_ = false;
    RaiseFileTransferComplete(); // last: its handler may delete this socket
    return;
  }
  if (status == "retr" && dataClosed_ && saveFile) {
    FinishDownload(); // last: its handler may delete this socket
    return;
  }
  if (status == "list" && dataClosed_) {
    DeliverListing(); // last: its handler may delete this socket
    return;
  }
  WakeUploader();
}

void FtpDataSocket::DeliverListing()
{
  dataClosed_ = false;
  std::string listing;
  listing.swap(listData);
  if (gotList)
    gotList(listing);
}

void FtpDataSocket::CancelTransfer()
{
  KeepWholeUpload();
  afterDownload_ = nullptr; // given up: nothing waits for it
  finalReply_ = FinalReply::Failed;
  Abort();
  if (saveFile || !temporaryPath_.empty())
    DropDownload();
  WakeUploader();
}

void FtpDataSocket::FailTransfer(int code)
{
  CancelTransfer(); // a reset, so the server does not keep a truncated file
  SetLastErrorCode(code);
  // Raised from the loop, like every socket event.
  PostSocketEvent([this]() {
    if (Error)
      Error();
  });
}

void FtpDataSocket::Close()
{
  connectThen_ = nullptr;
  const bool uploading = status == "stor" && upthd && upthd->State() == Thread::ThreadState::Running;
  if (uploading && !uploadSent_) {
    Abort();
    WakeUploader();
    return;
  }
  TCPSocket::Close();
  if (status == "retr" && (saveFile || !temporaryPath_.empty()))
    DropDownload(); // cut short: the old file stays, the partial one goes
}

void FtpDataSocket::Abort()
{
  KeepWholeUpload();
  afterDownload_ = nullptr;
  connectThen_ = nullptr;
  completeOnReply_ = false;
  finalReply_ = FinalReply::Failed;
  if (status == "list") {
    dataClosed_ = false; // a listing held for its final reply goes
    std::string().swap(listData);
  }
  uploadFile.reset();
  TCPSocket::Abort();
  if (saveFile || !temporaryPath_.empty())
    DropDownload();
  WakeUploader();
}

void FtpDataSocket::UploadSent()
{
  uploadSent_ = true;
  CloseWhenDelivered();
}

void FtpDataSocket::WakeUploader()
{
  if (upthd)
    upthd->Wake();
}

void FtpDataSocket::sendFile()
{
  if (!upthd)
    upthd = std::make_unique<UploadThread>();
  if (upthd->State() == Thread::ThreadState::Running) {
    // The last upload's body is still finishing; start once it has.
    PostSocketEvent([this]() { sendFile(); });
    return;
  }
  upthd->parent = this;
  upthd->Run();
}

void FtpDataSocket::sendString()
{
  std::string text = bigString;
  if (!Binary) {
    AsciiUploadConverter converter;
    text = converter.Convert(text);
  }
  Thread* self = Thread::Current();
  const std::size_t passes = text.size() / kStringPiece + 1;
  for (std::size_t i = 0; i < passes; ++i) {
    if (UserCancelled()) {
      SetUserCancelled(false); // the request is answered
      FailTransfer(kSocketUploadStopped);
      return;
    }
    const std::string piece = text.substr(std::min(text.size(), i * kStringPiece), kStringPiece);
    Write(piece);
    RaiseBytesTransfered(static_cast<std::int32_t>(piece.size()));
    if (self)
      self->YieldToNextThread();
    if (!IsOpen() || FinalReplyKnown()) {
      if (upthd)
        upthd->ReportEarlyEnd();
      return;
    }
  }
  if (upthd && self == upthd.get()) {
    upthd->FinishUpload();
    return;
  }
  // On the caller's thread nothing waits here: the final reply, or the end
  // of the data connection after it, completes it.
  UploadSent();
  completeOnReply_ = true;
}

void FtpDataSocket::RaiseBytesTransfered(std::int32_t count)
{
  if (bytesTransfered)
    bytesTransfered(count);
}

void FtpDataSocket::RaiseFileTransferComplete()
{
  if (FileTransferComplete)
    FileTransferComplete();
}
