#include "AtomicFile.h"

#include "BinaryStream.h"
#include "TextStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

AtomicFile::AtomicFile(const FolderItem& target, unsigned mode) : target_(target), mode_(mode) {}

AtomicFile::~AtomicFile()
{
  binary_.reset();
  text_.reset();
  if (file_)
    std::fclose(file_);
  if (!tempPath_.empty())
    ::unlink(tempPath_.c_str());
}

void AtomicFile::fail(const std::string& what)
{
  if (error_.empty())
    error_ = what + ": " + std::strerror(errno);
}

void AtomicFile::open()
{
  if (opened_)
    return;
  opened_ = true;
  const std::string base = target_.Parent().NativePath();
  std::string templ = (base == "/" ? "" : base) + "/." + target_.Name() + ".tmp-XXXXXX";
  std::vector<char> name(templ.begin(), templ.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    fail("cannot create a temporary file");
    return;
  }
  tempPath_ = name.data();
  if (::fchmod(fd, static_cast<mode_t>(mode_)) != 0) {
    fail("cannot set the file mode");
    ::close(fd);
    return;
  }
  file_ = fdopen(fd, "wb");
  if (!file_) {
    fail("cannot open the temporary file");
    ::close(fd);
  }
}

BinaryStream* AtomicFile::Binary()
{
  open();
  if (!binary_ && file_ && !text_) {
    binary_ = std::make_unique<BinaryStream>(file_);
    file_ = nullptr;
  }
  return binary_.get();
}

TextOutputStream* AtomicFile::Text()
{
  open();
  if (!text_ && file_ && !binary_) {
    text_ = std::make_unique<TextOutputStream>(file_);
    file_ = nullptr;
  }
  return text_.get();
}

bool AtomicFile::Commit()
{
  open();
  if (!binary_ && !text_ && file_) // nothing was written: an empty file
    Binary();
  bool ok = error_.empty();
  if (ok) {
    errno = EIO;
    const bool flushed = binary_ ? binary_->Flush() : text_ ? text_->Flush() : false;
    const bool closed = binary_ ? binary_->Close() : text_ ? text_->Close() : false;
    if (!flushed || !closed) {
      fail("cannot write the file");
      ok = false;
    }
  }
  if (ok && ::rename(tempPath_.c_str(), target_.NativePath().c_str()) != 0) {
    fail("cannot replace the file");
    ok = false;
  }
  if (!tempPath_.empty() && !ok)
    ::unlink(tempPath_.c_str());
  tempPath_.clear();
  if (!ok)
    return false;
  // Make the rename itself durable.
  const std::string folder = target_.Parent().NativePath();
  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}
