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

void LoadPref()
{
  if (CreateSettingsFolderIfMissing())
    return;
  const FolderItem file = SettingsFolder().Child(PrefFileName);
  if (!file.Exists()) {
    MsgBox("初期設定ファイルがありません。デフォルトの設定で起動します。");
    return;
  }
  auto in = file.OpenAsBinaryFile(false);
  if (!in)
    return;
  const std::int32_t n = in->ReadInt32();
  if (in->ShortRead())
    return;
  // Slots past 50 do not exist; a file that ends early keeps the rest at
  // their defaults.
  for (std::int32_t i = 0; i <= n && i < PrefSlotCount; ++i) {
    const std::int32_t value = in->ReadInt32();
    if (in->ShortRead())
      break;
    gPref[static_cast<std::size_t>(i)] = value;
  }
}

void SavePref()
{
  const FolderItem folder = SettingsFolder();
  if (!folder.Directory())
    return;
  WriteSettingsFile(folder.Child(PrefFileName), [](BinaryStream& out) {
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
