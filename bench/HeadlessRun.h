// What the benchmarks that connect through the program share: it always
// connects to port 21, so they run themselves again inside a private network
// namespace (as root); and the run without the window, for comparison.
#pragma once

#include "../tests/connection/HeadlessConnection.h"

#include "MirrorBench.h"

#include "framework/Events.h"
#include "framework/Modal.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace bench {

// Outside the namespace: runs this program again inside one, never
// returning (exit 2 when that cannot be done). Inside: returns at once.
inline void ReexecInPrivateNetwork(int argc, char** argv)
{
  if (std::getenv("QUILL_PRIVATE_NETWORK"))
    return;
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0)
    std::exit(2);
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
  std::exit(2);
}

// Connects and compares without the window, then times the run alone into
// the server's folder remote, started from an event as a click starts it;
// ok when it ended with its notice. The loop sleeps between events, as the
// program's does.
inline double HeadlessRun(const FtpServerProcess& server, const std::string& tree, const std::string& remote,
                          bool passive, bool& ok)
{
  HeadlessConnection conn;
  conn.user = server.User();
  conn.password = server.Password();
  conn.remoteFolder = remote;
  conn.passive = passive;
  conn.localFolder = GetFolderItem(tree);
  conn.MakeConnection();
  if (!RunEventLoopUntil([&] { return conn.CompareDone(); }, 120'000)) {
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
  bool started = false;
  const auto start = std::chrono::steady_clock::now();
  PostEvent([&] {
    started = true;
    conn.SyncUpload();
  });
  ok = RunEventLoopUntil([&] { return started && (notices > 0 || !conn.SyncRunning()); }, 600'000) && notices == 1;
  const double seconds = Seconds(start);
  SetModalResponder({});
  conn.CloseConnection();
  RunEventLoopUntil([&] { return !conn.commandSocket.IsOpen(); }, 5'000);
  return seconds;
}

} // namespace bench
