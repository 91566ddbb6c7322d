#include "trees/ListBoxTreeView.h"

#include "framework/ListBox.h"

void ListBoxTreeView::DeleteAllRows()
{
  list_.DeleteAllRows();
}

void ListBoxTreeView::AddTreeRows(const std::vector<TreeRow>& rows)
{
  for (const TreeRow& r : rows) {
    if (r.folder)
      list_.AddFolder(std::string());
    else
      list_.AddRow(std::string());
    const int row = list_.LastIndex();
    for (int c = 1; c < 7; ++c)
      if (!r.cells[static_cast<std::size_t>(c)].empty())
        list_.SetCell(row, c, r.cells[static_cast<std::size_t>(c)]);
    list_.SetCell(row, 0, r.cells[0]);
    list_.SetCellType(row, 0, ListBox::TypeCheckBox);
    list_.SetCellCheck(row, 0, r.checked);
  }
}

int ListBoxTreeView::ListCount() const
{
  return list_.ListCount();
}

std::string ListBoxTreeView::Cell(int row, int column) const
{
  return list_.Cell(row, column);
}

bool ListBoxTreeView::CellCheck(int row, int column) const
{
  return list_.CellCheck(row, column);
}

void ListBoxTreeView::SetCellCheck(int row, int column, bool checked)
{
  list_.SetCellCheck(row, column, checked);
}

void ListBoxTreeView::SetExpanded(int row, bool expanded)
{
  list_.SetExpanded(row, expanded);
}

void ListBoxTreeView::Refresh()
{
  list_.Refresh();
}
