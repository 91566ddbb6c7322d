#include "Globals.h"
#include "SettingsFile.h"

#include "framework/BinaryStream.h"
#include "framework/Modal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <optional>

namespace {
// Smallest size of one stored profile: eight length bytes and the Int32
// length of Path.
constexpr std::int64_t MinProfileBytes = 8 + 4;

// Appends the complete profiles of the file to out; false when the file is
// damaged (ends early, impossible count or length, bytes after the end).
bool readDataset(BinaryStream& in, std::vector<Dataset>& out)
{
  const std::int32_t n = in.ReadInt32();
  if (in.ShortRead() || n < -1)
    return false;
  bool clean = static_cast<std::int64_t>(n) + 1 <= (in.Length() - in.Position()) / MinProfileBytes;
  for (std::int64_t i = 0; i <= n; ++i) {
    Dataset d;
    d.Eflg = true;
    d.Name = in.ReadPString();
    d.Adrs = in.ReadPString();
    d.User = in.ReadPString();
    d.Pass = in.ReadPString();
    d.rDir = in.ReadPString();
    d.Pasv = in.ReadPString();
    d.Path = in.ReadLongString();
    d.Mode = in.ReadPString();
    d.Zone = in.ReadPString();
    if (in.ShortRead())
      return false; // the damaged profile is dropped
    out.push_back(std::move(d));
  }
  return clean && in.EOF();
}

// True when a "dataset" that reads through is damaged, so that it would
// lose something if replaced.
bool damaged(const FolderItem& file)
{
  auto in = file.OpenAsBinaryFile(false);
  std::vector<Dataset> ignored;
  return in && !readDataset(*in, ignored);
}

// Copies a damaged "dataset" to "dataset.bad", or the first of
// "dataset.bad.1", "dataset.bad.2"… that is free: a copy kept earlier may be
// the only one left of some profiles. The damaged file keeps its name until
// a whole new one replaces it. The copy made, or nullopt with why set.
std::optional<FolderItem> keepAside(const FolderItem& file, std::string& why)
{
  constexpr int MaxKeptCopies = 1000;
  for (int i = 0; i < MaxKeptCopies; ++i) {
    const FolderItem bad =
        file.Parent().Child(std::string(DatasetBadFileName) + (i == 0 ? "" : "." + std::to_string(i)));
    if (file.CopyToNew(bad, 0600))
      return bad;
    if (errno != EEXIST) {
      why = std::strerror(errno);
      return std::nullopt;
    }
  }
  why = "no free name";
  return std::nullopt;
}

// The profiles in use, in order.
std::vector<Dataset> liveProfiles()
{
  std::vector<Dataset> live;
  std::copy_if(gDataset.begin(), gDataset.end(), std::back_inserter(live), [](const Dataset& d) { return d.Eflg; });
  return live;
}

// The profiles as the file holds them (loaded at start or written since),
// and that file, to tell whether the run changed any.
std::vector<Dataset> onDisk;
std::string onDiskPath;

bool changedSinceSaved(const FolderItem& file)
{
  return file.NativePath() != onDiskPath || liveProfiles() != onDisk;
}

void writeProfiles(BinaryStream& out, const std::vector<Dataset>& profiles)
{
  out.WriteInt32(static_cast<std::int32_t>(profiles.size()) - 1);
  for (const Dataset& d : profiles) {
    out.WritePString(d.Name);
    out.WritePString(d.Adrs);
    out.WritePString(d.User);
    out.WritePString(d.Pass);
    out.WritePString(d.rDir);
    out.WritePString(d.Pasv);
    out.WriteLongString(d.Path);
    out.WritePString(d.Mode);
    out.WritePString(d.Zone);
  }
}
} // namespace

void LoadSet()
{
  const FolderItem file = SettingsFolder().Child(DatasetFileName);
  std::string why;
  if (SettingsFolderAtStart() != SettingsFolderState::Made) {
    if (auto in = OpenSettingsFile(file, why)) {
      std::vector<Dataset> read;
      readDataset(*in, read);
      if (in->ReadError())
        why = CouldNotReadSettingsFile(file);
      else
        gDataset.insert(gDataset.end(), read.begin(), read.end());
    }
  }
  FoundAtStart(file, why, "No profiles are shown.");
  onDisk = liveProfiles();
  onDiskPath = file.NativePath();
}

std::string WriteDatasetFile()
{
  constexpr const char* What = "the profiles";
  const FolderItem file = SettingsFolder().Child(DatasetFileName);
  const bool changed = changedSinceSaved(file);
  std::string lost;
  if (!MayReplaceSettingsFile(file, changed, What, lost))
    return lost;
  std::optional<FolderItem> copy;
  if (damaged(file)) {
    std::string why;
    copy = keepAside(file, why);
    if (!copy)
      return changed ? "Could not keep a copy of the damaged settings file \"" + file.NativePath() + "\" as \"" +
                           file.Parent().Child(DatasetBadFileName).NativePath() + "\" or a free name after it (" +
                           why + "), so it was left as it was. The changes to the profiles were not saved."
                     : std::string();
  }
  const std::vector<Dataset> live = liveProfiles();
  std::string error;
  if (!WriteSettingsFileQuietly(file, [&](BinaryStream& out) { writeProfiles(out, live); }, error)) {
    if (copy)
      copy->Delete(); // the damaged file is still there under its own name
    if (!changed)
      return {};
    if (copy)
      return "Could not save the settings file \"" + file.NativePath() + "\" (" + error +
             "). The damaged file was left as it was; the changes to the profiles were not saved.";
    return ChangesNotSaved(file, error, What);
  }
  onDisk = live;
  onDiskPath = file.NativePath();
  return {};
}

void SaveSet()
{
  TellNotSaved({WriteDatasetFile()});
}
