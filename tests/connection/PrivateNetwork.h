#pragma once
// The program always connects to port 21, so tests that connect through it
// run in a private network namespace, where 127.0.0.1:21 is theirs alone.
// A test calls RunInPrivateNetwork() first: outside the namespace it runs
// this same test again inside one (bounded in time), reports the child's
// result and returns false; inside it returns true and the test goes on.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

inline bool InPrivateNetwork()
{
  return std::getenv("QUILL_PRIVATE_NETWORK") != nullptr;
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
