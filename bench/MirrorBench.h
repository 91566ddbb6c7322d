// What the two upload benchmarks share: the tree of 2,000 files of 1 KiB in
// 20 folders, lftp's "mirror -R" of it, and the line that sets both side by side.
#pragma once

#include "FtpServers.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace bench {
namespace fs = std::filesystem;

constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 100;
constexpr int kFiles = kFolders * kFilesPerFolder;

// Offscreen Qt with private runtime and settings folders, removed at the end.
struct OffscreenRun {
  std::string runtime = Temp("runtime");
  std::string config = Temp("cfg");

  OffscreenRun()
  {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  ~OffscreenRun()
  {
    fs::remove_all(runtime);
    fs::remove_all(config);
  }

  static std::string Temp(const std::string& what)
  {
    std::string templ = "/tmp/quill-bench-" + what + "-XXXXXX";
    return ::mkdtemp(templ.data()); // made mode 0700
  }
};

inline std::string FolderName(int f) { return "d" + std::to_string(f); }
inline std::string FileName(int i) { return "f" + std::to_string(i) + ".bin"; }

// A fresh temporary folder holding folders folders of files files of 1 KiB
// each, and in each of them sub sub-folders of as many files; the caller
// removes it.
inline std::string MakeTree(int folders = kFolders, int files = kFilesPerFolder, int sub = 0)
{
  const std::string tree = OffscreenRun::Temp("tree");
  std::string block(1024, 'x');
  auto fill = [&](const std::string& dir) {
    fs::create_directories(dir);
    for (int i = 0; i < files; ++i) {
      block[0] = static_cast<char>(i);
      std::ofstream(dir + "/" + FileName(i), std::ios::binary) << block;
    }
  };
  for (int f = 0; f < folders; ++f) {
    fill(tree + "/" + FolderName(f));
    for (int s = 0; s < sub; ++s)
      fill(tree + "/" + FolderName(f) + "/" + FolderName(s));
  }
  return tree;
}

inline int CountFiles(const std::string& dir)
{
  int n = 0;
  if (fs::exists(dir))
    for (const auto& e : fs::recursive_directory_iterator(dir))
      n += e.is_regular_file() && e.file_size() == 1024;
  return n;
}

inline double Seconds(std::chrono::steady_clock::time_point start)
{
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds lftp takes for commands on the server; ok when it succeeded.
inline double RunLftpCommands(const FtpServerProcess& server, bool passive, const std::string& commands, bool& ok)
{
  const std::string cmd = "lftp -u '" + server.User() + "," + server.Password() + "' -p " +
                          std::to_string(server.Port()) + " " + server.Host() + " -e 'set ftp:passive-mode " +
                          (passive ? "on" : "off") + "; set net:max-retries 1; " + commands +
                          "; quit' >/dev/null 2>&1";
  const auto start = std::chrono::steady_clock::now();
  ok = std::system(cmd.c_str()) == 0;
  return Seconds(start);
}

// Commands lftp sends for commands on the server, counted in its debug
// output (a line "---> VERB ..." for each); -1 when it failed. Not timed:
// the debug output costs time.
inline int LftpCommandsSent(const FtpServerProcess& server, bool passive, const std::string& commands)
{
  const std::string dir = OffscreenRun::Temp("lftp-debug");
  const std::string file = dir + "/debug.txt";
  bool ok = false;
  RunLftpCommands(server, passive, "debug -o " + file + " 5; " + commands, ok);
  int sent = 0;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);)
    sent += line.rfind("---> ", 0) == 0;
  fs::remove_all(dir);
  return ok ? sent : -1;
}

// lftp mirrors the tree into the server's folder "l".
inline double RunLftp(const FtpServerProcess& server, const std::string& tree, bool passive, bool& ok)
{
  return RunLftpCommands(server, passive, "mirror -R " + tree + " l", ok);
}

// The servers named on the command line: pyftpdlib, pure-ftpd, vsftpd,
// both (the first two) or all.
inline std::vector<FtpServerKind> ServerKinds(int argc, char** argv)
{
  const std::string which = argc > 1 ? argv[1] : "both";
  std::vector<FtpServerKind> kinds;
  if (which == "pyftpdlib" || which == "both" || which == "all")
    kinds.push_back(FtpServerKind::Pyftpdlib);
  if (which == "pure-ftpd" || which == "both" || which == "all")
    kinds.push_back(FtpServerKind::PureFtpd);
  if (which == "vsftpd" || which == "all")
    kinds.push_back(FtpServerKind::Vsftpd);
  return kinds;
}

inline bool Passive(int argc, char** argv) { return !(argc > 2 && std::string(argv[2]) == "active"); }

// Times ours (into the server's folder "q") and lftp's on one server, prints
// both; false when ours did not store every file.
template <class Ours>
bool Compare(const FtpServerProcess& server, const std::string& tree, bool passive, Ours ours)
{
  bool ourOk = false;
  bool theirOk = false;
  const double q = ours(server, tree, passive, ourOk);
  const double l = RunLftp(server, tree, passive, theirOk);
  const int qFiles = CountFiles(server.Root() + "/q");
  const int lFiles = CountFiles(server.Root() + "/l");
  std::printf("%-10s quillmere %7.2f ms/file (%d stored%s)   lftp mirror -R %7.2f ms/file (%d stored%s)\n",
              server.Name(), q * 1000 / kFiles, qFiles, ourOk ? "" : ", FAILED", l * 1000 / kFiles, lFiles,
              theirOk ? "" : ", FAILED");
  return ourOk && qFiles == kFiles;
}
} // namespace bench
