#pragma once
// The view the benchmark fills.
#include "trees/TreeLists.h"

#include <memory>
#include <vector>

// Rows in one vector, children inserted beneath the expanding row.
class MemoryTreeView : public TreeView {
public:
  MemoryTreeView(bool local, TreeLists& lists) : local_(local), lists_(lists) {}
  void DeleteAllRows() override { rows_.clear(); }
  void AddTreeRows(const std::vector<TreeRow>& added) override
  {
    std::vector<Row> batch;
    batch.reserve(added.size());
    for (const TreeRow& r : added)
      batch.push_back(Row{at_ >= 0 ? depth_ : 0, false, r});
    if (at_ >= 0) {
      rows_.insert(rows_.begin() + at_, std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
      at_ += static_cast<int>(batch.size());
    } else {
      rows_.insert(rows_.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    }
  }
  int ListCount() const override { return static_cast<int>(rows_.size()); }
  std::string Cell(int row, int column) const override { return rows_[row].row.cells[column]; }
  bool CellCheck(int row, int) const override { return rows_[row].row.checked; }
  void SetExpanded(int row, bool expanded) override
  {
    if (!expanded || rows_[row].expanded)
      return;
    rows_[row].expanded = true;
    at_ = row + 1;
    depth_ = rows_[row].depth + 1;
    lists_.TreeExpandRow(local_, row);
    at_ = -1;
  }
  void Refresh() override {}

private:
  struct Row {
    int depth;
    bool expanded;
    TreeRow row;
  };
  bool local_;
  TreeLists& lists_;
  std::vector<Row> rows_;
  int at_ = -1;
  int depth_ = 0;
};

inline std::unique_ptr<TreeView> MakeBenchView(bool local, TreeLists& lists)
{
  return std::make_unique<MemoryTreeView>(local, lists);
}
