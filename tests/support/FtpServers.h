#pragma once
// Real FTP servers for tests and benchmarks, started on construction and
// stopped (with every process they forked) on destruction.
//
//   FtpServerProcess server(FtpServerKind::PureFtpd);       // free port
//   FtpServerProcess fixed(FtpServerKind::Pyftpdlib, {.port = 21});
//   FtpServerProcess vs(FtpServerKind::Vsftpd);             // needs root
//   FtpServerProcess pro(FtpServerKind::ProFtpd);           // needs root
//   server.WriteFile("dir/a.txt", "bytes");                 // into its root
//   server.ReadFile("dir/a.txt");
//
// The constructor returns once the port accepts connections and throws
// std::runtime_error (with the server's log) when it cannot start.

#include <string>
#include <vector>

enum class FtpServerKind { Pyftpdlib, PureFtpd, Vsftpd, ProFtpd };

// How the served file system takes names (pyftpdlib only, through
// FoldingFtpd.py): as given; as on Windows, letter case ignored and each
// name's trailing dots and blanks dropped; or by Unicode full case folding
// ("Straße" is "strasse"). A new name that folds as an existing one is
// stored under the existing one.
enum class NameFolding { None, Windows, Full };

struct FtpServerOptions {
  std::string host = "127.0.0.1";
  int port = 0;          // 0: a free port on host
  std::string root;      // served folder; empty: a fresh temporary one
  std::string user = "quill";
  std::string password = "secret";
  int passiveLow = 0;    // passive port range; 0: a random range of 100
  int passiveHigh = 0;
  NameFolding folding = NameFolding::None;
  // proftpd only: directives added to its configuration, one a line
  // ("HiddenStores on", "MaxStoreFileSize 100 B").
  std::vector<std::string> proftpdDirectives;
  // vsftpd and proftpd: kilobytes a second the server takes an upload at,
  // as a slow server or uplink would; 0 unthrottled.
  int uploadKBps = 0;
};

class FtpServerProcess {
public:
  explicit FtpServerProcess(FtpServerKind kind, FtpServerOptions options = {});
  ~FtpServerProcess();
  FtpServerProcess(const FtpServerProcess&) = delete;
  FtpServerProcess& operator=(const FtpServerProcess&) = delete;

  FtpServerKind Kind() const { return kind_; }
  const char* Name() const;
  const std::string& Host() const { return options_.host; }
  int Port() const { return options_.port; }
  const std::string& User() const { return options_.user; }
  const std::string& Password() const { return options_.password; }
  // The served folder, without a trailing "/".
  const std::string& Root() const { return options_.root; }

  // Files and folders in the served folder, by path relative to it, owned
  // so that the server's user may change them.
  void MakeFolder(const std::string& relative) const;
  void WriteFile(const std::string& relative, const std::string& bytes) const;
  std::string ReadFile(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  // What the server keeps of a local text uploaded in ASCII mode, which
  // puts every line end (LF, CR LF or CR) on the wire as CR LF.
  std::string TextAsStored(const std::string& text) const;

  std::string Log() const;
  void Stop();
  // The server and its sessions stop (SIGSTOP) and go on (SIGCONT), as a
  // server that hangs; its system still takes what fits its buffers.
  void Pause() const;
  void Resume() const;

private:
  FtpServerKind kind_;
  FtpServerOptions options_;
  std::string workDir_;   // password files, logs, and the root when ours
  std::string pamFile_;   // vsftpd's PAM service, removed with the server
  bool ownRoot_ = false;
  int pid_ = -1;

  void Start();
  std::vector<std::string> VsftpdArguments();
  std::vector<std::string> ProFtpdArguments();
  void RemoveFiles();
  void GiveToServerUser(const std::string& path) const;
};

// A port on 127.0.0.1 that was free a moment ago.
int FreeLocalPort();
// Waits (up to timeoutMs) until host:port accepts a TCP connection.
bool WaitForPort(const std::string& host, int port, int timeoutMs);
