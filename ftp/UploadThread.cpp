#include "UploadThread.h"

#include "ftp/FtpDataSocket.h"

#include "framework/BinaryStream.h"
#include "framework/FolderItem.h"

void UploadThread::Pause(int& rounds)
{
  // A few plain yields catch the usual quick answer; after that sleep, and
  // let the socket's events wake the thread.
  if (++rounds < 4)
    YieldToNextThread();
  else
    Sleep(100);
}

bool UploadThread::WaitForSendComplete()
{
  FtpDataSocket& p = *parent;
  int rounds = 0;
  while (!p.bufferClear) {
    if (!p.IsOpen() || p.FinalReplyKnown())
      return false;
    Pause(rounds);
  }
  return true;
}

void UploadThread::ReportEarlyEnd()
{
  FtpDataSocket& p = *parent;
  if (p.FinalReplyKnown() && !p.FinalReplyOk())
    return; // the control connection has reported the server's refusal
  if (p.IsOpen()) {
    // The server answered before the file was sent: it cannot be whole.
    p.FailTransfer(kSocketUploadStopped);
    return;
  }
  // Closed under us. A failure was raised by the socket already; an orderly
  // close by the server raises nothing there, so say it here.
  if (p.LastErrorCode() == kSocketRemoteClosed)
    p.FailTransfer(kSocketRemoteClosed);
}

void UploadThread::FinishUpload()
{
  FtpDataSocket& p = *parent;
  // The server stores the file as complete only when the connection closes
  // in order. Its reply alone does not say that the connection did: some
  // servers answer 226 to a reset (pyftpdlib), and the system may still
  // hold megabytes for a slow one when the last piece is written.
  p.UploadSent();
  int rounds = 0;
  while (!p.FinalReplyKnown() || p.UploadDelivering())
    Pause(rounds);
  // Otherwise the socket or the control connection has told the owner.
  if (!p.UploadWhole())
    return;
  if (p.path != "bigString") {
    // Saved again after it was read, in place or anew (as editors do): the
    // server holds the earlier version. A file removed meanwhile was sent
    // whole.
    const BinaryStream::Stamp now = BinaryStream::PathStamp(p.path);
    if (now.inode != 0 && now != p.uploadStamp)
      p.SetUploadOutdated();
  }
  p.RaiseFileTransferComplete();
}

void UploadThread::Event_Run()
{
  if (!parent)
    return;
  FtpDataSocket& p = *parent;
  // Refused in the same read as its opening reply: nothing is read or sent.
  if (p.FinalReplyKnown()) {
    ReportEarlyEnd();
    return;
  }
  try {
    if (p.path == "bigString") {
      p.sendString();
      return;
    }
    const bool openedBefore = p.uploadFile != nullptr;
    std::unique_ptr<BinaryStream> stream =
        openedBefore ? std::move(p.uploadFile) : GetFolderItem(p.path).OpenAsBinaryFile(false);
    if (!stream) {
      p.FailTransfer(kSocketLocalFileError);
      return;
    }
    const BinaryStream::Stamp opened = openedBefore ? p.uploadStamp : stream->FileStamp();
    p.uploadStamp = opened;
    const std::int64_t length = stream->Length();
    AsciiUploadConverter converter;
    for (;;) {
      if (UserCancelled()) {
        SetUserCancelled(false); // the request is answered
        stream->Close();
        p.FailTransfer(kSocketUploadStopped);
        return;
      }
      const std::string piece = stream->Read(kPieceSize);
      if (piece.empty()) {
        if (stream->Position() < length) {
          p.FailTransfer(kSocketLocalFileError); // a read error, not the end
          return;
        }
        break;
      }
      p.bufferClear = false;
      p.Write(p.Binary ? piece : converter.Convert(piece));
      p.RaiseBytesTransfered(static_cast<std::int32_t>(piece.size()));
      if (!WaitForSendComplete()) {
        ReportEarlyEnd();
        return;
      }
      YieldToNextThread();
    }
    // Written to (or replaced) while it went out: what the server got is
    // not what the local file holds now, so it must not end as whole. A
    // file removed meanwhile was still sent whole.
    const BinaryStream::Stamp atPath = BinaryStream::PathStamp(p.path);
    if (stream->FileStamp() != opened || (atPath.inode != 0 && atPath != opened)) {
      p.FailTransfer(kSocketLocalFileChanged);
      return;
    }
    stream->Close();
    FinishUpload();
  } catch (...) {
    p.FailTransfer(kSocketUploadStopped);
  }
}
