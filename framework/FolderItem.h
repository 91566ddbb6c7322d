#pragma once
// A file or folder on the local disk, named by a cleaned absolute POSIX path
// (no "//", "." or ".."; links are not resolved). A folder's AbsolutePath ends
// in exactly one "/".

#include "framework/Date.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class BinaryStream;
class TextInputStream;
class TextOutputStream;

class FolderItem {
public:
  explicit FolderItem(std::string path);

  // $XDG_CONFIG_HOME, else ~/.config.
  static FolderItem PreferencesFolder();

  FolderItem Child(const std::string& name) const;
  FolderItem Parent() const;

  // Exists, Directory, Length and ModificationDate follow symbolic links, so
  // a broken link does not exist.
  bool Exists() const;
  bool Directory() const;
  // A regular file or a folder (after following links); false for pipes,
  // sockets, devices, broken links and missing entries, which a folder walk
  // skips.
  bool IsFileOrFolder() const;
  bool IsLink() const;             // the entry itself is a symbolic link
  bool Visible() const;            // names beginning with "." are invisible
  std::string Name() const;
  std::string AbsolutePath() const;
  std::string NativePath() const;  // the cleaned path without a trailing "/"
  std::int64_t Length() const;     // bytes; 0 for a folder or a missing file
  Date ModificationDate() const;

  // Folder content, counted from 1 like the rest of the framework; entries
  // are taken afresh by Count() (so Item(i) is stable between two Counts),
  // sorted by name byte for byte, without "." and "..". Item(i) outside
  // 1..Count() throws std::out_of_range.
  int Count() const;
  FolderItem Item(int index) const;

  // Creates this folder with exactly the given mode. Returns false when it
  // cannot (also when something already stands there).
  bool CreateAsFolder(unsigned mode = 0755) const;
  // The same for each folder missing on the path down to this one. Nothing
  // is made at a link's target or beside anything else in the way: false
  // then, with why set to the system's reason (naming the link or entry).
  bool CreateAsFolderPath(unsigned mode, std::string& why) const;
  // The user may make and remove entries in this folder (write and search
  // permission, a file system not read-only); errno says why not.
  bool Writable() const;
  // What a symbolic link points to; empty for any other entry.
  std::string LinkTarget() const;

  // Streams; nullptr when the file cannot be opened or created. Create*
  // replaces an existing file in place; settings use AtomicFile instead.
  std::unique_ptr<BinaryStream> CreateBinaryFile(unsigned mode = 0644) const;
  std::unique_ptr<BinaryStream> OpenAsBinaryFile(bool readWrite = false) const;
  std::unique_ptr<TextOutputStream> CreateTextFile(unsigned mode = 0644) const;
  // Like CreateTextFile, but nullptr when anything already stands there.
  std::unique_ptr<TextOutputStream> CreateNewTextFile(unsigned mode = 0644) const;
  std::unique_ptr<TextInputStream> OpenAsTextFile() const;

  bool Delete() const;
  // Renames this entry to target (same file system), replacing a file there.
  bool MoveTo(const FolderItem& target) const;
  // Copies this file's bytes to a new file target, synced to the disk with
  // its folder entry; false, with errno set, when anything stands at target
  // (EEXIST) or the copy fails, and a part copied is removed. Needs neither
  // hard links nor an exclusive rename of the file system.
  bool CopyToNew(const FolderItem& target, unsigned mode) const;

  // Mac file type and creator codes are not kept here; these do nothing.
  void SetMacType(const std::string&) const {}
  void SetMacCreator(const std::string&) const {}

private:
  std::string path_; // cleaned; "/" for the root, else without a trailing "/"
  mutable std::shared_ptr<std::vector<std::string>> entries_;
};

// Resolves an absolute path (cleaned as above); relative paths are taken
// from the current folder.
FolderItem GetFolderItem(const std::string& path);

// The cleaned absolute form of path, without a trailing "/" (except "/").
std::string CleanPath(const std::string& path);
