#include "Globals.h"
#include "SettingsFile.h"

#include "framework/BinaryStream.h"
#include "framework/TextStream.h"

namespace {
FileTypeEntry entryOf(const std::string& line)
{
  FileTypeEntry e;
  const std::size_t tab = line.find('\t');
  if (tab == std::string::npos) {
    e.ext = line;
    return e;
  }
  e.ext = line.substr(0, tab);
  const std::size_t tab2 = line.find('\t', tab + 1);
  e.bin = line.substr(tab + 1, tab2 == std::string::npos ? std::string::npos : tab2 - tab - 1);
  return e;
}

const std::vector<FileTypeEntry>& defaultTable()
{
  static const std::vector<FileTypeEntry> table = {
      {"html", "A"}, {"htm", "A"}, {"shtml", "A"}, {"php", "A"}, {"css", "A"}, {"txt", "A"}, {"xml", "A"},
      {"rdf", "A"},  {"exp", "A"}, {"js", "A"},    {"jpg", "I"}, {"gif", "I"}, {"png", "I"}, {"sit", "I"},
      {"bin", "I"},  {"zip", "I"}, {"dmg", "I"},   {"lzh", "I"}, {"gz", "I"},
  };
  return table;
}

// The table as the file holds it (read at start, the defaults when none
// was, or written since), and that file, to tell whether the run changed it.
std::vector<FileTypeEntry> onDisk;
std::string onDiskPath;
} // namespace

bool LoadFileType()
{
  const FolderItem file = SettingsFolder().Child(FileTypeFileName);
  std::string why;
  std::vector<FileTypeEntry> read;
  if (SettingsFolderAtStart() != SettingsFolderState::Made) {
    if (auto in = OpenSettingsTextFile(file, why)) {
      while (!in->EOF())
        read.push_back(entryOf(in->ReadLine()));
      if (in->ReadError())
        why = CouldNotReadSettingsFile(file);
    }
  }
  FoundAtStart(file, why, "The default transfer types are used instead.");
  onDiskPath = file.NativePath();
  // A file that holds nothing at all gives the defaults too.
  if (!why.empty() || read.empty()) {
    onDisk = defaultTable();
    return false;
  }
  gFileType.insert(gFileType.end(), read.begin(), read.end());
  onDisk = read;
  return true;
}

void InitFileType()
{
  gFileType.insert(gFileType.end(), defaultTable().begin(), defaultTable().end());
}

std::string WriteFileTypeFile()
{
  if (gFileType.empty())
    return {};
  const FolderItem file = SettingsFolder().Child(FileTypeFileName);
  const bool changed = file.NativePath() != onDiskPath || gFileType != onDisk;
  const std::vector<FileTypeEntry> written = gFileType;
  std::string lost;
  const auto write = [&](BinaryStream& out) {
    for (const FileTypeEntry& e : written)
      out.Write(e.ext + "\t" + e.bin + "\n"); // LF, as the reader takes it
  };
  if (ReplaceSettingsFile(file, changed, "the transfer types", write, lost)) {
    onDisk = written;
    onDiskPath = file.NativePath();
  }
  return lost;
}

void SaveFileType()
{
  TellNotSaved({WriteFileTypeFile()});
}
