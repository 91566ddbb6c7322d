#include "SettingsFile.h"

#include "Globals.h"

#include "framework/AtomicFile.h"
#include "framework/BinaryStream.h"
#include "framework/Modal.h"
#include "framework/TextStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

const char* const PrefFileName = "pref";
const char* const DatasetFileName = "dataset";
const char* const DatasetBadFileName = "dataset.bad";
const char* const FileTypeFileName = "filetype.txt";

FolderItem SettingsFolder()
{
  return FolderItem::PreferencesFolder().Child("Quillmere初期設定");
}

namespace {
// What the start found of the settings folder: its path, and why it cannot
// be used (empty when it can).
struct FolderFound {
  std::string path;
  std::string why;
  bool told = false;
};

FolderFound& folderAtStart()
{
  static FolderFound found;
  return found;
}

// Makes the folder when nothing stands there; why it cannot be used else.
SettingsFolderState makeOrCheck(const FolderItem& folder, std::string& why)
{
  why.clear();
  errno = 0;
  if (folder.Directory()) {
    if (!folder.Writable())
      why = std::strerror(errno);
    return why.empty() ? SettingsFolderState::Usable : SettingsFolderState::Unusable;
  }
  const int error = errno != 0 ? errno : ENOTDIR; // a file in its place
  if (error == ENOENT) {
    // Missing, or a link to what is not there: made only in the first case.
    if (folder.CreateAsFolderPath(0700, why))
      return SettingsFolderState::Made;
    return SettingsFolderState::Unusable;
  }
  why = std::strerror(error);
  return SettingsFolderState::Unusable;
}
} // namespace

SettingsFolderState SettingsFolderAtStart()
{
  const FolderItem folder = SettingsFolder();
  std::string why;
  const SettingsFolderState state = makeOrCheck(folder, why);
  FolderFound& found = folderAtStart();
  found = {folder.NativePath(), why, false};
  return state;
}

void CreateSettingsFolderIfMissing()
{
  const FolderItem folder = SettingsFolder();
  const FolderFound& found = folderAtStart();
  if (found.path == folder.NativePath() && !found.why.empty())
    return; // unusable at start: nothing is made in this run
  std::string why;
  makeOrCheck(folder, why);
}

std::string WhySettingsFolderUnusable()
{
  const FolderItem folder = SettingsFolder();
  const FolderFound& found = folderAtStart();
  std::string why = found.path == folder.NativePath() ? found.why : std::string();
  errno = 0;
  if (why.empty() && !folder.Directory())
    why = std::strerror(errno != 0 ? errno : ENOTDIR);
  return why.empty() ? why : "the settings folder cannot be used: " + why;
}

namespace {
// Writes through a temporary file so that a failure keeps the previous one.
template <typename Stream>
bool writeAtomically(const FolderItem& file, Stream* (AtomicFile::*open)(),
                     const std::function<void(Stream&)>& write, std::string& error)
{
  AtomicFile out(file, 0600);
  if (Stream* stream = (out.*open)())
    write(*stream);
  if (out.Commit())
    return true;
  error = out.Error();
  return false;
}

// The words of the box for a file that could not be written.
std::string couldNotSave(const FolderItem& file, const std::string& error)
{
  return "Could not save the settings file \"" + file.NativePath() + "\" (" + error + ")." +
         (file.Exists() ? " The previous file was kept." : "");
}
} // namespace

bool WriteSettingsTextFileQuietly(const FolderItem& file, const std::function<void(TextOutputStream&)>& write,
                                  std::string& why)
{
  std::string error;
  if (writeAtomically(file, &AtomicFile::Text, write, error))
    return true;
  why = couldNotSave(file, error);
  return false;
}

bool WriteSettingsFileQuietly(const FolderItem& file, const std::function<void(BinaryStream&)>& write,
                              std::string& error)
{
  return writeAtomically(file, &AtomicFile::Binary, write, error);
}

std::string ChangesNotSaved(const FolderItem& file, const std::string& why, const std::string& what)
{
  return "Could not save the settings file \"" + file.NativePath() + "\" (" + why + "). " +
         (file.Exists() ? "The file was left as it was; the changes to " : "The changes to ") + what +
         " were not saved.";
}

std::string CouldNotReadSettingsFile(const FolderItem& file, const std::string& why)
{
  return "Could not read the settings file \"" + file.NativePath() + "\" (" + why + ").";
}

namespace {
template <typename Open>
auto OpenToRead(const FolderItem& file, std::string& why, Open open) -> decltype(open())
{
  why.clear();
  errno = 0;
  if (!file.Exists()) {
    // A folder the user may not search hides its files: none is missing.
    const int error = errno;
    if (file.IsLink())
      why = CouldNotReadSettingsFile(file, "it is a link to nothing");
    else if (error == EACCES)
      why = CouldNotReadSettingsFile(file, std::strerror(error));
    return nullptr;
  }
  errno = 0;
  auto in = open();
  if (!in)
    why = CouldNotReadSettingsFile(file, errno != 0 ? std::strerror(errno) : "it is not a file");
  return in;
}

// Why file cannot be read through now; empty when it can or nothing is there.
std::string WhyUnreadableNow(const FolderItem& file)
{
  std::string why;
  if (auto in = OpenSettingsTextFile(file, why)) {
    in->ReadAll();
    if (in->ReadError())
      why = CouldNotReadSettingsFile(file);
  }
  return why;
}

struct Unreadable {
  std::string path;
  std::string why;
  std::string instead;
  bool told = false;
};

// In the order the start found them.
std::vector<Unreadable>& unreadableAtStart()
{
  static std::vector<Unreadable> found;
  return found;
}

std::vector<Unreadable>::iterator foundAt(const FolderItem& file)
{
  auto& found = unreadableAtStart();
  return std::find_if(found.begin(), found.end(), [&](const Unreadable& u) { return u.path == file.NativePath(); });
}
} // namespace

std::unique_ptr<BinaryStream> OpenSettingsFile(const FolderItem& file, std::string& why)
{
  return OpenToRead(file, why, [&] { return file.OpenAsBinaryFile(false); });
}

std::unique_ptr<TextInputStream> OpenSettingsTextFile(const FolderItem& file, std::string& why)
{
  return OpenToRead(file, why, [&] { return file.OpenAsTextFile(); });
}

void FoundAtStart(const FolderItem& file, const std::string& unreadable, const std::string& instead)
{
  auto& found = unreadableAtStart();
  const auto it = foundAt(file);
  if (it != found.end())
    found.erase(it);
  if (!unreadable.empty())
    found.push_back({file.NativePath(), unreadable, instead});
}

void TellUnreadableSettings()
{
  std::string text;
  FolderFound& folder = folderAtStart();
  if (!folder.why.empty() && !folder.told) {
    folder.told = true;
    text = "The settings folder \"" + folder.path + "\" cannot be used (" + folder.why +
           "). Profiles and preferences changed now cannot be saved.\n";
  }
  int files = 0;
  for (Unreadable& u : unreadableAtStart()) {
    if (u.told)
      continue;
    u.told = true;
    text += u.why + " " + u.instead + "\n";
    ++files;
  }
  if (files == 1)
    text += "The file is left as it is; nothing is saved over it.";
  else if (files > 1)
    text += "The files are left as they are; nothing is saved over them.";
  else if (!text.empty())
    text.pop_back();
  if (!text.empty())
    MsgBox(text);
}

bool MayReplaceSettingsFile(const FolderItem& file, bool changed, const std::string& what, std::string& lost)
{
  lost.clear();
  if (const std::string why = WhySettingsFolderUnusable(); !why.empty()) {
    if (changed)
      lost = ChangesNotSaved(file, why, what);
    return false;
  }
  const auto it = foundAt(file);
  const std::string why = it != unreadableAtStart().end() ? it->why : WhyUnreadableNow(file);
  if (why.empty())
    return true;
  if (changed)
    lost = why + " The changes to " + what + " made in this session could not be saved; the file was left as it is.";
  return false;
}

bool ReplaceSettingsFile(const FolderItem& file, bool changed, const std::string& what,
                         const std::function<void(BinaryStream&)>& write, std::string& lost)
{
  if (!MayReplaceSettingsFile(file, changed, what, lost))
    return false;
  std::string error;
  if (WriteSettingsFileQuietly(file, write, error))
    return true;
  if (changed)
    lost = ChangesNotSaved(file, error, what);
  return false;
}

void TellNotSaved(const std::vector<std::string>& lost)
{
  std::string text;
  for (const std::string& sentence : lost)
    if (!sentence.empty())
      text += (text.empty() ? "" : "\n") + sentence;
  if (!text.empty())
    MsgBox(text);
}
