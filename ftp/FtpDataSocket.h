#pragma once
// The FTP data connection: collects a listing, writes a download into a
// local file, or has the upload thread pump a local file into it.

#include "framework/BinaryStream.h"
#include "framework/TCPSocket.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TextOutputStream;
class UploadThread;

class FtpDataSocket : public TCPSocket {
public:
  FtpDataSocket();
  ~FtpDataSocket() override;

  bool Binary = false;
  std::string status;         // "list", "retr" or "stor"
  std::string path;           // upload: local file, or the marker "bigString"
  std::string listData;
  std::string remoteFileName;
  std::unique_ptr<TextOutputStream> saveFile;
  std::string fileData;
  std::string bigString;
  bool bufferClear = false;
  std::unique_ptr<UploadThread> upthd;
  std::unique_ptr<BinaryStream> uploadFile; // opened before STOR, read by the upload thread
  BinaryStream::Stamp uploadStamp;          // the local file as it was when opened

  // Events for the owner (Connected and Error are inherited).
  std::function<void(const std::string& listing)> gotList;
  std::function<void()> FileTransferComplete;
  std::function<void(std::int32_t count)> bytesTransfered;

  // Passive mode: connects, then next(true) once the connection is up, or
  // next(false) when it cannot be made (before Error is raised). Closing or
  // giving the transfer up first drops next.
  void ConnectThen(std::function<void(bool up)> next);

  // Closes the connection; in the middle of an upload it resets it, so the
  // server cannot take the part it got for the whole file.
  void Close();
  // Resets the connection and gives the transfer up: a download's file goes,
  // an upload waits for nothing more.
  void Abort();

  void sendFile();
  void sendString();
  // Raise the two events above (the upload thread raises them too).
  void RaiseBytesTransfered(std::int32_t count);
  void RaiseFileTransferComplete();

  // Set by the control connection for a download: the file being written
  // (a temporary one) and the file it becomes once the transfer succeeded.
  void SetDownloadFiles(const std::string& temporaryPath, const std::string& finalPath);

  // From the control connection as it writes LIST, NLST, RETR or STOR.
  void BeginTransfer();
  // From the control connection: the transfer command's final reply has
  // come (ok: a 2xx), or the transfer failed there and is to be dropped.
  void TransferReplied(bool ok, const std::string& reply = {});
  // The final reply of the last transfer, all its lines; a listing's owner
  // reads from it whether the server cut the listing short.
  const std::string& FinalReplyText() const { return finalReplyText_; }
  void CancelTransfer();
  // A download whose data is still arriving (its final reply may already
  // have come): a new data connection now would cut it off. step runs from
  // the loop once it has ended, unless the transfer is given up first.
  bool DownloadUnfinished() const;
  void AfterDownload(std::function<void()> step);

  // The upload thread's view of the transfer.
  bool FinalReplyKnown() const { return finalReply_ != FinalReply::None; }
  bool FinalReplyOk() const { return finalReply_ == FinalReply::Ok; }
  // The upload went out whole, the server acknowledged every byte and ended
  // the data connection in order, and its reply took it; whatever the
  // control connection does afterwards.
  bool UploadWhole() const;
  // Whole, but the local file changed after it was read and before the
  // server's reply: the server holds an earlier version.
  bool UploadOutdated() const { return uploadOutdated_; }
  void SetUploadOutdated() { uploadOutdated_ = true; }
  // The upload's last piece is written: close in order, and keep the
  // connection until the server has every byte.
  void UploadSent();
  // The last piece is written and the server has yet to take every byte.
  bool UploadDelivering() const { return uploadSent_ && IsOpen(); }
  // Drops the transfer (a reset, and a download's file) and raises Error
  // with code from the event loop.
  void FailTransfer(int code);

protected:
  void Event_Connected() override;
  void Event_DataAvailable() override;
  void Event_SendComplete() override;
  void Event_Delivered() override;
  void Event_Error() override;

private:
  enum class FinalReply { None, Ok, Failed };
  FinalReply finalReply_ = FinalReply::None;
  std::string finalReplyText_;
  bool uploadSent_ = false;     // the upload's last piece has been written
  bool uploadWhole_ = false;
  bool uploadOutdated_ = false;
  bool completeOnReply_ = false; // a string sent on the caller's thread: the reply completes it
  bool dataClosed_ = false;     // the server closed a download or a listing in order
  bool heldCR_ = false;         // text download: a CR waiting for its LF
  std::string temporaryPath_;
  std::string finalPath_;
  std::function<void()> afterDownload_;
  std::function<void(bool)> connectThen_;

  void WakeUploader();
  void KeepWholeUpload();
  void FinishDownload();
  void DeliverListing();
  void DropDownload();
  void FailLocalFile();
  void PostAfterDownload();
  bool WriteToFile(const std::string& bytes);
};

// Text-mode upload conversion: every line end (LF, CR LF or a lone CR)
// becomes CR LF, also when a CR LF is split between two pieces.
class AsciiUploadConverter {
public:
  std::string Convert(const std::string& piece);

private:
  bool lastWasCR_ = false;
};
