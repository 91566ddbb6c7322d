#include "NoLinkFileSystem.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
bool noLinks = false;
} // namespace

NoLinkFileSystem::NoLinkFileSystem()
{
  noLinks = true;
}

NoLinkFileSystem::~NoLinkFileSystem()
{
  noLinks = false;
}

// These stand in for the C library's in this program; otherwise they do
// what it does.
extern "C" int link(const char* from, const char* to) noexcept
{
  if (noLinks) {
    errno = EPERM;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_linkat, AT_FDCWD, from, AT_FDCWD, to, 0));
}

extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) noexcept
{
  if (noLinks) {
    errno = EPERM;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_linkat, fromFolder, from, toFolder, to, flags));
}

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) noexcept
{
  if (noLinks && (flags & RENAME_NOREPLACE) != 0) {
    errno = EINVAL;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_renameat2, fromFolder, from, toFolder, to, flags));
}
