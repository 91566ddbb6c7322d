#pragma once
// A fake FTP server on 127.0.0.1 for replies no real server gives on demand.
// It accepts one control connection and runs a script on its own thread
// with blocking sockets, while the test pumps the client's event loop.
//
//   ScriptedFtpServer server([](ScriptSession& s) {
//     s.SendByteByByte("220 hello\r\n");
//     s.Expect("USER");
//     s.Send("331 ok\r\n");
//   });
//   ... client connects to server.Port() ...
//   EXPECT_TRUE(PumpUntil([&] { return server.Done(); }));

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptSession {
public:
  // The greeting and a login of quill/secret, in "/".
  void Login();
  // Passive: the PASV, the data connection, the LIST and its opening reply.
  void OpenListing();

  // Control connection.
  void Send(const std::string& bytes);
  // Each byte in a write of its own, with a short pause, so that the client
  // reads them in separate pieces.
  void SendByteByByte(const std::string& bytes);
  std::string ReadLine(); // a command without its CR LF; throws on time-out
  std::string Expect(const std::string& prefix); // ReadLine that must begin so
  // True when the client sends nothing more and closes within timeoutMs.
  bool ClientClosed(int timeoutMs);
  // True when nothing arrives on the control connection for ms.
  bool QuietFor(int ms);

  // Data connection, passive: listen, and the text of the 227 reply.
  std::string OpenPassive();
  void AcceptData();
  // Active: connect to the address a PORT command named.
  void ConnectData(const std::string& portCommand);
  // The same from another local address (another host), on a descriptor
  // of its own.
  int ConnectFrom(const std::string& portCommand, const std::string& fromAddress);
  void SendData(const std::string& bytes);
  std::string ReadDataUntilClosed(); // throws when the client resets
  std::string ReadData(std::size_t atLeast);
  void CloseData();
  void ResetData(); // an abortive close: the client sees a reset
  void EndDataSending(); // an orderly close of the server's sending side
  // True when the data connection ended with a reset from the client.
  bool DataWasReset() const { return dataReset_; }

  int controlFd = -1;
  int dataFd = -1;
  int passiveFd = -1;
  std::function<void(const std::string&)> record;

private:
  std::string pending_;
  bool dataReset_ = false;
};

class ScriptedFtpServer {
public:
  // On port (the program's 21, in a private network), or on a free one.
  explicit ScriptedFtpServer(std::function<void(ScriptSession&)> script, int port = 0);
  ~ScriptedFtpServer();
  ScriptedFtpServer(const ScriptedFtpServer&) = delete;
  ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

  int Port() const { return port_; }
  bool Done() const { return done_; }
  // Empty when the script ran to its end.
  std::string Failure() const;
  std::vector<std::string> Commands() const;

private:
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> done_{false};
  mutable std::mutex mutex_;
  std::string failure_;
  std::vector<std::string> commands_;
  std::thread thread_;
};
