#include "Globals.h"
#include "SettingsFile.h"

#include "framework/BinaryStream.h"
#include "framework/Modal.h"

void InitPref()
{
  for (int i = 0; i <= 9; ++i)
    gPref[i] = 0;
  for (int i = 10; i <= 19; ++i)
    gPref[i] = 1;
  gPref[20] = 0;
}

namespace {
// The slots as the start left them, and the file they came from, to tell
// whether the run changed any.
std::array<std::int32_t, PrefSlotCount> loadedPref{};
std::string loadedFrom;

// Reads the slots over gPref; why set when the file is there but cannot
// be read, and gPref is then left as it was.
void readPref(const FolderItem& file, std::string& why)
{
  auto in = OpenSettingsFile(file, why);
  if (!in)
    return;
  auto pref = gPref;
  const std::int32_t n = in->ReadInt32();
  // Slots past 50 do not exist; a file that ends early keeps the rest at
  // their defaults.
  for (std::int32_t i = 0; !in->ShortRead() && i <= n && i < PrefSlotCount; ++i) {
    const std::int32_t value = in->ReadInt32();
    if (!in->ShortRead())
      pref[static_cast<std::size_t>(i)] = value;
  }
  if (in->ReadError())
    why = CouldNotReadSettingsFile(file);
  else
    gPref = pref;
}

// The window's place and size change whenever it moves: no change a user
// would miss. Slots never loaded from file may hold anything.
bool changedSinceLoad(const FolderItem& file)
{
  if (file.NativePath() != loadedFrom)
    return true;
  for (int i = 0; i < PrefSlotCount; ++i)
    if ((i < PrefWindowLeft || i > PrefWindowHeight) && gPref[i] != loadedPref[i])
      return true;
  return false;
}
} // namespace

void LoadPref()
{
  const FolderItem file = SettingsFolder().Child(PrefFileName);
  std::string why;
  if (!CreateSettingsFolderIfMissing()) {
    readPref(file, why);
    if (why.empty() && !file.Exists())
      MsgBox("初期設定ファイルがありません。デフォルトの設定で起動します。");
  }
  FoundAtStart(file, why, "The default preferences are used instead.");
  loadedPref = gPref;
  loadedFrom = file.NativePath();
}

void SavePref()
{
  const FolderItem folder = SettingsFolder();
  if (!folder.Directory())
    return;
  const FolderItem file = folder.Child(PrefFileName);
  if (!MayReplaceSettingsFile(file, changedSinceLoad(file), "the preferences"))
    return;
  WriteSettingsFile(file, [](BinaryStream& out) {
    out.WriteInt32(PrefSlotCount - 1);
    for (std::int32_t value : gPref)
      out.WriteInt32(value);
  });
}

void CloseApp()
{
  SavePref();
  SaveSet();
  SaveFileType();
}
