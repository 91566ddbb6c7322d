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

// True when an existing file cannot be read through, so it must not be
// replaced by the defaults at quit.
bool unreadable(const FolderItem& file)
{
  if (!file.Exists())
    return file.IsLink();
  auto in = file.OpenAsTextFile();
  if (!in)
    return true;
  in->ReadAll();
  return in->ReadError();
}
} // namespace

bool LoadFileType()
{
  if (CreateSettingsFolderIfMissing())
    return false;
  const FolderItem file = SettingsFolder().Child(FileTypeFileName);
  if (!file.Exists())
    return false;
  auto in = file.OpenAsTextFile();
  if (!in)
    return false;
  std::vector<FileTypeEntry> read;
  while (!in->EOF())
    read.push_back(entryOf(in->ReadLine()));
  // A file that fails part way, or holds nothing at all, gives the defaults.
  if (in->ReadError() || read.empty())
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
  if (unreadable(file))
    return;
  WriteSettingsTextFile(file, [](TextOutputStream& out) {
    for (const FileTypeEntry& e : gFileType)
      out.WriteLine(e.ext + "\t" + e.bin);
  });
}
