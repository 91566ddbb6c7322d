#include "ScriptedFtpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kTimeoutMs = 20000;

void WaitReadable(int fd, int timeoutMs)
{
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0)
    throw std::runtime_error("fake server: timed out waiting for the client");
}

// On port, or on a free port when it is 0; port is the one taken.
int ListenLocal(int& port)
{
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0)
    throw std::runtime_error("fake server: cannot listen");
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  return fd;
}

int AcceptOne(int listenFd)
{
  WaitReadable(listenFd, kTimeoutMs);
  const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

void SendAll(int fd, const std::string& bytes)
{
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0)
      throw std::runtime_error("fake server: send failed");
    sent += static_cast<std::size_t>(n);
  }
}
} // namespace

void ScriptSession::Send(const std::string& bytes)
{
  SendAll(controlFd, bytes);
}

void ScriptSession::SendByteByByte(const std::string& bytes)
{
  for (char c : bytes) {
    SendAll(controlFd, std::string(1, c));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

std::string ScriptSession::ReadLine()
{
  for (;;) {
    const std::size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      if (record)
        record(line);
      return line;
    }
    WaitReadable(controlFd, kTimeoutMs);
    char buf[4096];
    const ssize_t n = ::recv(controlFd, buf, sizeof buf, 0);
    if (n <= 0)
      throw std::runtime_error("fake server: control connection closed");
    pending_.append(buf, static_cast<std::size_t>(n));
  }
}

std::string ScriptSession::Expect(const std::string& prefix)
{
  std::string line = ReadLine();
  if (line.compare(0, prefix.size(), prefix) != 0)
    throw std::runtime_error("fake server: expected " + prefix + ", got " + line);
  return line;
}

bool ScriptSession::ClientClosed(int timeoutMs)
{
  if (!pending_.empty())
    return false;
  pollfd p{controlFd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0)
    return false;
  char c;
  return ::recv(controlFd, &c, 1, 0) <= 0;
}

bool ScriptSession::QuietFor(int ms)
{
  if (!pending_.empty())
    return false;
  pollfd p{controlFd, POLLIN, 0};
  return ::poll(&p, 1, ms) == 0;
}

void ScriptSession::Login()
{
  Send("220 fake\r\n");
  Expect("USER quill");
  Send("331 password please\r\n");
  Expect("PASS secret");
  Send("230 in\r\n");
  Expect("PWD");
  Send("257 \"/\" is the current folder\r\n");
}

void ScriptSession::OpenListing()
{
  Expect("PASV");
  Send(OpenPassive());
  AcceptData();
  Expect("LIST");
  Send("150 listing\r\n");
}

std::string ScriptSession::OpenPassive()
{
  int port = 0;
  passiveFd = ListenLocal(port);
  return "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256) +
         ").\r\n";
}

void ScriptSession::AcceptData()
{
  dataFd = AcceptOne(passiveFd);
  ::close(passiveFd);
  passiveFd = -1;
}

void ScriptSession::ConnectData(const std::string& portCommand)
{
  dataFd = ConnectFrom(portCommand, "");
}

int ScriptSession::ConnectFrom(const std::string& portCommand, const std::string& fromAddress)
{
  int f[6] = {};
  if (std::sscanf(portCommand.c_str(), "PORT %d,%d,%d,%d,%d,%d", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]) != 6)
    throw std::runtime_error("fake server: bad PORT " + portCommand);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(f[4] * 256 + f[5]));
  addr.sin_addr.s_addr = htonl(static_cast<uint32_t>((f[0] << 24) | (f[1] << 16) | (f[2] << 8) | f[3]));
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  if (!fromAddress.empty() && (::inet_pton(AF_INET, fromAddress.c_str(), &from.sin_addr) != 1 ||
                               ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0)) {
    ::close(fd);
    throw std::runtime_error("fake server: cannot use the address " + fromAddress);
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    throw std::runtime_error("fake server: cannot connect to the client's data port");
  }
  return fd;
}

void ScriptSession::SendData(const std::string& bytes)
{
  SendAll(dataFd, bytes);
}

std::string ScriptSession::ReadData(std::size_t atLeast)
{
  std::string got;
  while (got.size() < atLeast) {
    WaitReadable(dataFd, kTimeoutMs);
    char buf[65536];
    const ssize_t n = ::recv(dataFd, buf, sizeof buf, 0);
    if (n <= 0)
      break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

std::string ScriptSession::ReadDataUntilClosed()
{
  std::string got;
  for (;;) {
    WaitReadable(dataFd, kTimeoutMs);
    char buf[65536];
    const ssize_t n = ::recv(dataFd, buf, sizeof buf, 0);
    if (n == 0)
      return got;
    if (n < 0) {
      dataReset_ = true;
      return got;
    }
    got.append(buf, static_cast<std::size_t>(n));
  }
}

void ScriptSession::CloseData()
{
  if (dataFd >= 0)
    ::close(dataFd);
  dataFd = -1;
}

void ScriptSession::EndDataSending()
{
  ::shutdown(dataFd, SHUT_WR);
}

void ScriptSession::ResetData()
{
  if (dataFd < 0)
    return;
  linger lg{1, 0};
  ::setsockopt(dataFd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
  ::close(dataFd);
  dataFd = -1;
}

ScriptedFtpServer::ScriptedFtpServer(std::function<void(ScriptSession&)> script, int port) : port_(port)
{
  listenFd_ = ListenLocal(port_);
  thread_ = std::thread([this, script = std::move(script)]() {
    ScriptSession session;
    session.record = [this](const std::string& line) {
      std::lock_guard<std::mutex> lock(mutex_);
      commands_.push_back(line);
    };
    try {
      session.controlFd = AcceptOne(listenFd_);
      script(session);
    } catch (const std::exception& e) {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = e.what();
    }
    session.CloseData();
    if (session.passiveFd >= 0)
      ::close(session.passiveFd);
    if (session.controlFd >= 0)
      ::close(session.controlFd);
    done_ = true;
  });
}

ScriptedFtpServer::~ScriptedFtpServer()
{
  ::shutdown(listenFd_, SHUT_RDWR);
  if (thread_.joinable())
    thread_.join();
  ::close(listenFd_);
}

std::string ScriptedFtpServer::Failure() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

std::vector<std::string> ScriptedFtpServer::Commands() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_;
}
