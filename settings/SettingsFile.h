#pragma once
// Shared by the loaders and savers of the settings files.

#include "framework/FolderItem.h"

#include <functional>
#include <memory>
#include <string>

class BinaryStream;
class TextInputStream;
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

// The sentence a box gives for a settings file that is there but cannot be
// read; why defaults to the words for one that failed part way.
std::string CouldNotReadSettingsFile(const FolderItem& file, const std::string& why = "it could not be read to its end");

// Opens a settings file to read. nullptr when nothing is there (why is then
// empty) or when what is there cannot be opened (why holds the sentence): a
// link to what is not there now, a drive not mounted say, is no missing file.
std::unique_ptr<BinaryStream> OpenSettingsFile(const FolderItem& file, std::string& why);
std::unique_ptr<TextInputStream> OpenSettingsTextFile(const FolderItem& file, std::string& why);

// What the start made of file: the sentence saying why it could not be read,
// and what is used instead; empty when it was read or is missing. A file
// that could not be read is never written over in this run, even once it
// can be: the run holds no more than the defaults.
void FoundAtStart(const FolderItem& file, const std::string& unreadable, const std::string& instead);

// False when the quit must leave file as it is: it could not be read at
// start, or cannot be now. When changed says the run changed what belongs
// in it, a box tells that the changes to what could not be saved.
bool MayReplaceSettingsFile(const FolderItem& file, bool changed, const std::string& what);
