#include "FolderItem.h"

#include "BinaryStream.h"
#include "TextStream.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {
std::string currentFolder()
{
  std::string buf(4096, '\0');
  while (!getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE)
      return "/";
    buf.resize(buf.size() * 2);
  }
  return buf.c_str();
}

bool statFollow(const std::string& path, struct stat& st)
{
  return ::stat(path.c_str(), &st) == 0;
}

std::FILE* openWith(const std::string& path, int flags, unsigned mode, const char* fmode)
{
  // Without O_NONBLOCK, opening a pipe waits for its other end for ever.
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, static_cast<mode_t>(mode));
  if (fd < 0)
    return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd); // pipes, devices and sockets are no files to read or write
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = fdopen(fd, fmode);
  if (!f)
    ::close(fd);
  return f;
}
} // namespace

std::string CleanPath(const std::string& path)
{
  const std::string full = (!path.empty() && path[0] == '/') ? path : currentFolder() + "/" + path;
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i <= full.size()) {
    const std::size_t slash = full.find('/', i);
    const std::size_t end = slash == std::string::npos ? full.size() : slash;
    const std::string part = full.substr(i, end - i);
    if (part == "..") {
      if (!parts.empty())
        parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = end + 1;
  }
  if (parts.empty())
    return "/";
  std::string out;
  for (const auto& p : parts)
    out += "/" + p;
  return out;
}

FolderItem::FolderItem(std::string path) : path_(CleanPath(path)) {}

FolderItem GetFolderItem(const std::string& path)
{
  return FolderItem(path);
}

FolderItem FolderItem::PreferencesFolder()
{
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/')
    return FolderItem(xdg);
  const char* home = std::getenv("HOME");
  std::string h = home && home[0] ? home : "";
  if (h.empty()) {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
      h = pw->pw_dir;
  }
  if (h.empty())
    h = "/tmp";
  return FolderItem(h + "/.config");
}

FolderItem FolderItem::Child(const std::string& name) const
{
  return FolderItem(path_ == "/" ? "/" + name : path_ + "/" + name);
}

FolderItem FolderItem::Parent() const
{
  return FolderItem(path_ + "/..");
}

bool FolderItem::Exists() const
{
  struct stat st {};
  return statFollow(path_, st);
}

bool FolderItem::Directory() const
{
  struct stat st {};
  return statFollow(path_, st) && S_ISDIR(st.st_mode);
}

bool FolderItem::IsFileOrFolder() const
{
  struct stat st {};
  return statFollow(path_, st) && (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode));
}

bool FolderItem::IsLink() const
{
  struct stat st {};
  return ::lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool FolderItem::Visible() const
{
  const std::string name = Name();
  return name.empty() || name[0] != '.';
}

std::string FolderItem::Name() const
{
  if (path_ == "/")
    return {};
  return path_.substr(path_.rfind('/') + 1);
}

std::string FolderItem::AbsolutePath() const
{
  if (path_ == "/")
    return path_;
  return Directory() ? path_ + "/" : path_;
}

std::string FolderItem::NativePath() const
{
  return path_;
}

std::int64_t FolderItem::Length() const
{
  struct stat st {};
  if (!statFollow(path_, st) || !S_ISREG(st.st_mode))
    return 0;
  return static_cast<std::int64_t>(st.st_size);
}

Date FolderItem::ModificationDate() const
{
  struct stat st {};
  if (!statFollow(path_, st))
    return Date::FromSeconds(0);
  return Date::FromSeconds(static_cast<std::int64_t>(st.st_mtim.tv_sec));
}

int FolderItem::Count() const
{
  auto names = std::make_shared<std::vector<std::string>>();
  if (DIR* dir = ::opendir(path_.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..")
        names->push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names->begin(), names->end());
  entries_ = names;
  return static_cast<int>(names->size());
}

FolderItem FolderItem::Item(int index) const
{
  if (!entries_)
    Count();
  if (index < 1 || static_cast<std::size_t>(index) > entries_->size())
    throw std::out_of_range("folder entry " + std::to_string(index) + " of " + path_);
  return Child((*entries_)[static_cast<std::size_t>(index) - 1]);
}

bool FolderItem::CreateAsFolder(unsigned mode) const
{
  if (::mkdir(path_.c_str(), static_cast<mode_t>(mode)) != 0)
    return false;
  ::chmod(path_.c_str(), static_cast<mode_t>(mode)); // past the umask
  return true;
}

bool FolderItem::CreateAsFolderPath(unsigned mode, std::string& why) const
{
  why.clear();
  std::size_t end = 0;
  while (end != std::string::npos) {
    end = path_.find('/', end + 1);
    const std::string part = path_.substr(0, end);
    struct stat st {};
    if (::lstat(part.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode))
        continue;
      struct stat to {};
      const bool reached = ::stat(part.c_str(), &to) == 0;
      if (reached && S_ISDIR(to.st_mode))
        continue; // a link to a folder that is there
      const char* reason = std::strerror(reached ? ENOTDIR : errno);
      why = S_ISLNK(st.st_mode) ? "\"" + part + "\" is a link to \"" + FolderItem(part).LinkTarget() + "\": " + reason
                                : "\"" + part + "\": " + reason;
      return false;
    }
    if (errno != ENOENT || !FolderItem(part).CreateAsFolder(mode)) {
      why = std::strerror(errno);
      return false;
    }
  }
  return true;
}

bool FolderItem::Writable() const
{
  return ::faccessat(AT_FDCWD, path_.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string FolderItem::LinkTarget() const
{
  std::string target(4096, '\0');
  const ssize_t n = ::readlink(path_.c_str(), target.data(), target.size());
  return n > 0 ? target.substr(0, static_cast<std::size_t>(n)) : std::string();
}

std::unique_ptr<BinaryStream> FolderItem::CreateBinaryFile(unsigned mode) const
{
  std::FILE* f = openWith(path_, O_WRONLY | O_CREAT | O_TRUNC, mode, "wb");
  return f ? std::make_unique<BinaryStream>(f) : nullptr;
}

std::unique_ptr<BinaryStream> FolderItem::OpenAsBinaryFile(bool readWrite) const
{
  if (Directory())
    return nullptr;
  std::FILE* f = openWith(path_, readWrite ? O_RDWR : O_RDONLY, 0, readWrite ? "r+b" : "rb");
  return f ? std::make_unique<BinaryStream>(f) : nullptr;
}

std::unique_ptr<TextOutputStream> FolderItem::CreateTextFile(unsigned mode) const
{
  std::FILE* f = openWith(path_, O_WRONLY | O_CREAT | O_TRUNC, mode, "wb");
  return f ? std::make_unique<TextOutputStream>(f) : nullptr;
}

std::unique_ptr<TextOutputStream> FolderItem::CreateNewTextFile(unsigned mode) const
{
  std::FILE* f = openWith(path_, O_WRONLY | O_CREAT | O_EXCL, mode, "wb");
  return f ? std::make_unique<TextOutputStream>(f) : nullptr;
}

std::unique_ptr<TextInputStream> FolderItem::OpenAsTextFile() const
{
  if (Directory())
    return nullptr;
  std::FILE* f = openWith(path_, O_RDONLY, 0, "rb");
  return f ? std::make_unique<TextInputStream>(f) : nullptr;
}

bool FolderItem::Delete() const
{
  struct stat st {};
  if (::lstat(path_.c_str(), &st) != 0)
    return false;
  return (S_ISDIR(st.st_mode) ? ::rmdir(path_.c_str()) : ::unlink(path_.c_str())) == 0;
}

bool FolderItem::MoveTo(const FolderItem& target) const
{
  return ::rename(path_.c_str(), target.path_.c_str()) == 0;
}

bool FolderItem::CopyToNew(const FolderItem& target, unsigned mode) const
{
  const int in = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0)
    return false;
  struct stat st {};
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    errno = EINVAL;
    return false;
  }
  const int out = ::open(target.path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
  if (out < 0) {
    const int error = errno;
    ::close(in);
    errno = error;
    return false;
  }
  ::fchmod(out, static_cast<mode_t>(mode)); // past the umask
  bool ok = true;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = ::write(out, buf + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR)
        continue;
      ok = w > 0;
      done += w > 0 ? w : 0;
    }
    if (!ok)
      break;
  }
  ok = ok && ::fsync(out) == 0;
  int error = ok ? 0 : errno;
  if (::close(out) != 0 && ok) {
    ok = false;
    error = errno;
  }
  ::close(in);
  if (!ok) {
    ::unlink(target.path_.c_str());
    errno = error != 0 ? error : EIO;
    return false;
  }
  // The new name lasts too, before anything relies on the copy.
  const int dir = ::open(target.Parent().path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}
