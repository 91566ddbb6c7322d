#pragma once
// The tree fill's view of a hierarchical ListBox.

#include "trees/TreeView.h"

class ListBox;

class ListBoxTreeView : public TreeView {
public:
  explicit ListBoxTreeView(ListBox& list) : list_(list) {}

  void DeleteAllRows() override;
  void AddTreeRows(const std::vector<TreeRow>& rows) override;
  int ListCount() const override;
  std::string Cell(int row, int column) const override;
  bool CellCheck(int row, int column) const override;
  void SetCellCheck(int row, int column, bool checked) override;
  void SetExpanded(int row, bool expanded) override;
  void Refresh() override;

private:
  ListBox& list_;
};
