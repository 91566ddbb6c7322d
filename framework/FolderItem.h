#pragma once
// A file or folder on the local disk, named by a cleaned absolute POSIX path
// (no "//", "." or ".."; links are not resolved). A folder's AbsolutePath ends
// in exactly one "/".

#include "framework/Date.h"

#include <cstdint>
#include <memory>
#include <string>

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

  bool Exists() const;
  bool Directory() const;          // follows links
  bool Visible() const;            // names beginning with "." are invisible
  std::string Name() const;
  std::string AbsolutePath() const;
  std::int64_t Length() const;     // bytes; 0 for a folder or a missing file
  Date ModificationDate() const;

  // Folder content, counted from 1 like the rest of the framework; entries
  // are taken afresh by Count() (so Item(i) is stable between two Counts).
  int Count() const;
  FolderItem Item(int index) const;

  // Creates this folder (mode 0700 under the settings folder is the caller's
  // choice through mode). Returns false when it cannot.
  bool CreateAsFolder(unsigned mode = 0755) const;

  // Streams; nullptr when the file cannot be opened or created.
  std::unique_ptr<BinaryStream> CreateBinaryFile(unsigned mode = 0644) const;
  std::unique_ptr<BinaryStream> OpenAsBinaryFile(bool readWrite = false) const;
  std::unique_ptr<TextOutputStream> CreateTextFile(unsigned mode = 0644) const;
  std::unique_ptr<TextInputStream> OpenAsTextFile() const;

  bool Delete() const;

private:
  std::string path_; // cleaned, without a trailing "/"
};

// Resolves an absolute path (cleaned as above); relative paths are taken
// from the current folder.
FolderItem GetFolderItem(const std::string& path);
