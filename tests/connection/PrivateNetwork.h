#pragma once
// The program always connects to port 21, so tests that connect through it
// run in a private network namespace, where 127.0.0.1:21 is theirs alone.
// A test calls RunInPrivateNetwork() first: outside the namespace it runs
// this same test again inside one (bounded in time), reports the child's
// result and returns false; inside it returns true and the test goes on.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Only the value the runner below sets counts: a stray empty one must not
// let a test bind port 21 or change the kernel's settings on the host.
inline bool InPrivateNetwork()
{
  const char* v = std::getenv("QUILL_PRIVATE_NETWORK");
  return v != nullptr && std::string(v) == "1";
}

inline bool PrivateNetworkAvailable()
{
  static const int ok = std::system("unshare -n true >/dev/null 2>&1") == 0 ? 1 : 0;
  return ok == 1;
}

// Returns true when the caller is inside the namespace and should run.
inline bool RunInPrivateNetwork(int timeoutSeconds = 240)
{
  if (InPrivateNetwork())
    return true;
  if (!PrivateNetworkAvailable()) {
    ADD_FAILURE() << "needs a private network namespace (unshare -n, as root)";
    return false;
  }
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) {
    ADD_FAILURE() << "cannot find the test binary";
    return false;
  }
  self[n] = '\0';
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("QUILL_PRIVATE_NETWORK", "1", 1);
    const std::string limit = std::to_string(timeoutSeconds);
    std::vector<std::string> args = {"timeout", "-k", "5", limit, "unshare", "-n", "sh", "-c",
                                     "ip link set lo up && exec \"$0\" \"$1\"", self, filter};
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execvp("timeout", argv.data());
    std::_Exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the test failed inside its private network (status " << status << ")";
  return false;
}

// Inside the namespace: runs ss, which closes the sockets the filter names
// (their peer gets a reset); true when it named one.
inline bool CloseSockets(const std::string& filter)
{
  std::string out;
  if (FILE* p = ::popen(("ss -K -t -n " + filter + " 2>&1").c_str(), "r")) {
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
      out.append(buf, n);
    ::pclose(p);
  }
  return out.find("127.0.0.1:") != std::string::npos;
}

// The port of a passive reply ("227 Entering Passive Mode (h,h,h,h,p,p)").
inline int PassivePort(const std::string& reply)
{
  int f[6] = {};
  const auto open = reply.find('(');
  if (open == std::string::npos ||
      std::sscanf(reply.c_str() + open, "(%d,%d,%d,%d,%d,%d", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]) != 6)
    return -1;
  return f[4] * 256 + f[5];
}

// The last passive reply in a log.
inline std::string LastPassiveReply(const std::string& log)
{
  const auto at = log.rfind("227 ");
  return at == std::string::npos ? std::string() : log.substr(at, log.find('\n', at) - at);
}
