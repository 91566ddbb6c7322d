#pragma once
// The FTP control connection: as the replies come (read by FtpReplyReader),
// writes the next command of the running sequence by itself, and reports
// every outcome as an event.

#include "framework/TCPSocket.h"
#include "ftp/FtpReplyReader.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class FtpDataSocket;
class TextOutputStream;

class FtpCommandSocket : public TCPSocket {
public:
  FtpCommandSocket();
  ~FtpCommandSocket() override;

  // Starts a new connection: nothing written on an earlier one, even while
  // it was still being made, is awaited on this one. A server that does not
  // answer it within silenceLimit is given up as a silent one is.
  void Connect();

  bool codeFound = false;
  std::string status;
  std::string expectedCode;
  std::string password;
  std::string userID;
  std::string result; // reply text received and not yet processed
  std::string type;
  std::string fileName;
  FtpDataSocket* dataPort = nullptr;
  std::string systemstr;
  std::unique_ptr<TextOutputStream> saveFile;
  bool usePASV = false;
  int userTries = 0;
  bool oneFile = false;
  bool dOneFile = false;
  std::string macType;
  std::string macCreator;
  std::string directory;

  // Events for the owner (Connected and Error are inherited).
  std::function<void(const std::string& line)> gotResponse;
  std::function<void(const std::string& reply)> gotServerError;
  std::function<void(const std::string& reply)> loggedIn;
  std::function<void(const std::string& reply)> remoteDirChanged;
  std::function<void()> userCancelledUpload;

  // Command senders.
  void sendUSER();
  void sendPASS();
  void sendPWD();
  void sendCWD(const std::string& dir);
  void sendTYPE();
  void sendPORT();
  void sendPASV();
  void sendLIST();
  void sendNLST();
  void sendRETR();
  void sendSTOR();
  void sendSYST();
  void sendQUIT();

  // Data-connection set-up.
  std::string getPort();
  int setupPasvPort(const std::string& reply);

  // Transfer and folder operations.
  void getList();
  void getDirList(const std::string& folder);
  void getNlst();
  void getFile(const std::string& remoteName, const std::string& localPath, const std::string& transferType,
               const std::string& fileTypeCode, const std::string& creatorCode);
  void storFile(const std::string& localPath, const std::string& remotePath, const std::string& transferType);
  void storString(const std::string& text, const std::string& remotePath, const std::string& transferType);
  void deleteFile(const std::string& remotePath);
  void makeDirectory(const std::string& remotePath);
  void deleteDirectory(const std::string& remotePath);
  void UploadOneFile(const std::string& host, const std::string& user, const std::string& pass,
                     const std::string& localPath, const std::string& remotePath, const std::string& transferType,
                     bool passive);
  void downloadOneFile(const std::string& host, const std::string& user, const std::string& pass,
                       const std::string& localPath, const std::string& remotePath, const std::string& transferType,
                       bool passive, const std::string& fileTypeCode, const std::string& creatorCode);

  // The server opened the last STOR (its 1xx came): whatever ends it now,
  // the server's file may have been replaced by a part of ours.
  bool StoreOpened() const { return storeOpened_; }
  // The last STOR was written: from then on some servers have emptied the
  // file, whether or not they open the transfer.
  bool StoreWritten() const { return storeWritten_; }
  // Some command written still awaits its answer.
  bool AnswerDue() const { return reader_.Waiting(); }
  // The connection is up and the login done.
  bool LoggedIn() const { return IsConnected() && loginDone_; }
  // The last connection was given up before the server answered it.
  bool ConnectUnanswered() const { return connectUnanswered_; }
  // The owner gives up the sequence under way: no further command of it is
  // written, and a transfer not yet under way sends and takes nothing.
  void StopSequence();
  // A transfer command's final reply is still to come.
  bool TransferReplyAwaited() const { return transfer_ != Transfer::None; }

  // What the connection waits for from the server, in words ("the reply to
  // CWD /a"); empty when nothing. Once the connection has ended: what it
  // waited for then.
  std::string Awaited() const;
  // The command that the reply being handled answers, as written ("CWD /a";
  // "PASS" alone); empty for the greeting or a reply nobody asked for.
  const std::string& Answering() const { return answering_; }

  // While an answer is due, the server may stay silent this long, on the
  // control connection and on the data connection, before the connection is
  // given up (LastErrorCode kSocketServerSilent).
  std::chrono::milliseconds silenceLimit = kSilenceLimit;

  // Active mode listens on a port of this range.
  int portLow = 1024;
  int portCount = 100;

protected:
  void Event_Connected() override;
  void Event_DataAvailable() override;
  void Event_Error() override;

private:
  enum class Transfer { None, List, Retr, Stor };
  struct Held {
    std::uint64_t serial;
    std::string line;
  };
  FtpReplyReader reader_;
  Transfer transfer_ = Transfer::None; // a transfer command awaits its final reply
  std::string transferCommand_;        // the last transfer command, as written
  // Commands written while a transfer's final reply is due: they go out once
  // it has come.
  std::vector<Held> held_;
  std::uint64_t serial_ = 0;           // commands numbered as they are written
  std::uint64_t stepSerial_ = 0;       // the command whose answer takes the step; 0 none
  bool stepPending_ = false;           // the next command written takes the step
  bool exactCode_ = false;             // only expectedCode itself answers it
  bool storeOpened_ = false;
  bool storeWritten_ = false;
  bool replyIsError_ = false;          // the reply being read ends the step in an error
  bool replyIsLate_ = false;           // it is the final reply of a transfer others wait for
  bool loginDone_ = false;             // PWD after the login has been answered
  bool connectUnanswered_ = false;
  std::chrono::steady_clock::time_point connectStarted_{};
  std::string answering_;
  std::string awaitedAtEnd_;
  std::string downloadTemp_;           // where getFile's stream writes
  std::string downloadTarget_;         // what it becomes on success
  void (FtpCommandSocket::*sendWhenConnected_)() = nullptr;
  // Expires with this object: an owner may delete it from its own handler.
  std::shared_ptr<char> life_ = std::make_shared<char>();

  void AcceptLine(const FtpReplyReader::Line& line);
  void ReplyComplete(const FtpReplyReader::Line& line);
  void ErrorEnd(const std::string& code, const std::string& text);
  void TooMuchReply();
  void Silence();
  void Ended(const std::string& awaited);
  std::string Describe() const;
  bool Due() const;
  void TakeStep(const std::string& code, const std::string& reply);
  void EndSequence();
  void PasvOrPort();
  // Writes a transfer command: at once in active mode, where the server
  // connects to us on it; in passive mode only once our connection to the
  // server is up, so a server never waits on a connection that cannot come.
  void WriteWhenConnected(const std::string& reply, void (FtpCommandSocket::*send)());
  void DataConnectionFailed();
  bool Matches(const std::string& code) const;
  bool Unanswerable(const FtpReplyReader::Line& line) const;
  bool TransferPending() const;

  bool Refused(const std::string& argument);
  void WriteCommand(const std::string& line);
  void Send(std::uint64_t serial, const std::string& line);
  void FlushHeld();
  void Expect(const char* code, bool exact = false);
  void SendWith(const char* code, const std::string& verb, const std::string& argument);
  void BeginDataTransfer(const char* dataStatus, bool binary);
  void WriteTransferCommand(const std::string& line, Transfer transfer);
  bool LateTransferReply(const std::string& code) const;
  void EndLateTransfer(const std::string& code, const std::string& text);
  void SetUpOneFile(const std::string& host, const std::string& user, const std::string& pass,
                    const std::string& localPath, const std::string& remotePath, const std::string& transferType,
                    bool passive);
  bool StartStore(const std::string& localPath);
  void DropDownloadFile();
};
