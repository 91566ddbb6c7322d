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
// Writes through a temporary file so that a failure keeps the previous one.
template <typename Stream>
bool WriteAtomically(const FolderItem& file, Stream* (AtomicFile::*open)(),
                     const std::function<void(Stream&)>& write, std::string* why = nullptr)
{
  AtomicFile out(file, 0600);
  if (Stream* stream = (out.*open)())
    write(*stream);
  if (out.Commit())
    return true;
  const std::string text =
      "Could not save the settings file \"" + file.NativePath() + "\" (" + out.Error() + "). The previous file was kept.";
  if (why)
    *why = text;
  else
    MsgBox(text);
  return false;
}
} // namespace

bool WriteSettingsFile(const FolderItem& file, const std::function<void(BinaryStream&)>& write)
{
  return WriteAtomically(file, &AtomicFile::Binary, write);
}

bool WriteSettingsTextFile(const FolderItem& file, const std::function<void(TextOutputStream&)>& write)
{
  return WriteAtomically(file, &AtomicFile::Text, write);
}

bool WriteSettingsTextFileQuietly(const FolderItem& file, const std::function<void(TextOutputStream&)>& write,
                                  std::string& why)
{
  return WriteAtomically(file, &AtomicFile::Text, write, &why);
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
  int files = 0;
  for (Unreadable& u : unreadableAtStart()) {
    if (u.told)
      continue;
    u.told = true;
    text += u.why + " " + u.instead + "\n";
    ++files;
  }
  if (files == 0)
    return;
  MsgBox(text + (files == 1 ? "The file is left as it is; nothing is saved over it at quit."
                            : "The files are left as they are; nothing is saved over them at quit."));
}

bool MayReplaceSettingsFile(const FolderItem& file, bool changed, const std::string& what)
{
  const auto it = foundAt(file);
  const std::string why = it != unreadableAtStart().end() ? it->why : WhyUnreadableNow(file);
  if (why.empty())
    return true;
  if (changed)
    MsgBox(why + " The changes to " + what + " made in this session could not be saved; the file was left as it is.");
  return false;
}
