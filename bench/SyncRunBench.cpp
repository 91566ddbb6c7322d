// The per-file cost of a synchronisation run once connected and compared:
// 2,000 new files of 1 KiB in 20 folders, planned, typed and sent one step
// at a time by the run, against a real server on loopback; beside it lftp's
// "mirror -R" of the same files to the same server in the same run.
// The program always connects to port 21, so this runs itself again inside
// a private network namespace (as root).
// Usage: bench_SyncRunBench [pyftpdlib|pure-ftpd|vsftpd|both|all] [active]
#include "HeadlessRun.h"

#include "framework/Events.h"
#include "settings/Globals.h"

using namespace bench;

namespace {
double RunOnce(const FtpServerProcess& server, const std::string& tree, bool passive, bool& ok)
{
  return HeadlessRun(server, tree, "/q", passive, ok);
}
} // namespace

int main(int argc, char** argv)
{
  ReexecInPrivateNetwork(argc, argv);
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
