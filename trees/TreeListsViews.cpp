#include "trees/TreeLists.h"

#include <algorithm>
#include <unordered_set>

void TreeLists::FillGroup(bool local, std::int32_t group)
{
  TreeView* view = TreesView(local);
  if (!view)
    return;
  const SyncRecords& a = local ? pSyncL : pSyncR;
  if (!(local ? expandingL : expanding))
    view->DeleteAllRows();
  // Group numbers only grow along the array, so a group is found by
  // halving instead of reading every record once per folder.
  const auto first = std::partition_point(a.begin(), a.end(), [&](const SyncRecord& r) { return r.group < group; });
  std::vector<TreeRow> rows;
  for (auto it = first; it != a.end() && it->group == group; ++it) {
    const SyncRecord& r = *it;
    TreeRow& row = rows.emplace_back();
    row.folder = r.kind == "d";
    row.checked = r.check;
    row.cells[0] = r.name;
    row.cells[1] = row.folder ? "-" : r.size;
    row.cells[2] = r.date;
    row.cells[3] = r.path;
    row.cells[4] = row.folder ? 'd' : 'f';
    if (row.folder && r.childCount > 0 && r.child >= 0 && r.child < static_cast<std::int32_t>(a.size()))
      row.cells[ChildGroupColumn] = std::to_string(a[r.child].group);
    row.cells[RecordIndexColumn] = std::to_string(it - a.begin());
  }
  // One insertion per folder: a view that keeps its rows in one sequence
  // moves the rows below only once.
  view->AddTreeRows(rows);
  view->Refresh();
}

void TreeLists::GetCompareList35r(std::int32_t group, std::int32_t /*baseRow*/)
{
  FillGroup(false, group);
}

void TreeLists::GetCompareList36l(std::int32_t group, std::int32_t /*baseRow*/)
{
  FillGroup(true, group);
}

void TreeLists::ExpandAll(bool local)
{
  TreeView* view = TreesView(local);
  if (!view)
    return;
  for (int r = 0; r < view->ListCount(); ++r) {
    if (view->Cell(r, 4) == "d")
      view->SetExpanded(r, true);
    if (TreesUserCancelled())
      break;
  }
  view->Refresh();
}

void TreeLists::GetCompareList35r2()
{
  ExpandAll(false);
}

void TreeLists::GetCompareList36l2()
{
  ExpandAll(true);
}

void TreeLists::TreeExpandRow(bool local, int row)
{
  TreeView* view = TreesView(local);
  if (!view)
    return;
  bool& flag = local ? expandingL : expanding;
  flag = true;
  const std::string g = view->Cell(row, ChildGroupColumn);
  if (!g.empty()) {
    const std::int32_t group = std::stoi(g);
    if (local)
      GetCompareList36l(group, row + 1);
    else
      GetCompareList35r(group, row + 1);
  }
  flag = false;
}

void TreeLists::TreeCellClick(bool local, int row)
{
  pTimerRow = local ? row : -row - 1;
}

void TreeLists::TreeTickChanged(bool local, int row)
{
  TreeView* view = TreesView(local);
  if (!view || row < 0 || row >= view->ListCount())
    return;
  const std::string index = view->Cell(row, RecordIndexColumn);
  SyncRecords& a = local ? pSyncL : pSyncR;
  if (index.empty() || index.find_first_not_of("0123456789") != std::string::npos)
    return;
  const auto i = std::stoull(index);
  if (i >= a.size())
    return;
  a[i].check = view->CellCheck(row, 0);
}

void TreeLists::TreeTick(bool local, std::int32_t index, bool ticked)
{
  TreeTick(local, std::vector<std::int32_t>{index}, ticked);
}

void TreeLists::TreeTick(bool local, const std::vector<std::int32_t>& indexes, bool ticked)
{
  SyncRecords& a = local ? pSyncL : pSyncR;
  std::unordered_set<std::string> cells;
  for (const std::int32_t index : indexes) {
    if (index < 0 || index >= static_cast<std::int32_t>(a.size()))
      continue;
    a[static_cast<std::size_t>(index)].check = ticked;
    cells.insert(std::to_string(index));
  }
  TreeView* view = TreesView(local);
  if (!view || cells.empty())
    return;
  // Rows are found by their record's index: one pass for all of them, as a
  // pass per record takes seconds on a tree of many thousands.
  bool changed = false;
  for (int row = 0; row < view->ListCount(); ++row) {
    if (cells.count(view->Cell(row, RecordIndexColumn)) > 0) {
      view->SetCellCheck(row, 0, ticked);
      changed = true;
    }
  }
  if (changed)
    view->Refresh();
}

void TreeLists::TreeCopyPendingTick()
{
  if (pTimerRow >= 0)
    TreeTickChanged(true, pTimerRow);
  else
    TreeTickChanged(false, -pTimerRow - 1);
}
