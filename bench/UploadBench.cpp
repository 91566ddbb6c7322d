// Stores 2,000 files of 1 KiB in 20 folders on one connection, the way a
// synchronisation run does (each step started by the previous one's
// event), and times the same upload by lftp's "mirror -R" on the same
// server. Usage: bench_UploadBench [pyftpdlib|pure-ftpd|both] [active]
#include "FtpServers.h"

#include "ftp/FtpCommandSocket.h"
#include "ftp/FtpDataSocket.h"

#include "framework/Events.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 100;
constexpr int kFiles = kFolders * kFilesPerFolder;

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
    const std::string dir = "q/d" + std::to_string(f);
    steps.push_back({true, "", dir});
    for (int i = 0; i < kFilesPerFolder; ++i) {
      const std::string name = "/f" + std::to_string(i) + ".bin";
      steps.push_back({false, tree + "/d" + std::to_string(f) + name, dir + name});
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
  while (!loggedIn && !failed)
    ProcessPendingEvents(50);
  waitingForFolder = true;
  command.makeDirectory("q");
  steps.insert(steps.begin(), Step{true, "", "q"});
  next = 1;
  const auto start = std::chrono::steady_clock::now();
  while (!finished && !failed)
    ProcessPendingEvents(50);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  command.sendQUIT();
  ok = finished && !failed;
  return seconds;
}

double UploadWithLftp(const FtpServerProcess& server, const std::string& tree, bool passive, bool& ok)
{
  const std::string cmd = "lftp -u '" + server.User() + "," + server.Password() + "' -p " +
                          std::to_string(server.Port()) + " " + server.Host() + " -e 'set ftp:passive-mode " +
                          (passive ? "on" : "off") + "; set net:max-retries 1; mirror -R " + tree +
                          " l; quit' >/dev/null 2>&1";
  const auto start = std::chrono::steady_clock::now();
  ok = std::system(cmd.c_str()) == 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int CountFiles(const std::string& dir)
{
  int n = 0;
  if (fs::exists(dir))
    for (const auto& e : fs::recursive_directory_iterator(dir))
      n += e.is_regular_file() && e.file_size() == 1024;
  return n;
}
} // namespace

int main(int argc, char** argv)
{
  if (!std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char runtimeTemplate[] = "/tmp/quill-bench-runtime-XXXXXX";
  const std::string runtime = ::mkdtemp(runtimeTemplate); // made mode 0700
  if (!std::getenv("XDG_RUNTIME_DIR"))
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  InitFramework(argc, argv);
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
  std::printf("%d files of 1 KiB in %d folders, %s mode, one connection\n", kFiles, kFolders,
              passive ? "passive" : "active");
  for (FtpServerKind kind : kinds) {
    FtpServerProcess server(kind);
    bool ours = false;
    bool theirs = false;
    const double q = UploadWithQuillmere(server, tree, passive, ours);
    const double l = UploadWithLftp(server, tree, passive, theirs);
    const int qFiles = CountFiles(server.Root() + "/q");
    const int lFiles = CountFiles(server.Root() + "/l");
    std::printf("%-10s quillmere %7.2f ms/file (%d stored%s)   lftp mirror -R %7.2f ms/file (%d stored%s)\n",
                server.Name(), q * 1000 / kFiles, qFiles, ours ? "" : ", FAILED", l * 1000 / kFiles, lFiles,
                theirs ? "" : ", FAILED");
    if (!ours || qFiles != kFiles)
      rc = 1;
  }
  fs::remove_all(tree);
  fs::remove_all(runtime);
  return rc;
}
