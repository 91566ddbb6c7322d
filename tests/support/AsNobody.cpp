#include "AsNobody.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <QThreadPool>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

pid_t ForkForWindows()
{
  QThreadPool::globalInstance()->waitForDone(); // ends its threads too
  std::fflush(nullptr);                          // nothing buffered is written twice
  return ::fork();
}

bool RunAsNobody(const std::function<void()>& body)
{
  // Settings and runtime folders of the child's own, as a user has them.
  TempDir home;
  const std::string config = home / "config";
  const std::string runtime = home / "runtime";
  for (const std::string& dir : {home.Path(), config, runtime}) {
    ::mkdir(dir.c_str(), 0700);
    if (::geteuid() == 0 && ::chown(dir.c_str(), kNobody, kNogroup) != 0) {
      ADD_FAILURE() << "chown " << dir << ": " << std::strerror(errno);
      return false;
    }
  }
  const pid_t pid = ForkForWindows();
  if (pid < 0) {
    ADD_FAILURE() << "fork: " << std::strerror(errno);
    return false;
  }
  if (pid == 0) {
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(kNogroup, kNogroup, kNogroup) != 0 ||
                             ::setresuid(kNobody, kNobody, kNobody) != 0)) {
      std::fprintf(stderr, "cannot become nobody: %s\n", std::strerror(errno));
      std::_Exit(2);
    }
    try {
      body();
    } catch (const std::exception& e) {
      ADD_FAILURE() << "exception as nobody: " << e.what();
    } catch (...) {
      ADD_FAILURE() << "exception as nobody"; // never back into the parent's test
    }
    std::fflush(nullptr);
    // No destructor of the parent's objects runs here: servers, folders and
    // windows stay the parent's to end.
    std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  EXPECT_TRUE(ok) << "the part run as nobody failed (wait status " << status << ")";
  return ok;
}
