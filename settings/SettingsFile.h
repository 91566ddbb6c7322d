#pragma once
// Shared by the loaders and savers of the settings files.

#include "framework/FolderItem.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class BinaryStream;
class TextInputStream;
class TextOutputStream;

// What the start found of the settings folder.
enum class SettingsFolderState {
  Usable,   // there, and the user may write in it
  Made,     // nothing stood there: made now, so it holds no file yet
  Unusable, // it could not be made, entered or written
};

// Looks at the settings folder at start, and makes it (mode 0700, with
// the folders missing above it) when nothing stands there, never at a
// link's target nor beside a file in the way. An unusable folder is named
// in the box at start, with the system's reason, and nothing is written in
// it in this run, even once it could be: it may hold settings not read.
SettingsFolderState SettingsFolderAtStart();

// Makes the settings folder as above when nothing stands there, unless the
// start found it unusable.
void CreateSettingsFolderIfMissing();

// The system's reason why nothing can be written in the settings folder
// now, or empty when it can.
std::string WhySettingsFolderUnusable();

// Writes file through a temporary file renamed over it, mode 0600; when that
// fails the old file stays, and why holds the sentence a box gives for it.
bool WriteSettingsTextFileQuietly(const FolderItem& file, const std::function<void(TextOutputStream&)>& write,
                                  std::string& why);
// The same for a binary file, with error set to the system's reason only.
bool WriteSettingsFileQuietly(const FolderItem& file, const std::function<void(BinaryStream&)>& write,
                              std::string& error);

// The sentence a box gives for a settings file that is there but cannot be
// read; why defaults to the words for one that failed part way.
std::string CouldNotReadSettingsFile(const FolderItem& file, const std::string& why = "it could not be read to its end");

// The sentence a box gives for the changes to what (say "the profiles")
// that could not be written to file, for the reason why.
std::string ChangesNotSaved(const FolderItem& file, const std::string& why, const std::string& what);

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

// False when file must be left as it is now: the settings folder cannot be
// used, or the file could not be read at start, or cannot be now. When
// changed says the run changed what belongs in it, lost is set to the
// sentence telling that the changes to what were not saved.
bool MayReplaceSettingsFile(const FolderItem& file, bool changed, const std::string& what, std::string& lost);

// Writes file through WriteSettingsFileQuietly when it may be replaced;
// true when written. Else lost is the sentence telling what the user lost,
// empty when nothing they changed is.
bool ReplaceSettingsFile(const FolderItem& file, bool changed, const std::string& what,
                         const std::function<void(BinaryStream&)>& write, std::string& lost);

// Each writes its file now and returns the sentence telling what the user
// lost when it could not be written, or empty when nothing the user
// changed is lost.
std::string WritePrefFile();
std::string WriteDatasetFile();
std::string WriteFileTypeFile();

// One box for every sentence of lost that is not empty; none when all are.
void TellNotSaved(const std::vector<std::string>& lost);
