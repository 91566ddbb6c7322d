#include "BinaryStream.h"
#include "StdioFile.h"

#include <sys/stat.h>

#include <algorithm>

BinaryStream::BinaryStream(std::FILE* file) : file_(file) {}

BinaryStream::~BinaryStream()
{
  Close();
}

std::int32_t BinaryStream::ReadInt32()
{
  const std::string bytes = Read(4);
  if (bytes.size() < 4)
    return 0;
  std::uint32_t v = 0;
  for (unsigned char c : bytes)
    v = (v << 8) | c;
  return static_cast<std::int32_t>(v);
}

void BinaryStream::WriteInt32(std::int32_t value)
{
  const auto v = static_cast<std::uint32_t>(value);
  const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                         static_cast<char>(v >> 8), static_cast<char>(v)};
  Write(std::string(bytes, 4));
}

std::string BinaryStream::ReadPString()
{
  const std::string len = Read(1);
  if (len.empty())
    return {};
  return Read(static_cast<unsigned char>(len[0]));
}

std::size_t Utf8PrefixLength(const std::string& text, std::size_t maxBytes)
{
  if (text.size() <= maxBytes)
    return text.size();
  std::size_t n = maxBytes;
  // Back off while the first byte left out continues a character.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
    --n;
  return n;
}

void BinaryStream::WritePString(const std::string& text)
{
  const std::size_t n = Utf8PrefixLength(text, 255);
  Write(std::string(1, static_cast<char>(n)));
  Write(text.substr(0, n));
}

std::string BinaryStream::ReadLongString()
{
  const std::int32_t len = ReadInt32();
  if (shortRead_)
    return {};
  if (len < 0) {
    shortRead_ = true;
    return {};
  }
  const std::int64_t left = Length() - Position();
  if (left >= 0 && len > left) {
    shortRead_ = true;
    return {};
  }
  return Read(static_cast<std::size_t>(len));
}

void BinaryStream::WriteLongString(const std::string& text)
{
  WriteInt32(static_cast<std::int32_t>(std::min<std::size_t>(text.size(), 0x7fffffff)));
  Write(text.substr(0, std::min<std::size_t>(text.size(), 0x7fffffff)));
}

std::string BinaryStream::Read(std::size_t count)
{
  std::string out;
  if (!file_) {
    if (count > 0)
      shortRead_ = true;
    return out;
  }
  // Never allocate from a length the file cannot hold: read in pieces.
  constexpr std::size_t piece = 64 * 1024;
  while (out.size() < count) {
    const std::size_t want = std::min(piece, count - out.size());
    const std::size_t old = out.size();
    out.resize(old + want);
    const std::size_t got = std::fread(out.data() + old, 1, want, file_);
    out.resize(old + got);
    if (got < want) {
      shortRead_ = true;
      break;
    }
  }
  return out;
}

void BinaryStream::Write(const std::string& bytes)
{
  if (file_)
    wrote_ = true;
  WriteBytes(file_, bytes, writeFailed_);
}

bool BinaryStream::EOF() const
{
  if (!file_)
    return true;
  const int c = std::fgetc(file_);
  if (c == -1)
    return true;
  std::ungetc(c, file_);
  return false;
}

bool BinaryStream::ReadError() const
{
  return file_ && std::ferror(file_) != 0;
}

std::int64_t BinaryStream::Length() const
{
  if (!file_)
    return 0;
  if (wrote_)
    std::fflush(file_);
  struct stat st {};
  if (fstat(fileno(file_), &st) != 0)
    return 0;
  return static_cast<std::int64_t>(st.st_size);
}

namespace {
BinaryStream::Stamp StampOf(const struct stat& st)
{
  BinaryStream::Stamp stamp;
  stamp.device = static_cast<std::uint64_t>(st.st_dev);
  stamp.inode = static_cast<std::uint64_t>(st.st_ino);
  stamp.size = static_cast<std::int64_t>(st.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  return stamp;
}
} // namespace

BinaryStream::Stamp BinaryStream::FileStamp() const
{
  struct stat st {};
  if (!file_ || fstat(fileno(file_), &st) != 0)
    return {};
  return StampOf(st);
}

BinaryStream::Stamp BinaryStream::PathStamp(const std::string& path)
{
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    return {};
  return StampOf(st);
}

std::int64_t BinaryStream::Position() const
{
  if (!file_)
    return 0;
  return static_cast<std::int64_t>(ftello(file_));
}

bool BinaryStream::Flush()
{
  return FlushToDisk(file_, writeFailed_);
}

bool BinaryStream::Close()
{
  return CloseFile(file_, writeFailed_);
}
