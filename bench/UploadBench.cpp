// Stores 2,000 files of 1 KiB in 20 folders on one connection, the way a
// synchronisation run does (each step started by the previous one's
// event), and times the same upload by lftp's "mirror -R" on the same
// server. Usage: bench_UploadBench [pyftpdlib|pure-ftpd|vsftpd|both|all] [active]
#include "MirrorBench.h"

#include "ftp/FtpCommandSocket.h"
#include "ftp/FtpDataSocket.h"

#include "framework/Events.h"

#include <filesystem>

using namespace bench;

namespace {

struct Step {
  bool folder;
  std::string local;
  std::string remote;
};

double UploadWithQuillmere(const FtpServerProcess& server, const std::string& tree, bool passive, bool& ok)
{
  FtpCommandSocket command;
  FtpDataSocket data;
  command.Address = server.Host();
  command.Port = server.Port();
  command.userID = server.User();
  command.password = server.Password();
  command.usePASV = passive;
  command.dataPort = &data;

  std::vector<Step> steps;
  for (int f = 0; f < kFolders; ++f) {
    const std::string dir = "q/" + FolderName(f);
    steps.push_back({true, "", dir});
    for (int i = 0; i < kFilesPerFolder; ++i) {
      const std::string name = "/" + FileName(i);
      steps.push_back({false, tree + "/" + FolderName(f) + name, dir + name});
    }
  }
  std::size_t next = 0;
  bool waitingForFolder = false;
  bool failed = false;
  bool finished = false;
  auto advance = [&]() {
    if (next == steps.size()) {
      finished = true;
      return;
    }
    const Step& s = steps[next++];
    if (s.folder) {
      waitingForFolder = true;
      command.makeDirectory(s.remote);
    } else {
      command.storFile(s.local, s.remote, "I");
    }
  };
  bool loggedIn = false;
  command.loggedIn = [&](const std::string&) { loggedIn = true; };
  command.gotResponse = [&](const std::string& line) {
    if (waitingForFolder && line.rfind("257", 0) == 0) {
      waitingForFolder = false;
      advance();
    }
  };
  command.gotServerError = [&](const std::string& reply) {
    std::fprintf(stderr, "server error: %s", reply.c_str());
    failed = true;
  };
  command.Error = [&]() { failed = true; };
  data.Error = [&]() {
    std::fprintf(stderr, "data error %d\n", data.LastErrorCode());
    failed = true;
  };
  data.FileTransferComplete = [&]() { advance(); };

  command.Connect();
  if (!RunEventLoopUntil([&] { return loggedIn || failed; }, 30'000) || failed) {
    ok = false;
    return 0;
  }
  steps.insert(steps.begin(), Step{true, "", "q"});
  // The first step starts from an event, as every later one does.
  const auto start = std::chrono::steady_clock::now();
  PostEvent(advance);
  RunEventLoopUntil([&] { return finished || failed; }, 600'000);
  const double seconds = Seconds(start);
  command.sendQUIT();
  ok = finished && !failed;
  return seconds;
}

} // namespace

int main(int argc, char** argv)
{
  OffscreenRun folders;
  InitFramework(argc, argv);
  const bool passive = Passive(argc, argv);
  const std::string tree = MakeTree();

  int rc = 0;
  std::printf("%d files of 1 KiB in %d folders, %s mode, one connection\n", kFiles, kFolders,
              passive ? "passive" : "active");
  for (FtpServerKind kind : ServerKinds(argc, argv)) {
    FtpServerProcess server(kind);
    if (!Compare(server, tree, passive, UploadWithQuillmere))
      rc = 1;
  }
  fs::remove_all(tree);
  return rc;
}
