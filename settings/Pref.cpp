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
// The slots as the file holds them (loaded at start or written since), and
// that file, to tell whether the run changed any.
std::array<std::int32_t, PrefSlotCount> onDisk{};
std::string onDiskPath;

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
bool changedSinceSaved(const FolderItem& file)
{
  if (file.NativePath() != onDiskPath)
    return true;
  for (int i = 0; i < PrefSlotCount; ++i)
    if ((i < PrefWindowLeft || i > PrefWindowHeight) && gPref[i] != onDisk[i])
      return true;
  return false;
}
} // namespace

void LoadPref()
{
  const FolderItem file = SettingsFolder().Child(PrefFileName);
  std::string why;
  const SettingsFolderState folder = SettingsFolderAtStart();
  if (folder != SettingsFolderState::Made) {
    readPref(file, why);
    // Only a folder that can be used lacks the file "yet"; one that cannot
    // is named in its own box.
    if (folder == SettingsFolderState::Usable && why.empty() && !file.Exists())
      MsgBox("初期設定ファイルがありません。デフォルトの設定で起動します。");
  }
  FoundAtStart(file, why, "The default preferences are used instead.");
  onDisk = gPref;
  onDiskPath = file.NativePath();
}

std::string WritePrefFile()
{
  const FolderItem file = SettingsFolder().Child(PrefFileName);
  const auto written = gPref;
  std::string lost;
  const auto write = [&](BinaryStream& out) {
    out.WriteInt32(PrefSlotCount - 1);
    for (std::int32_t value : written)
      out.WriteInt32(value);
  };
  if (ReplaceSettingsFile(file, changedSinceSaved(file), "the preferences", write, lost)) {
    onDisk = written;
    onDiskPath = file.NativePath();
  }
  return lost;
}

void SavePref()
{
  TellNotSaved({WritePrefFile()});
}

void CloseApp()
{
  // One box names every file whose changes are lost.
  const std::string pref = WritePrefFile();
  const std::string dataset = WriteDatasetFile();
  const std::string fileType = WriteFileTypeFile();
  TellNotSaved({pref, dataset, fileType});
}
