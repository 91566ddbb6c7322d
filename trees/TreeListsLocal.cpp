#include "trees/TreeLists.h"

#include "framework/FolderItem.h"
#include "trees/SendableName.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace {

// The names in a folder, without "." and "..". False when the folder cannot
// be opened or read to its end.
bool ReadFolderNames(const std::string& path, std::vector<std::string>& names)
{
  DIR* d = opendir(path.c_str());
  if (!d)
    return false;
  for (;;) {
    errno = 0;
    const dirent* e = readdir(d);
    if (!e)
      break;
    const std::string name = e->d_name;
    if (name != "." && name != "..")
      names.push_back(name);
  }
  const bool complete = errno == 0;
  closedir(d);
  return complete;
}

} // namespace

std::string TreeLists::DateFormatL(const FolderItem& item)
{
  return DateFormatL(item.ModificationDate());
}

std::string TreeLists::DateFormatL(const Date& d)
{
  char buf[16];
  std::snprintf(buf, sizeof buf, " %02d:%02d", d.Hour, d.Minute);
  return d.AbbreviatedDate() + buf;
}

bool TreeLists::GetCompareList32l(const FolderItem& folder)
{
  const std::string dirPath = folder.AbsolutePath();
  struct stat st {};
  if (stat(dirPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return false;
  // A folder already on the path being walked (through a link) is not
  // entered again.
  const std::pair<std::uint64_t, std::uint64_t> id{static_cast<std::uint64_t>(st.st_dev),
                                                   static_cast<std::uint64_t>(st.st_ino)};
  for (const auto& onPath : localOnPath_)
    if (onPath == id)
      return false;

  std::vector<std::string> names;
  if (!ReadFolderNames(dirPath, names))
    return false;
  // Nothing is appended until every entry has been examined.
  const std::int32_t group = pGroupL + 1;
  SyncRecords list;
  std::vector<SkippedEntry> skipped; // passed over on purpose; their names stay taken
  list.reserve(names.size());
  // Remote paths are the remote root, "/" and the path below the local root.
  const FolderItem* root = TreesLocalFolder();
  const std::size_t rootLength = root ? root->AbsolutePath().size() : dirPath.size();
  for (const std::string& name : names) {
    const FolderItem item = folder.Child(name);
    if (!item.Visible())
      continue;
    // Never sent, nor its server namesake deleted: the server may take it for
    // another name.
    const std::string native = item.NativePath();
    const std::size_t below = native.size() - std::min(rootLength, native.size());
    const std::string why = WhyNameLeftAlone(name, pRootR.size() + 1 + below);
    if (!why.empty()) {
      TreesLog("Left the local " + ShownName(native) + " alone: it is " + why + ".");
      skipped.push_back({native, why});
      continue;
    }
    struct stat es {};
    if (stat(item.NativePath().c_str(), &es) != 0) {
      // A link whose target cannot be examined (on a drive not plugged in,
      // looping, through a file) is skipped; an entry gone since the folder
      // was read is gone. Any other failure leaves the content unknown, so
      // the folder is unread.
      const int error = errno;
      struct stat ls {};
      if (lstat(item.NativePath().c_str(), &ls) == 0 && S_ISLNK(ls.st_mode)) {
        skipped.push_back({item.NativePath(), "a link whose target cannot be examined"});
        continue;
      }
      if (error == ENOENT)
        continue;
      return false;
    }
    // Neither a file nor a folder (pipes, sockets, devices): skipped.
    if (!(S_ISDIR(es.st_mode) || S_ISREG(es.st_mode))) {
      skipped.push_back({item.NativePath(), "neither a file nor a folder"});
      continue;
    }
    SyncRecord r;
    if (S_ISDIR(es.st_mode)) {
      r.size = "-";
      r.kind = "d";
    } else {
      r.size = LocalSizeText(static_cast<std::int64_t>(es.st_size));
      r.kind = "f";
    }
    r.name = name;
    r.date = DateFormatL(Date::FromSeconds(static_cast<std::int64_t>(es.st_mtim.tv_sec))); // no second stat
    r.path = S_ISDIR(es.st_mode) ? item.NativePath() + "/" : item.NativePath();
    r.group = group;
    r.check = false;
    list.push_back(std::move(r));
  }

  // Hidden entries and those left alone count for nothing: a root holding
  // only a ".keepme" would otherwise delete the whole server folder.
  if (localOnPath_.empty())
    localRootEmpty_ = list.empty();
  pGroupL = group;
  skippedL_.insert(skippedL_.end(), skipped.begin(), skipped.end());
  const auto start = static_cast<std::int32_t>(pSyncL.size());
  GetCompareList32lSort(list);
  const auto last = static_cast<std::int32_t>(pSyncL.size()) - 1;
  localOnPath_.push_back(id);
  for (std::int32_t j = start; j <= last; ++j) {
    if (pSyncL[j].kind != "d")
      continue;
    pSyncL[j].child = static_cast<std::int32_t>(pSyncL.size());
    const FolderItem sub = GetFolderItem(pSyncL[j].path);
    // Unreadable, vanished or looping: its content is unknown, so nothing
    // in or below it (or its remote twin) is ticked.
    if (!GetCompareList32l(sub)) {
      pSyncL[j].unread = true;
      TreesLog("The local folder " + pSyncL[j].path + " was not read; nothing in it is ticked.");
    }
  }
  localOnPath_.pop_back();
  return true;
}

void TreeLists::GetCompareList3()
{
  localOnPath_.clear();
  skippedL_.clear();
  localRootEmpty_ = false;
  const FolderItem* root = TreesLocalFolder();
  localRootUnread_ = !root || !GetCompareList32l(*root);
  if (localRootUnread_)
    TreesLog("The local folder " + (root ? root->AbsolutePath() : std::string()) +
             " could not be read; nothing is ticked.");
  GetCompareList33c();
  // Without both roots there is nothing to compare: an unread side would
  // look empty and tick the whole other side.
  if (!remoteRootUnread_ && !localRootUnread_) {
    ReserveTwins();
    // Against a folder that holds nothing to send every server file would
    // look deleted; the likelier cause is a drive that is not there.
    if (localRootEmpty_ && !pSyncR.empty()) {
      TreesLog("The local folder " + root->AbsolutePath() +
               " holds nothing to send; nothing on the server is ticked for removal.");
    } else {
      GetCompareList34c(0, pSyncL.empty(), 0, 0, pSyncR.empty(), 0);
      GetCompareList34l();
      GetCompareList34r();
    }
    TreesCompared();
  } else if (remoteRootUnread_) {
    // The server's folder is unknown: nothing goes up into it.
    for (SyncRecord& r : pSyncL)
      r.reserved = true;
  }
  GetCompareList35r(0, 0);
  GetCompareList35r2();
  GetCompareList36l(0, 0);
  GetCompareList36l2();
  // Once, over the filled trees: the user sees what is left out.
  if (!failedListings_.empty())
    TreesListingsFailed(FailedListingsNotice());
}
