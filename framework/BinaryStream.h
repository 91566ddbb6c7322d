#pragma once
// A binary file stream. Int32 values are big-endian on disk. A read that
// comes up short sets ShortRead() and returns what it got (0 for numbers).

#include <cstdint>
#include <cstdio>
#include <string>

// The streams offer EOF() as the program names it; the C macro of that name
// would turn the method into (-1)(). Compare getc results with -1 instead.
#undef EOF

class BinaryStream {
public:
  explicit BinaryStream(std::FILE* file);
  ~BinaryStream();
  BinaryStream(const BinaryStream&) = delete;
  BinaryStream& operator=(const BinaryStream&) = delete;

  std::int32_t ReadInt32();
  void WriteInt32(std::int32_t value);

  // String with a one-byte length (at most 255 bytes; longer is cut at a
  // UTF-8 character boundary by the writer).
  std::string ReadPString();
  void WritePString(const std::string& text);

  // String with a four-byte length; a length beyond the bytes left is a
  // short read and allocates nothing.
  std::string ReadLongString();
  void WriteLongString(const std::string& text);

  std::string Read(std::size_t count);
  void Write(const std::string& bytes);

  bool EOF() const;
  bool ShortRead() const { return shortRead_; }
  // A read failed on the system's side (an I/O error), not at the end.
  bool ReadError() const;
  bool WriteFailed() const { return writeFailed_; }
  std::int64_t Length() const;
  std::int64_t Position() const;

  // Which file is open, with its size and modification time as the system
  // has them now: two stamps differ when the file was written in between.
  struct Stamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t modifiedNs = -1;
    bool operator==(const Stamp&) const = default;
  };
  Stamp FileStamp() const;
  // The same for the file a path names now (links followed); an empty
  // stamp when there is none.
  static Stamp PathStamp(const std::string& path);

  // Flushes to disk; false when anything failed.
  bool Flush();
  bool Close();

private:
  std::FILE* file_;
  bool shortRead_ = false;
  bool writeFailed_ = false;
  bool wrote_ = false;
};

// The length of the longest prefix of text that fits in maxBytes without
// cutting a UTF-8 character.
std::size_t Utf8PrefixLength(const std::string& text, std::size_t maxBytes);
