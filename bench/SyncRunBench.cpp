// The per-file cost of a synchronisation run once connected and compared:
// 2,000 new files of 1 KiB in 20 folders, planned, typed and sent one step
// at a time by the run, against a real server on loopback; beside it lftp's
// "mirror -R" of the same files to the same server in the same run.
// The program always connects to port 21, so this runs itself again inside
// a private network namespace (as root).
// Usage: bench_SyncRunBench [pyftpdlib|pure-ftpd|both] [active]
#include "../tests/connection/HeadlessConnection.h"

#include "MirrorBench.h"

#include "framework/Events.h"
#include "framework/Modal.h"
#include "settings/Globals.h"

#include <unistd.h>

using namespace bench;

namespace {

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
  if (!PumpUntil([&] { return conn.CompareDone(); }, 120)) {
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
  ok = PumpUntil([&] { return notices > 0 || !conn.SyncRunning(); }, 600) && notices == 1;
  const double seconds = Seconds(start);
  SetModalResponder({});
  conn.CloseConnection();
  PumpUntil([&] { return !conn.commandSocket.IsOpen(); }, 5);
  return seconds;
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
  OffscreenRun folders;
  InitFramework(argc, argv);
  InitPref();
  gPref[PrefConfirmSync] = 0;
  gPref[PrefBeepOnCaution] = 0;
  gFileType = {{"bin", "I"}};
  const bool passive = Passive(argc, argv);
  const std::string tree = MakeTree();

  int rc = 0;
  std::printf("sync run of %d new files of 1 KiB in %d folders, %s mode (connect and compare not timed)\n", kFiles,
              kFolders, passive ? "passive" : "active");
  for (FtpServerKind kind : ServerKinds(argc, argv)) {
    FtpServerOptions options;
    options.port = 21;
    FtpServerProcess server(kind, options);
    server.MakeFolder("q");
    if (!Compare(server, tree, passive, RunOnce))
      rc = 1;
  }
  fs::remove_all(tree);
  return rc;
}
