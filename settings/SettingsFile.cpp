#include "SettingsFile.h"

#include "Globals.h"

#include "framework/AtomicFile.h"
#include "framework/BinaryStream.h"
#include "framework/Modal.h"
#include "framework/TextStream.h"

const char* const PrefFileName = "pref";
const char* const DatasetFileName = "dataset";
const char* const DatasetBadFileName = "dataset.bad";
const char* const FileTypeFileName = "filetype.txt";

FolderItem SettingsFolder()
{
  return FolderItem::PreferencesFolder().Child("Quillmere初期設定");
}

bool CreateSettingsFolderIfMissing()
{
  const FolderItem folder = SettingsFolder();
  if (folder.Exists())
    return false;
  const FolderItem prefs = folder.Parent();
  if (!prefs.Exists()) {
    // ~/.config may not exist yet on a fresh account.
    std::vector<FolderItem> missing;
    for (FolderItem f = prefs; !f.Exists() && f.NativePath() != "/"; f = f.Parent())
      missing.push_back(f);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
      it->CreateAsFolder(0700);
  }
  folder.CreateAsFolder(0700);
  return true;
}

namespace {
void reportFailure(const FolderItem& file, const std::string& reason)
{
  MsgBox("Could not save the settings file \"" + file.NativePath() + "\" (" + reason +
         "). The previous file was kept.");
}
} // namespace

bool WriteSettingsFile(const FolderItem& file, const std::function<void(BinaryStream&)>& write)
{
  AtomicFile out(file, 0600);
  if (BinaryStream* stream = out.Binary())
    write(*stream);
  if (out.Commit())
    return true;
  reportFailure(file, out.Error());
  return false;
}

bool WriteSettingsTextFile(const FolderItem& file, const std::function<void(TextOutputStream&)>& write)
{
  AtomicFile out(file, 0600);
  if (TextOutputStream* stream = out.Text())
    write(*stream);
  if (out.Commit())
    return true;
  reportFailure(file, out.Error());
  return false;
}
