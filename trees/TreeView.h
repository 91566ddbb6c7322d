#pragma once
// What the tree fill and the tree handlers need of a hierarchical list with
// seven columns: 0 name with a check box, 1 size, 2 date, 3 path, 4 kind,
// 5 the content group of a folder, 6 the record index.

#include <array>
#include <string>
#include <vector>

constexpr int ChildGroupColumn = 5;
constexpr int RecordIndexColumn = 6;

struct TreeRow {
  bool folder = false;
  bool checked = false;
  std::array<std::string, 7> cells;
};

class TreeView {
public:
  virtual ~TreeView() = default;

  virtual void DeleteAllRows() = 0;
  // Adds rows at the end, or, while the view's expand event runs, as the
  // last child rows of the folder being expanded, in this order.
  virtual void AddTreeRows(const std::vector<TreeRow>& rows) = 0;
  virtual int ListCount() const = 0;
  virtual std::string Cell(int row, int column) const = 0;
  virtual bool CellCheck(int row, int column) const = 0;
  virtual void SetCellCheck(int row, int column, bool checked) = 0;
  // Expanding raises the view's expand event at once.
  virtual void SetExpanded(int row, bool expanded) = 0;
  virtual void Refresh() = 0;
};
