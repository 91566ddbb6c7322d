#pragma once
// Writes a file so that the old one is never destroyed: the bytes go to a
// temporary file in the same folder, which replaces the target only after
// everything was written, flushed and synced. Dropped without Commit, the
// temporary file is removed and the target stays as it was.

#include "framework/FolderItem.h"

#include <memory>
#include <string>

class BinaryStream;
class TextOutputStream;

class AtomicFile {
public:
  explicit AtomicFile(const FolderItem& target, unsigned mode = 0600);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // The stream to write to; nullptr when the temporary file could not be
  // created (Error() says why). Use one of the two.
  BinaryStream* Binary();
  TextOutputStream* Text();

  // Flushes, syncs and renames over the target. False when anything failed
  // on the way; the target is then unchanged.
  bool Commit();

  // The system's reason for the first failure, in English.
  const std::string& Error() const { return error_; }

private:
  void open();
  void fail(const std::string& what);

  FolderItem target_;
  unsigned mode_;
  std::string tempPath_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<BinaryStream> binary_;
  std::unique_ptr<TextOutputStream> text_;
  std::string error_;
  bool opened_ = false;
};
