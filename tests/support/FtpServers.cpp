#include "FtpServers.h"

#include "AsNobody.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <random>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
std::string RunForOutput(const std::string& command)
{
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
      out.append(buf, n);
    ::pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
    out.pop_back();
  return out;
}

std::string ReadWhole(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
} // namespace

int FreeLocalPort()
{
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  ::close(fd);
  return port;
}

bool WaitForPort(const std::string& host, int port, int timeoutMs)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
  while (std::chrono::steady_clock::now() < deadline) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    if (ok)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

FtpServerProcess::FtpServerProcess(FtpServerKind kind, FtpServerOptions options)
    : kind_(kind), options_(std::move(options))
{
  char templ[] = "/tmp/quill-ftpd-XXXXXX";
  const char* made = ::mkdtemp(templ);
  if (!made)
    throw std::runtime_error("cannot make a temporary folder");
  workDir_ = made;
  ::chmod(workDir_.c_str(), 0755); // the server's user walks through it
  if (options_.root.empty()) {
    options_.root = workDir_ + "/root";
    fs::create_directories(options_.root);
    ownRoot_ = true;
  }
  while (options_.root.size() > 1 && options_.root.back() == '/')
    options_.root.pop_back();
  GiveToServerUser(options_.root);
  if (options_.passiveLow == 0) {
    static std::mt19937 random{std::random_device{}()};
    options_.passiveLow = 20000 + static_cast<int>(random() % 400) * 100;
    options_.passiveHigh = options_.passiveLow + 99;
  }
  try {
    Start();
  } catch (...) {
    Stop();
    std::error_code ec;
    fs::remove_all(workDir_, ec);
    throw;
  }
}

FtpServerProcess::~FtpServerProcess()
{
  Stop();
  std::error_code ec;
  fs::remove_all(workDir_, ec);
}

void FtpServerProcess::GiveToServerUser(const std::string& path) const
{
  // pure-ftpd works as its virtual user's system account.
  if (kind_ == FtpServerKind::PureFtpd && ::geteuid() == 0)
    (void)::chown(path.c_str(), kNobody, kNogroup);
}

void FtpServerProcess::Start()
{
  for (int attempt = 0; attempt < 5; ++attempt) {
    const bool choosePort = options_.port == 0;
    if (choosePort)
      options_.port = FreeLocalPort();
    std::vector<std::string> args;
    if (kind_ == FtpServerKind::Pyftpdlib) {
      // Debian's pyftpdlib belongs to Debian's own Python.
      args = {"/usr/bin/python3", "-m", "pyftpdlib", "-i", options_.host, "-p", std::to_string(options_.port),
              "-d", options_.root, "-u", options_.user, "-P", options_.password, "-w", "-r",
              std::to_string(options_.passiveLow) + "-" + std::to_string(options_.passiveHigh)};
    } else {
      // A fast password hash: the default one costs seconds per login.
      const std::string hash = RunForOutput("openssl passwd -6 '" + options_.password + "'");
      std::ofstream(workDir_ + "/pureftpd.passwd")
          << options_.user << ":" << hash << ":" << kNobody << ":" << kNogroup << "::" << options_.root
          << "/./::::::::::::\n";
      const std::string mkdb = "pure-pw mkdb '" + workDir_ + "/pureftpd.pdb' -f '" + workDir_ +
                               "/pureftpd.passwd' >/dev/null 2>&1";
      if (std::system(mkdb.c_str()) != 0)
        throw std::runtime_error("pure-pw mkdb failed");
      args = {"/usr/sbin/pure-ftpd", "-S", options_.host + "," + std::to_string(options_.port),
              "-l", "puredb:" + workDir_ + "/pureftpd.pdb", "-E", "-H", "-A", "-u", "1",
              "-p", std::to_string(options_.passiveLow) + ":" + std::to_string(options_.passiveHigh)};
    }
    const std::string logPath = workDir_ + "/server.log";
    pid_ = ::fork();
    if (pid_ < 0)
      throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      ::setpgid(0, 0); // its own group, so Stop reaches every child it forks
      FILE* log = std::fopen(logPath.c_str(), "a");
      if (log) {
        ::dup2(fileno(log), 1);
        ::dup2(fileno(log), 2);
      }
      std::vector<char*> argv;
      for (auto& a : args)
        argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      std::_Exit(127);
    }
    ::setpgid(pid_, pid_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool up = false;
    bool exited = false;
    while (std::chrono::steady_clock::now() < deadline) {
      int st = 0;
      if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        exited = true;
        pid_ = -1;
        break;
      }
      if (WaitForPort(options_.host, options_.port, 50)) {
        up = true;
        break;
      }
    }
    if (up)
      return;
    Stop();
    if (!(exited && choosePort))
      throw std::runtime_error(std::string(Name()) + " did not start:\n" + Log());
    options_.port = 0; // someone took the port meanwhile: try another
  }
  throw std::runtime_error(std::string(Name()) + " did not start:\n" + Log());
}

void FtpServerProcess::Stop()
{
  if (pid_ <= 0)
    return;
  ::kill(-pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int st = 0;
  while (::waitpid(pid_, &st, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(-pid_, SIGKILL);
      ::waitpid(pid_, &st, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(-pid_, SIGKILL); // session children left behind
  pid_ = -1;
}

std::string FtpServerProcess::Log() const
{
  return ReadWhole(workDir_ + "/server.log");
}

void FtpServerProcess::MakeFolder(const std::string& relative) const
{
  fs::path p = options_.root;
  for (const auto& part : fs::path(relative)) {
    p /= part;
    if (!fs::exists(p)) {
      fs::create_directory(p);
      GiveToServerUser(p.string());
    }
  }
}

void FtpServerProcess::WriteFile(const std::string& relative, const std::string& bytes) const
{
  const fs::path p = fs::path(options_.root) / relative;
  if (p.has_parent_path() && p.parent_path() != fs::path(options_.root))
    MakeFolder(fs::relative(p.parent_path(), options_.root).string());
  std::ofstream(p, std::ios::binary) << bytes;
  GiveToServerUser(p.string());
}

std::string FtpServerProcess::ReadFile(const std::string& relative) const
{
  return ReadWhole(options_.root + "/" + relative);
}

bool FtpServerProcess::Exists(const std::string& relative) const
{
  return fs::exists(fs::path(options_.root) / relative);
}
