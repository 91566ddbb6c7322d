#include "FtpServers.h"

#include "AsNobody.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <random>
#include <stdexcept>
#include <sys/file.h>
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

// Runs a program with its output discarded; true when it exited 0.
bool Run(std::vector<std::string> args)
{
  std::vector<char*> argv;
  for (auto& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0)
    return false;
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execv(argv[0], argv.data());
    std::_Exit(127);
  }
  int st = 0;
  ::waitpid(pid, &st, 0);
  return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

// vsftpd's sessions work as this system account; the login names are its
// virtual users. Its home must exist, since vsftpd changes into it before
// it changes into the served folder.
constexpr const char* kVsftpdAccount = "quillftp";

struct Account {
  uid_t uid;
  gid_t gid;
};

Account VsftpdAccount()
{
  static const Account account = [] {
    // Two useradd run side by side can lose one's entry to the other's, so
    // test processes make the account one at a time.
    const int lock = ::open("/tmp/quill-vsftpd-account.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0)
      ::flock(lock, LOCK_EX);
    const passwd* pw = ::getpwnam(kVsftpdAccount);
    if (!pw) {
      Run({"/usr/sbin/useradd", "--system", "--no-create-home", "--home-dir", "/", "--shell", "/usr/sbin/nologin",
           kVsftpdAccount});
      pw = ::getpwnam(kVsftpdAccount);
    }
    const Account found = pw ? Account{pw->pw_uid, pw->pw_gid} : Account{0, 0};
    if (lock >= 0)
      ::close(lock);
    if (!pw)
      throw std::runtime_error(std::string("cannot make the system account ") + kVsftpdAccount);
    return found;
  }();
  return account;
}

std::vector<pid_t> ChildrenOf(pid_t parent)
{
  std::vector<pid_t> children;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc", ec)) {
    const std::string name = e.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    // "pid (comm) state ppid ...": the name may hold blanks and parentheses.
    // A process that ends while it is read fails the read: it is no child.
    std::string stat;
    try {
      stat = ReadWhole(e.path() / "stat");
    } catch (const std::exception&) {
      continue;
    }
    const auto close = stat.rfind(')');
    int ppid = 0;
    if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %*c %d", &ppid) == 1 &&
        ppid == parent)
      children.push_back(std::stoi(name));
  }
  return children;
}

// Whether the process itself holds the socket listening on the port: the
// port is chosen free before the server starts, and another test's server
// may take it meanwhile and answer in its place.
bool ListensOn(pid_t pid, int port)
{
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line); // heading
  std::vector<std::string> sockets;
  while (std::getline(table, line)) {
    unsigned localPort = 0;
    unsigned state = 0;
    unsigned long inode = 0;
    if (std::sscanf(line.c_str(), " %*d: %*x:%x %*x:%*x %x %*x:%*x %*x:%*x %*x %*d %*d %lu", &localPort, &state,
                    &inode) == 3 &&
        static_cast<int>(localPort) == port && state == 0x0A)
      sockets.push_back("socket:[" + std::to_string(inode) + "]");
  }
  std::error_code ec;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::error_code gone;
    const std::string target = std::filesystem::read_symlink(fd.path(), gone).string();
    if (!gone && std::find(sockets.begin(), sockets.end(), target) != sockets.end())
      return true;
  }
  return false;
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
    RemoveFiles();
    throw;
  }
}

FtpServerProcess::~FtpServerProcess()
{
  RemoveFiles();
}

void FtpServerProcess::RemoveFiles()
{
  Stop();
  std::error_code ec;
  if (!pamFile_.empty())
    fs::remove(pamFile_, ec);
  fs::remove_all(workDir_, ec);
}

const char* FtpServerProcess::Name() const
{
  switch (kind_) {
  case FtpServerKind::Pyftpdlib:
    return "pyftpdlib";
  case FtpServerKind::PureFtpd:
    return "pure-ftpd";
  case FtpServerKind::Vsftpd:
    return "vsftpd";
  case FtpServerKind::ProFtpd:
    return "proftpd";
  }
  return "?";
}

void FtpServerProcess::GiveToServerUser(const std::string& path) const
{
  // pure-ftpd, proftpd and vsftpd work as their virtual users' system account.
  if (::geteuid() != 0)
    return;
  if (kind_ == FtpServerKind::PureFtpd || kind_ == FtpServerKind::ProFtpd) {
    (void)::chown(path.c_str(), kNobody, kNogroup);
  } else if (kind_ == FtpServerKind::Vsftpd) {
    const Account a = VsftpdAccount();
    (void)::chown(path.c_str(), a.uid, a.gid);
  }
}

std::vector<std::string> FtpServerProcess::VsftpdArguments()
{
  if (::geteuid() != 0)
    throw std::runtime_error("vsftpd needs root");
  // Its virtual users log in through a PAM service of our own that checks
  // a Berkeley DB file (pam_userdb); Debian's own Python writes that format.
  // (pam_exec would do, but its child's exit hangs vsftpd's login.)
  const std::string logins = workDir_ + "/logins";
  if (pamFile_.empty()) {
    if (!Run({"/usr/bin/python3", "-c",
              "import dbm.ndbm, sys\n"
              "d = dbm.ndbm.open(sys.argv[1], 'n', 0o600)\n"
              "d[sys.argv[2]] = sys.argv[3]\n"
              "d.close()",
              logins, options_.user, options_.password}))
      throw std::runtime_error("cannot write vsftpd's login file");
    // PAM lowercases service names: the folder's random name may not do.
    static int served = 0;
    pamFile_ = "/etc/pam.d/quill-vsftpd-" + std::to_string(::getpid()) + "-" + std::to_string(++served);
    std::ofstream(pamFile_) << "auth required pam_userdb.so db=" << logins << "\n"
                            << "account required pam_userdb.so db=" << logins << "\n";
    fs::create_directory(workDir_ + "/empty");
    ::chmod((workDir_ + "/empty").c_str(), 0555);
  }
  const std::string config = workDir_ + "/vsftpd.conf";
  std::ofstream(config) << "listen=YES\nlisten_ipv6=NO\nbackground=NO\n"
                        << "listen_address=" << options_.host << "\nlisten_port=" << options_.port << "\n"
                        << "anonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\nlocal_umask=022\n"
                        << "guest_enable=YES\nguest_username=" << kVsftpdAccount << "\nvirtual_use_local_privs=YES\n"
                        << "pam_service_name=" << fs::path(pamFile_).filename().string() << "\n"
                        << "local_root=" << options_.root << "\nchroot_local_user=YES\nallow_writeable_chroot=YES\n"
                        << "secure_chroot_dir=" << workDir_ << "/empty\n"
                        << "pasv_min_port=" << options_.passiveLow << "\npasv_max_port=" << options_.passiveHigh << "\n"
                        // Active mode from an ordinary port, as the other servers do.
                        << "port_enable=YES\nconnect_from_port_20=NO\n"
                        << "local_max_rate=" << options_.uploadKBps * 1024 << "\n"
                        << "xferlog_enable=YES\nlog_ftp_protocol=YES\nvsftpd_log_file=" << workDir_ << "/server.log\n";
  // scripts/setup.sh unpacks it beside the system: its package conflicts
  // with pure-ftpd's.
  const char* binary = "/opt/quillmere-test/vsftpd/usr/sbin/vsftpd";
  if (::access(binary, X_OK) != 0)
    binary = "/usr/sbin/vsftpd";
  return {binary, config};
}

std::vector<std::string> FtpServerProcess::ProFtpdArguments()
{
  if (::geteuid() != 0)
    throw std::runtime_error("proftpd needs root");
  // One virtual user in a passwd-style file, working as nobody.
  const std::string users = workDir_ + "/proftpd.passwd";
  std::ofstream(users) << options_.user << ":" << RunForOutput("openssl passwd -6 '" + options_.password + "'")
                       << ":" << kNobody << ":" << kNogroup << "::" << options_.root << ":/bin/false\n";
  ::chmod(users.c_str(), 0600);
  const std::string config = workDir_ + "/proftpd.conf";
  std::ofstream out(config);
  out << "ServerType standalone\nDefaultServer on\nUseIPv6 off\nSocketBindTight on\n"
      << "DefaultAddress " << options_.host << "\nPort " << options_.port << "\n"
      << "User nobody\nGroup nogroup\nUmask 022\nAllowOverwrite on\n"
      << "AuthOrder mod_auth_file.c\nAuthUserFile " << users << "\nRequireValidShell off\nDefaultRoot ~\n"
      << "PassivePorts " << options_.passiveLow << " " << options_.passiveHigh << "\n"
      << "PidFile " << workDir_ << "/proftpd.pid\nScoreboardFile " << workDir_ << "/proftpd.scoreboard\n"
      << "DelayTable none\nWtmpLog off\nUseReverseDNS off\nTransferLog none\n"
      << "SystemLog " << workDir_ << "/server.log\n";
  if (options_.uploadKBps > 0)
    out << "TransferRate STOR " << options_.uploadKBps << "\n";
  for (const std::string& line : options_.proftpdDirectives)
    out << line << "\n";
  out.close();
  // scripts/setup.sh unpacks it beside the system: its package conflicts
  // with pure-ftpd's.
  const char* binary = "/opt/quillmere-test/proftpd/usr/sbin/proftpd";
  if (::access(binary, X_OK) != 0)
    binary = "/usr/sbin/proftpd";
  return {binary, "-n", "-q", "-c", config};
}

void FtpServerProcess::Start()
{
  for (int attempt = 0; attempt < 5; ++attempt) {
    const bool choosePort = options_.port == 0;
    if (choosePort)
      options_.port = FreeLocalPort();
    std::vector<std::string> args;
    if (options_.folding != NameFolding::None && kind_ != FtpServerKind::Pyftpdlib)
      throw std::runtime_error(std::string(Name()) + " cannot fold names");
    if (kind_ == FtpServerKind::Pyftpdlib) {
      // Debian's pyftpdlib belongs to Debian's own Python.
      args = {"/usr/bin/python3", "-m", "pyftpdlib"};
      if (options_.folding != NameFolding::None)
        args = {"/usr/bin/python3", QUILL_SOURCE_DIR "/tests/support/FoldingFtpd.py",
                options_.folding == NameFolding::Windows ? "windows" : "full"};
      const std::vector<std::string> options = {
          "-i", options_.host, "-p", std::to_string(options_.port), "-d", options_.root, "-u", options_.user,
          "-P", options_.password, "-w", "-r",
          std::to_string(options_.passiveLow) + "-" + std::to_string(options_.passiveHigh)};
      args.insert(args.end(), options.begin(), options.end());
    } else if (kind_ == FtpServerKind::Vsftpd) {
      args = VsftpdArguments();
    } else if (kind_ == FtpServerKind::ProFtpd) {
      args = ProFtpdArguments();
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
    bool portTaken = false; // by whoever took it after it was chosen
    while (std::chrono::steady_clock::now() < deadline) {
      int st = 0;
      if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        portTaken = true; // the likely reason a server ends at start
        pid_ = -1;
        break;
      }
      if (WaitForPort(options_.host, options_.port, 50)) {
        up = ListensOn(pid_, options_.port);
        portTaken = !up; // another's server answered
        break;
      }
    }
    if (up)
      return;
    Stop();
    if (!(portTaken && choosePort))
      throw std::runtime_error(std::string(Name()) + " did not start:\n" + Log());
    options_.port = 0; // someone took the port meanwhile: try another
  }
  throw std::runtime_error(std::string(Name()) + " did not start:\n" + Log());
}

void FtpServerProcess::Stop()
{
  if (pid_ <= 0)
    return;
  // vsftpd makes each session the leader of a group of its own, which
  // outlives the listener: end those while they are still its children.
  ::kill(pid_, SIGSTOP);
  for (pid_t child : ChildrenOf(pid_)) {
    const pid_t group = ::getpgid(child);
    if (group > 0 && group != pid_)
      ::kill(-group, SIGKILL);
  }
  ::kill(pid_, SIGCONT);
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

void FtpServerProcess::Pause() const
{
  // vsftpd's sessions lead groups of their own: each is reached through its
  // parent.
  for (pid_t child : ChildrenOf(pid_)) {
    const pid_t group = ::getpgid(child);
    if (group > 0 && group != pid_)
      ::kill(-group, SIGSTOP);
  }
  ::kill(-pid_, SIGSTOP);
}

void FtpServerProcess::Resume() const
{
  ::kill(-pid_, SIGCONT);
  for (pid_t child : ChildrenOf(pid_)) {
    const pid_t group = ::getpgid(child);
    if (group > 0 && group != pid_)
      ::kill(-group, SIGCONT);
  }
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

std::string FtpServerProcess::TextAsStored(const std::string& text) const
{
  // pyftpdlib, pure-ftpd and proftpd store each CR LF as LF; vsftpd keeps
  // the bytes (no ascii_upload_enable).
  const std::string lineEnd = kind_ == FtpServerKind::Vsftpd ? "\r\n" : "\n";
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out += lineEnd;
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}
