#pragma once
// Shared by the loaders and savers of the settings files.

#include "framework/FolderItem.h"

#include <functional>
#include <string>

class BinaryStream;
class TextOutputStream;

// Creates the settings folder (mode 0700, with a missing preferences folder
// above it). True when it was missing, whether or not it could be made.
bool CreateSettingsFolderIfMissing();

// Writes file through a temporary file renamed over it, mode 0600. A failure
// is reported once in an English box naming the file; the old file stays.
bool WriteSettingsFile(const FolderItem& file, const std::function<void(BinaryStream&)>& write);
bool WriteSettingsTextFile(const FolderItem& file, const std::function<void(TextOutputStream&)>& write);
// The same with no box: false with why set to the words the box would say.
bool WriteSettingsTextFileQuietly(const FolderItem& file, const std::function<void(TextOutputStream&)>& write,
                                  std::string& why);
