#pragma once
// Permission cases as an ordinary user. As root (CI), where permission bits
// never refuse, the body runs in a forked child that drops to nobody;
// otherwise it runs here, already as an ordinary user.

#include <cstdlib>
#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

// True when the body returned true.
inline bool AsOrdinaryUser(const std::function<bool()>& body)
{
  if (::geteuid() != 0)
    return body();
  const pid_t pid = ::fork();
  if (pid < 0)
    return false;
  if (pid == 0) {
    constexpr uid_t kNobody = 65534;
    constexpr gid_t kNogroup = 65534;
    const bool dropped = ::setgroups(0, nullptr) == 0 && ::setresgid(kNogroup, kNogroup, kNogroup) == 0 &&
                         ::setresuid(kNobody, kNobody, kNobody) == 0;
    std::_Exit(dropped && body() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
