#include "Globals.h"
#include "SettingsFile.h"

#include "framework/BinaryStream.h"
#include "framework/Modal.h"

#include <algorithm>
#include <cerrno>
#include <iterator>

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

// Renames a damaged "dataset" to "dataset.bad", or the first of
// "dataset.bad.1", "dataset.bad.2"… that is free: a copy kept earlier may be
// the only one left of some profiles.
bool keepAside(const FolderItem& file)
{
  constexpr int MaxKeptCopies = 1000;
  for (int i = 0; i < MaxKeptCopies; ++i) {
    const FolderItem bad =
        file.Parent().Child(std::string(DatasetBadFileName) + (i == 0 ? "" : "." + std::to_string(i)));
    if (file.MoveToNew(bad))
      return true;
    if (errno != EEXIST)
      break;
  }
  MsgBox("Could not keep the damaged settings file \"" + file.NativePath() + "\" as \"" +
         file.Parent().Child(DatasetBadFileName).NativePath() + "\" or a free name after it; it was not replaced.");
  return false;
}

// The profiles in use, in order.
std::vector<Dataset> liveProfiles()
{
  std::vector<Dataset> live;
  std::copy_if(gDataset.begin(), gDataset.end(), std::back_inserter(live), [](const Dataset& d) { return d.Eflg; });
  return live;
}

// The profiles as the start left them, and the file they came from, to
// tell whether the run changed any.
std::vector<Dataset> loadedProfiles;
std::string loadedFrom;

bool changedSinceLoad(const FolderItem& file)
{
  return file.NativePath() != loadedFrom || liveProfiles() != loadedProfiles;
}
} // namespace

void LoadSet()
{
  const FolderItem file = SettingsFolder().Child(DatasetFileName);
  std::string why;
  if (!CreateSettingsFolderIfMissing()) {
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
  loadedProfiles = liveProfiles();
  loadedFrom = file.NativePath();
}

void SaveSet()
{
  const FolderItem folder = SettingsFolder();
  if (!folder.Directory())
    return;
  const FolderItem file = folder.Child(DatasetFileName);
  if (!MayReplaceSettingsFile(file, changedSinceLoad(file), "the profiles"))
    return;
  if (damaged(file) && !keepAside(file))
    return;
  WriteSettingsFile(file, [](BinaryStream& out) {
    std::int32_t count = -1;
    for (std::size_t i = 0; i < gDataset.size(); ++i)
      if (gDataset[i].Eflg)
        ++count;
    out.WriteInt32(count);
    for (const Dataset& d : gDataset) {
      if (!d.Eflg)
        continue;
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
  });
}
