#pragma once
// A hierarchical list in memory with the control's rules (rows added while a
// folder expands become its children; collapsing removes them), and a tree
// owner whose socket, log and fields are recorded instead of sent.

#include "framework/FolderItem.h"
#include "trees/TreeLists.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <utime.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class FakeTreeView : public TreeView {
public:
  struct Row {
    int depth = 0;
    bool expanded = false;
    TreeRow row;
  };
  std::vector<Row> rows;
  std::function<void(int)> onExpand;
  int refreshes = 0;

  void DeleteAllRows() override { rows.clear(); }
  void AddTreeRows(const std::vector<TreeRow>& added) override
  {
    for (const TreeRow& r : added) {
      if (expandingRow_ >= 0) {
        rows.insert(rows.begin() + insertAt_, Row{rows[expandingRow_].depth + 1, false, r});
        ++insertAt_;
      } else {
        rows.push_back(Row{0, false, r});
      }
    }
  }
  int ListCount() const override { return static_cast<int>(rows.size()); }
  std::string Cell(int row, int column) const override { return rows.at(row).row.cells.at(column); }
  bool CellCheck(int row, int) const override { return rows.at(row).row.checked; }
  void SetExpanded(int row, bool expanded) override
  {
    Row& r = rows.at(row);
    if (!r.row.folder || r.expanded == expanded)
      return;
    r.expanded = expanded;
    if (expanded) {
      expandingRow_ = row;
      insertAt_ = row + 1;
      if (onExpand)
        onExpand(row);
      expandingRow_ = -1;
    } else {
      auto end = rows.begin() + row + 1;
      while (end != rows.end() && end->depth > r.depth)
        ++end;
      rows.erase(rows.begin() + row + 1, end);
    }
  }
  void Refresh() override { ++refreshes; }

  // "name" of every row, indented two blanks per level.
  std::vector<std::string> Outline() const
  {
    std::vector<std::string> out;
    for (const auto& r : rows)
      out.push_back(std::string(2 * r.depth, ' ') + r.row.cells[0] + (r.row.checked ? " [x]" : ""));
    return out;
  }

private:
  int expandingRow_ = -1;
  int insertAt_ = 0;
};

class TestTrees : public TreeLists {
public:
  std::vector<std::string> sent; // "CWD x" and "LIST"
  std::vector<std::string> log;
  std::string remoteFolder;
  std::string zone;
  std::optional<FolderItem> localFolder;
  CivilMinute now{2009, 3, 15, 12, 0};
  FakeTreeView localView, remoteView;
  bool cancelled = false;

  TestTrees()
  {
    localView.onExpand = [this](int row) { TreeExpandRow(true, row); };
    remoteView.onExpand = [this](int row) { TreeExpandRow(false, row); };
  }

protected:
  void TreesSendCWD(const std::string& dir) override { sent.push_back("CWD " + dir); }
  void TreesGetList() override { sent.push_back("LIST"); }
  void TreesLog(const std::string& line) override { log.push_back(line); }
  std::string TreesRemoteFolderText() const override { return remoteFolder; }
  std::string TreesZoneText() const override { return zone; }
  const FolderItem* TreesLocalFolder() const override { return localFolder ? &*localFolder : nullptr; }
  TreeView* TreesView(bool local) override { return local ? &localView : &remoteView; }
  bool TreesUserCancelled() const override { return cancelled; }
  CivilMinute TreesNow() const override { return now; }
};

// A local folder tree in a temporary folder, removed at the end.
class TempTree {
public:
  TempTree()
  {
    char tmpl[] = "/tmp/quill-trees-XXXXXX";
    root_ = mkdtemp(tmpl);
  }
  ~TempTree()
  {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::string Root() const { return root_ + "/"; }
  void Folder(const std::string& rel) { std::filesystem::create_directories(root_ + "/" + rel); }
  // A file modified at the given local time.
  void File(const std::string& rel, int y, int mo, int d, int h, int mi)
  {
    const std::string p = root_ + "/" + rel;
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream(p) << rel;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_isdst = -1;
    const utimbuf times{std::mktime(&tm), std::mktime(&tm)};
    utime(p.c_str(), &times);
  }
  void Link(const std::string& rel, const std::string& target) { std::filesystem::create_symlink(target, root_ + "/" + rel); }

private:
  std::string root_;
};
