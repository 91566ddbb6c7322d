// The per-file cost of a synchronisation run once connected and compared:
// 2,000 new files of 1 KiB in 20 folders, planned, typed and sent one step
// at a time by the run, against a real server on loopback; beside it lftp's
// "mirror -R" of the same files to the same server in the same run.
// The program always connects to port 21, so this runs itself again inside
// a private network namespace (as root).
// Usage: bench_SyncRunBench [pyftpdlib|pure-ftpd|both] [active]
#include "../tests/connection/HeadlessConnection.h"

#include "FtpServers.h"

#include "framework/Events.h"
#include "framework/Modal.h"
#include "settings/Globals.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 100;
constexpr int kFiles = kFolders * kFilesPerFolder;

int CountFiles(const std::string& dir)
{
  int n = 0;
  if (fs::exists(dir))
    for (const auto& e : fs::recursive_directory_iterator(dir))
      n += e.is_regular_file() && e.file_size() == 1024;
  return n;
}

// Seconds for the run itself; ok when it ended with its notice.
double RunOnce(const FtpServerProcess& server, const std::string& tree, bool passive, bool& ok)
{
  HeadlessConnection conn;
  conn.user = server.User();
  conn.password = server.Password();
  conn.remoteFolder = "/q";
  conn.passive = passive;
  conn.localFolder = GetFolderItem(tree);
  conn.MakeConnection();
  if (!WaitFor([&] { return conn.CompareDone(); }, 120000)) {
    ok = false;
    return 0;
  }
  int notices = 0;
  SetModalResponder([&](const ModalRequest& r) {
    notices += r.kind == ModalKind::MessageDialog;
    if (r.kind == ModalKind::MessageBox)
      std::fprintf(stderr, "message: %s\n", r.message.c_str());
    return ModalAnswer{};
  });
  const auto start = std::chrono::steady_clock::now();
  conn.SyncUpload();
  ok = WaitFor([&] { return notices > 0 || !conn.SyncRunning(); }, 600000) && notices == 1;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  SetModalResponder({});
  conn.CloseConnection();
  WaitFor([&] { return !conn.commandSocket.IsOpen(); }, 5000);
  return seconds;
}

double RunLftp(const FtpServerProcess& server, const std::string& tree, bool passive, bool& ok)
{
  const std::string cmd = "lftp -u '" + server.User() + "," + server.Password() + "' -p " +
                          std::to_string(server.Port()) + " " + server.Host() + " -e 'set ftp:passive-mode " +
                          (passive ? "on" : "off") + "; set net:max-retries 1; mirror -R " + tree +
                          " l; quit' >/dev/null 2>&1";
  const auto start = std::chrono::steady_clock::now();
  ok = std::system(cmd.c_str()) == 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int RunInNamespace(int argc, char** argv)
{
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0)
    return 2;
  self[n] = '\0';
  std::vector<std::string> args = {"unshare", "-n", "sh", "-c", "ip link set lo up && exec \"$0\" \"$@\"", self};
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
  std::vector<char*> av;
  for (auto& a : args)
    av.push_back(a.data());
  av.push_back(nullptr);
  ::setenv("QUILL_PRIVATE_NETWORK", "1", 1);
  ::execvp("unshare", av.data());
  std::perror("unshare");
  return 2;
}
} // namespace

int main(int argc, char** argv)
{
  if (!std::getenv("QUILL_PRIVATE_NETWORK"))
    return RunInNamespace(argc, argv);
  if (!std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char cfg[] = "/tmp/quill-bench-cfg-XXXXXX";
  setenv("XDG_CONFIG_HOME", ::mkdtemp(cfg), 1);
  InitFramework(argc, argv);
  InitPref();
  gPref[PrefConfirmSync] = 0;
  gPref[PrefBeepOnCaution] = 0;
  gFileType = {{"bin", "I"}};
  const std::string which = argc > 1 ? argv[1] : "both";
  const bool passive = !(argc > 2 && std::string(argv[2]) == "active");

  char templ[] = "/tmp/quill-bench-XXXXXX";
  const std::string tree = ::mkdtemp(templ);
  std::string block(1024, 'x');
  for (int f = 0; f < kFolders; ++f) {
    fs::create_directories(tree + "/d" + std::to_string(f));
    for (int i = 0; i < kFilesPerFolder; ++i) {
      block[0] = static_cast<char>(i);
      std::ofstream(tree + "/d" + std::to_string(f) + "/f" + std::to_string(i) + ".bin", std::ios::binary) << block;
    }
  }

  std::vector<FtpServerKind> kinds;
  if (which != "pure-ftpd")
    kinds.push_back(FtpServerKind::Pyftpdlib);
  if (which != "pyftpdlib")
    kinds.push_back(FtpServerKind::PureFtpd);

  int rc = 0;
  std::printf("sync run of %d new files of 1 KiB in %d folders, %s mode (connect and compare not timed)\n", kFiles,
              kFolders, passive ? "passive" : "active");
  for (FtpServerKind kind : kinds) {
    FtpServerOptions options;
    options.port = 21;
    FtpServerProcess server(kind, options);
    server.MakeFolder("q");
    bool ours = false;
    bool theirs = false;
    const double q = RunOnce(server, tree, passive, ours);
    const double l = RunLftp(server, tree, passive, theirs);
    const int qFiles = CountFiles(server.Root() + "/q");
    const int lFiles = CountFiles(server.Root() + "/l");
    std::printf("%-10s quillmere %7.2f ms/file (%d stored%s)   lftp mirror -R %7.2f ms/file (%d stored%s)\n",
                server.Name(), q * 1000 / kFiles, qFiles, ours ? "" : ", FAILED", l * 1000 / kFiles, lFiles,
                theirs ? "" : ", FAILED");
    if (!ours || qFiles != kFiles)
      rc = 1;
  }
  fs::remove_all(tree);
  return rc;
}
