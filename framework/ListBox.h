#pragma once
// A list of rows with columns, flat or hierarchical (folder rows with a
// disclosure control). Rows are addressed by their index among the rows
// that exist; a collapsed folder has no child rows (collapsing removes
// them), so every row is visible and the index is the row's line in the list.
//
// Hierarchy: setting a folder row expanded (by code or by the user) raises
// ExpandRow at once; rows added while that handler runs become the row's
// children, directly beneath it in the order added. Outside an ExpandRow
// handler AddRow/AddFolder append a top-level row at the end.
//
// Costs (n rows): reading or writing a cell of row i is O(1) when i is next
// to the last row touched (the usual fill pattern, baseRow + k) and
// O(n / 512) otherwise; adding a row is O(512 + chunks); collapsing or
// RemoveRow of k rows is O(k + n / 512). A whole tree of n rows filled
// through ExpandRow handlers costs O(n) apart from that chunk term. The
// on-screen list catches up with the rows at the next frame (Display.h),
// never once per added row.

#include "framework/Control.h"

#include <functional>
#include <memory>
#include <string>

class ListBoxStore;

class ListBox : public Control {
public:
  enum CellTypes { TypeDefault = 0, TypeNormal = 1, TypeCheckBox = 2 };

  ListBox(Window& w, std::string name, Control* parent = nullptr, int columnCount = 1,
          bool hierarchical = false);
  ~ListBox() override;

  int ColumnCount() const;
  bool Hierarchical() const;
  // Headings separated by TAB ("名前\tサイズ\t修正日").
  void SetInitialValue(const std::string& headings);
  void SetHeading(int column, const std::string& text);
  std::string Heading(int column) const;
  void SetHasHeading(bool on);
  // "45%,22%,*,0,0,0,0": percent of the list's width, pixels, or "*" for an
  // equal share of what is left; missing entries are "*". A width of 0
  // hides the column for good (the user cannot drag it open).
  void SetColumnWidths(const std::string& widths);
  std::string ColumnWidths() const;
  int ColumnWidth(int column) const; // pixels as laid out now
  void SetColumnsResizable(bool on);

  void AddRow(const std::string& text);
  void AddFolder(const std::string& text);
  int LastIndex() const { return lastIndex_; }
  void RemoveRow(int row);
  void DeleteAllRows();
  int ListCount() const;

  std::string Cell(int row, int column) const;
  void SetCell(int row, int column, const std::string& text);
  std::string List(int row) const { return Cell(row, 0); }
  int CellType(int row, int column) const;
  void SetCellType(int row, int column, int type);
  bool CellCheck(int row, int column) const;
  void SetCellCheck(int row, int column, bool on);
  bool RowIsFolder(int row) const;
  int RowDepth(int row) const;
  bool Expanded(int row) const;
  void SetExpanded(int row, bool on);

  // The selected row, -1 for none; setting it raises Change at once when
  // it changes (as a click does).
  int ListIndex() const { return listIndex_; }
  void SetListIndex(int row);

  // Brings the on-screen list up to date at the next frame.
  void Refresh();

  // Framework use (the on-screen model and view).
  void UserSelected(int row);
  void UserToggledExpand(int row);
  void UserSetCheck(int row, int column, bool on);
  void LayoutColumns();
  void ApplyDisplay() override;

  std::function<void()> Change;
  std::function<void()> DoubleClick;
  std::function<bool(int row, int column, int x, int y)> CellClick;
  std::function<bool(int column)> HeaderPressed;
  std::function<void(int row)> ExpandRow;
  std::function<void(int row)> CollapseRow;
  // The user changed a cell's check box (mouse or keyboard), raised at once.
  std::function<void(int row, int column)> CellAction;
  std::function<bool(Graphics& g, int row, int column)> CellBackgroundPaint;

private:
  void Insert(bool folder, const std::string& text);
  void Changed(bool structure);
  std::unique_ptr<ListBoxStore> store_;
  std::string widths_;
  int lastIndex_ = -1;
  int listIndex_ = -1;
};
