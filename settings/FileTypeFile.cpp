#include "Globals.h"
#include "SettingsFile.h"

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
} // namespace

bool LoadFileType()
{
  const FolderItem file = SettingsFolder().Child(FileTypeFileName);
  std::string why;
  std::vector<FileTypeEntry> read;
  if (!CreateSettingsFolderIfMissing()) {
    if (auto in = OpenSettingsTextFile(file, why)) {
      while (!in->EOF())
        read.push_back(entryOf(in->ReadLine()));
      if (in->ReadError())
        why = CouldNotReadSettingsFile(file);
    }
  }
  FoundAtStart(file, why, "The default transfer types are used instead.");
  // A file that holds nothing at all gives the defaults too.
  if (!why.empty() || read.empty())
    return false;
  gFileType.insert(gFileType.end(), read.begin(), read.end());
  return true;
}

void InitFileType()
{
  static const char* const defaults[][2] = {
      {"html", "A"}, {"htm", "A"}, {"shtml", "A"}, {"php", "A"}, {"css", "A"}, {"txt", "A"}, {"xml", "A"},
      {"rdf", "A"},  {"exp", "A"}, {"js", "A"},    {"jpg", "I"}, {"gif", "I"}, {"png", "I"}, {"sit", "I"},
      {"bin", "I"},  {"zip", "I"}, {"dmg", "I"},   {"lzh", "I"}, {"gz", "I"},
  };
  for (const auto& d : defaults)
    gFileType.push_back({d[0], d[1]});
}

void SaveFileType()
{
  if (gFileType.empty())
    return;
  const FolderItem folder = SettingsFolder();
  if (!folder.Directory())
    return;
  const FolderItem file = folder.Child(FileTypeFileName);
  // The table cannot be changed in the program: nothing to tell of.
  if (!MayReplaceSettingsFile(file, false, "the transfer types"))
    return;
  WriteSettingsTextFile(file, [](TextOutputStream& out) {
    for (const FileTypeEntry& e : gFileType)
      out.WriteLine(e.ext + "\t" + e.bin);
  });
}
