#include "trees/TreeLists.h"

#include "framework/FolderItem.h"

#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

namespace {

bool ReadableFolder(const std::string& path)
{
  DIR* d = opendir(path.c_str());
  if (!d)
    return false;
  closedir(d);
  return true;
}

// Names that could never be sent on a command line.
bool SendableName(const std::string& name)
{
  return name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

} // namespace

std::string TreeLists::DateFormatL(const FolderItem& item)
{
  const Date d = item.ModificationDate();
  char buf[16];
  std::snprintf(buf, sizeof buf, " %02d:%02d", d.Hour, d.Minute);
  return d.AbbreviatedDate() + buf;
}

bool TreeLists::GetCompareList32l(const FolderItem& folder)
{
  const std::string dirPath = folder.AbsolutePath();
  struct stat st {};
  if (stat(dirPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !ReadableFolder(dirPath))
    return false;
  // A folder already on the path being walked (through a link) is not
  // entered again.
  const std::pair<std::uint64_t, std::uint64_t> id{static_cast<std::uint64_t>(st.st_dev),
                                                   static_cast<std::uint64_t>(st.st_ino)};
  for (const auto& onPath : localOnPath_)
    if (onPath == id)
      return false;

  ++pGroupL;
  SyncRecords list;
  const int count = folder.Count();
  list.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
  for (int i = 1; i <= count; ++i) {
    const FolderItem item = folder.Item(i);
    if (!item.Visible())
      continue;
    const std::string name = item.Name();
    if (!SendableName(name))
      continue;
    const std::string path = item.AbsolutePath();
    struct stat es {};
    // Gone since the folder was read, a broken link, or neither a file nor
    // a folder (pipes, sockets, devices): skipped.
    if (stat(path.c_str(), &es) != 0 || !(S_ISDIR(es.st_mode) || S_ISREG(es.st_mode)))
      continue;
    SyncRecord r;
    if (S_ISDIR(es.st_mode)) {
      r.size = "-";
      r.kind = "d";
    } else {
      r.size = LocalSizeText(static_cast<std::int64_t>(es.st_size));
      r.kind = "f";
    }
    r.name = name;
    r.date = DateFormatL(item);
    r.path = path;
    r.group = pGroupL;
    r.check = false;
    list.push_back(std::move(r));
  }

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
  const FolderItem* root = TreesLocalFolder();
  localRootUnread_ = !root || !GetCompareList32l(*root);
  if (localRootUnread_)
    TreesLog("The local folder could not be read; nothing is ticked.");
  GetCompareList33c();
  // Without both roots there is nothing to compare: an unread side would
  // look empty and tick the whole other side.
  if (!remoteRootUnread_ && !localRootUnread_) {
    GetCompareList34c(0, pSyncL.empty(), 0, 0, pSyncR.empty(), 0);
    GetCompareList34l();
    GetCompareList34r();
  }
  GetCompareList35r(0, 0);
  GetCompareList35r2();
  GetCompareList36l(0, 0);
  GetCompareList36l2();
}
