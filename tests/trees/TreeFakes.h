#pragma once
// A tree owner whose socket, log and fields are recorded instead of sent,
// with or without real list controls as views, and a temporary local tree.

#include "framework/FolderItem.h"
#include "framework/ListBox.h"
#include "framework/Window.h"
#include "trees/ListBoxTreeView.h"
#include "trees/TreeLists.h"
#include "Records.h"
#include "TempDir.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <utime.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class TestTrees : public TreeLists {
public:
  std::vector<std::string> sent; // "CWD x" and "LIST"
  std::vector<std::string> log;
  std::vector<std::string> boxes; // the failed listings' notices
  std::string remoteFolder;
  std::string zone;
  std::optional<FolderItem> localFolder;
  CivilMinute now{2009, 3, 15, 12, 0};
  bool cancelled = false;
  std::string listingReply = "226 Transfer complete.\r\n";

protected:
  void TreesSendCWD(const std::string& dir) override { sent.push_back("CWD " + dir); }
  void TreesGetList() override { sent.push_back("LIST"); }
  void TreesLog(const std::string& line) override { log.push_back(line); }
  std::string TreesRemoteFolderText() const override { return remoteFolder; }
  std::string TreesZoneText() const override { return zone; }
  std::string TreesListingReply() const override { return listingReply; }
  const FolderItem* TreesLocalFolder() const override { return localFolder ? &*localFolder : nullptr; }
  bool TreesUserCancelled() const override { return cancelled; }
  CivilMinute TreesNow() const override { return now; }
  void TreesListingsFailed(const std::string& message) override { boxes.push_back(message); }
};

// Plays the server for the walk: answers each CWD with the folder's PWD
// (or a refusal), each LIST with the folder's listing, until the walk stops.
struct FakeServer {
  std::map<std::string, std::string> listings; // by absolute folder
  std::map<std::string, std::string> finalReplies; // a listing's, when not "226"
  std::set<std::string> refuseCwd;
  std::set<std::string> refuseList;
  std::string loginFolder = "/srv";
  std::string cwd = "/srv";

  static std::string Pwd(const std::string& p) { return "257 \"" + p + "\" is the current directory."; }

  void Run(TestTrees& t, const std::string& startFolder)
  {
    t.GetCompareList();
    EXPECT_TRUE(t.sent.empty()) << "nothing may be written before the login";
    cwd = loginFolder;
    t.RemoteWalkLoggedIn(startFolder, Pwd(cwd));
    std::size_t done = 0;
    while (done < t.sent.size()) {
      const std::string cmd = t.sent[done++];
      if (cmd == "LIST") {
        if (refuseList.count(cwd)) {
          t.RemoteWalkRefused("550 cannot list\r\n");
          continue;
        }
        t.TakeListing(listings[cwd]);
        t.listingReply = finalReplies.count(cwd) ? finalReplies[cwd] : "226 Transfer complete.\r\n";
        if (t.RemoteWalkAwaitsListing())
          t.GetCompareList2r();
        continue;
      }
      std::string dir = cmd.substr(4);
      if (dir[0] != '/')
        dir = cwd + "/" + dir;
      while (dir.size() > 1 && dir[0] == '/' && dir[1] == '/')
        dir.erase(0, 1);
      if (refuseCwd.count(dir)) {
        t.RemoteWalkRefused("550 " + dir + ": No such file or directory.\r\n");
        continue;
      }
      cwd = dir;
      if (t.RemoteWalkDirChanged(Pwd(cwd)))
        t.sent.push_back("LIST");
    }
  }
};

// A record as the walks make them: a file of 3 bytes or a folder, dated.
// Sets a file's modification time to the given local time.
inline void SetLocalTime(const std::string& path, int y, int mo, int d, int h, int mi)
{
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_isdst = -1;
  const utimbuf times{std::mktime(&tm), std::mktime(&tm)};
  utime(path.c_str(), &times);
}

// A local folder tree in a temporary folder, removed at the end.
class TempTree : public TempDir {
public:
  std::string Root() const { return Path() + "/"; }
  void Folder(const std::string& rel) const { std::filesystem::create_directories(*this / rel); }
  // A file modified at the given local time.
  void File(const std::string& rel, int y, int mo, int d, int h, int mi) const
  {
    const std::string p = *this / rel;
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream(p) << rel;
    SetLocalTime(p, y, mo, d, h, mi);
  }
  void Link(const std::string& rel, const std::string& target) const
  {
    std::filesystem::create_symlink(target, *this / rel);
  }
};

// The same owner with the framework's list controls as its two views.
class ListTrees : public TestTrees {
public:
  Window window;
  ListBox local{window, "localListBox", nullptr, 7, true};
  ListBox remote{window, "remoteListBox", nullptr, 7, true};
  ListBoxTreeView localList{local};
  ListBoxTreeView remoteList{remote};

  ListTrees()
  {
    local.ExpandRow = [this](int row) { TreeExpandRow(true, row); };
    remote.ExpandRow = [this](int row) { TreeExpandRow(false, row); };
    local.CellAction = [this](int row, int column) {
      if (column == 0)
        TreeTickChanged(true, row);
    };
    remote.CellAction = [this](int row, int column) {
      if (column == 0)
        TreeTickChanged(false, row);
    };
  }

protected:
  TreeView* TreesView(bool isLocal) override
  {
    if (isLocal)
      return &localList;
    return &remoteList;
  }
};

// Names of the rows, two blanks per level, " [x]" when ticked.
inline std::vector<std::string> Outline(const ListBox& list)
{
  std::vector<std::string> out;
  for (int r = 0; r < list.ListCount(); ++r)
    out.push_back(std::string(2 * list.RowDepth(r), ' ') + list.Cell(r, 0) + (list.CellCheck(r, 0) ? " [x]" : ""));
  return out;
}
