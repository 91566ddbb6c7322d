#include "framework/Display.h"
#include "framework/Events.h"
#include "framework/ListBox.h"
#include "framework/Window.h"
#include "ModalRecorder.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTest>
#include <QTreeView>

#include <functional>
#include <string>
#include <vector>

namespace {
struct Host : Window {
  ListBox tree{*this, "tree", nullptr, 7, true};
  ListBox flat{*this, "flat", nullptr, 2, false};
};

// A folder named "dN" has children "dN.0".."dN.(k-1)", folders down to depth.
void fillOnExpand(ListBox& lb, int fanout, int maxDepth)
{
  lb.ExpandRow = [&lb, fanout, maxDepth](int row) {
    const std::string parent = lb.Cell(row, 0);
    const int depth = lb.RowDepth(row) + 1;
    for (int k = 0; k < fanout; ++k) {
      const std::string name = parent + "." + std::to_string(k);
      if (depth < maxDepth)
        lb.AddFolder(name);
      else
        lb.AddRow(name);
      lb.SetCell(row + 1 + k, 4, depth < maxDepth ? "d" : "f");
    }
  };
}

void expandAll(ListBox& lb)
{
  for (int r = 0; r < lb.ListCount(); ++r)
    if (lb.RowIsFolder(r))
      lb.SetExpanded(r, true);
}

std::vector<std::string> names(const ListBox& lb)
{
  std::vector<std::string> out;
  for (int r = 0; r < lb.ListCount(); ++r)
    out.push_back(lb.Cell(r, 0));
  return out;
}
} // namespace

TEST(ListBox, RowsAddedWhileExpandingBecomeChildrenDirectlyBeneath)
{
  Host h;
  h.tree.AddFolder("a");
  h.tree.AddRow("z");
  fillOnExpand(h.tree, 2, 2);
  h.tree.SetExpanded(0, true); // raises ExpandRow at once
  EXPECT_EQ(names(h.tree), (std::vector<std::string>{"a", "a.0", "a.1", "z"}));
  EXPECT_EQ(h.tree.RowDepth(1), 1);
  EXPECT_TRUE(h.tree.Expanded(0));
  EXPECT_EQ(h.tree.Cell(1, 4), "d");
  h.tree.SetExpanded(1, true); // nested level pushes the later rows down
  EXPECT_EQ(names(h.tree), (std::vector<std::string>{"a", "a.0", "a.0.0", "a.0.1", "a.1", "z"}));
  EXPECT_EQ(h.tree.Cell(2, 4), "f");
}

TEST(ListBox, ExpandAllInOnePassVisitsTheTreeInPreOrder)
{
  Host h;
  h.tree.AddFolder("r");
  fillOnExpand(h.tree, 3, 4);
  expandAll(h.tree);
  ASSERT_EQ(h.tree.ListCount(), 1 + 3 + 9 + 27 + 81);
  const auto n = names(h.tree);
  for (std::size_t i = 1; i < n.size(); ++i) // pre-order: each name follows its parent's subtree order
    EXPECT_LT(n[i - 1], n[i]) << i;
}

TEST(ListBox, ExpandHandlerThatExpandsChildrenItselfKeepsOrder)
{
  Host h;
  h.tree.AddFolder("r");
  h.tree.AddFolder("s");
  h.tree.ExpandRow = [&](int row) {
    const std::string p = h.tree.Cell(row, 0);
    if (h.tree.RowDepth(row) >= 1) {
      h.tree.AddRow(p + ".f");
      return;
    }
    h.tree.AddFolder(p + ".a");
    h.tree.SetExpanded(row + 1, true); // nested while still expanding row
    h.tree.AddFolder(p + ".b");
  };
  h.tree.SetExpanded(0, true);
  EXPECT_EQ(names(h.tree), (std::vector<std::string>{"r", "r.a", "r.a.f", "r.b", "s"}));
}

TEST(ListBox, CollapseRemovesTheWholeSubtreeAndRaisesCollapseRow)
{
  Host h;
  h.tree.AddFolder("a");
  h.tree.AddRow("z");
  fillOnExpand(h.tree, 2, 3);
  expandAll(h.tree);
  ASSERT_EQ(h.tree.ListCount(), 1 + 2 + 4 + 8 + 1);
  std::vector<int> collapsed;
  h.tree.CollapseRow = [&](int row) { collapsed.push_back(row); };
  h.tree.SetExpanded(0, false);
  EXPECT_EQ(names(h.tree), (std::vector<std::string>{"a", "z"}));
  EXPECT_EQ(collapsed, std::vector<int>{0});
  h.tree.SetExpanded(0, true); // the handler refills
  EXPECT_EQ(h.tree.ListCount(), 4);
}

TEST(ListBox, ChecksAndCellTypesStayWithTheirRows)
{
  Host h;
  h.tree.AddFolder("a");
  h.tree.AddRow("b");
  h.tree.SetCellType(1, 0, ListBox::TypeCheckBox);
  h.tree.SetCellCheck(1, 0, true);
  fillOnExpand(h.tree, 3, 1);
  h.tree.SetExpanded(0, true);
  EXPECT_EQ(h.tree.Cell(4, 0), "b");
  EXPECT_TRUE(h.tree.CellCheck(4, 0));
  EXPECT_EQ(h.tree.CellType(4, 0), ListBox::TypeCheckBox);
  EXPECT_FALSE(h.tree.CellCheck(1, 0));
}

TEST(ListBox, SelectionByCodeRaisesChangeLikeAClick)
{
  Host h;
  int changes = 0;
  h.flat.Change = [&] { ++changes; };
  h.flat.AddRow("one");
  h.flat.AddRow("two");
  h.flat.SetListIndex(1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(h.flat.ListIndex(), 1);
  h.flat.SetListIndex(1);
  EXPECT_EQ(changes, 1);
  h.flat.SetListIndex(-1);
  EXPECT_EQ(changes, 2);
  h.flat.SetListIndex(0);
  h.flat.DeleteAllRows();
  EXPECT_EQ(h.flat.ListIndex(), -1);
  EXPECT_EQ(changes, 4);
}

TEST(ListBox, MissingRowIsAnErrorThatTheEventDeliveryReports)
{
  Host h;
  ModalRecorder::Clear();
  h.flat.Change = [&] { (void)h.flat.Cell(5, 0); };
  h.flat.AddRow("x");
  h.flat.SetListIndex(0);
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].kind, ModalKind::MessageBox);
  EXPECT_EQ(h.flat.ListIndex(), 0);
  ModalRecorder::Clear();
}

struct Widths {
  const char* spec;
  int width;
  std::vector<int> expected;
};

class ColumnWidths : public ::testing::TestWithParam<Widths> {};

TEST_P(ColumnWidths, PercentPixelsStarAndHiddenZero)
{
  Host h;
  const Widths& p = GetParam();
  ListBox& lb = p.expected.size() == 7 ? h.tree : h.flat;
  lb.SetBounds(0, 0, p.width, 200);
  h.Show();
  lb.SetColumnWidths(p.spec);
  for (std::size_t c = 0; c < p.expected.size(); ++c)
    if (p.expected[c] >= 0) {
      EXPECT_EQ(lb.ColumnWidth(static_cast<int>(c)), p.expected[c]) << p.spec << " column " << c;
    }
  int sum = 0;
  for (int c = 0; c < lb.ColumnCount(); ++c)
    sum += lb.ColumnWidth(c);
  EXPECT_LE(sum, p.width);
  EXPECT_GE(sum, p.width - 30); // all but the frame and scroll bar
  h.CloseNow();
}

INSTANTIATE_TEST_SUITE_P(Specs, ColumnWidths,
                         ::testing::Values(Widths{"45%,22%,*,0,0,0,0", 295, {-1, -1, -1, 0, 0, 0, 0}},
                                           Widths{"100%,0", 210, {-1, 0}},
                                           Widths{"50,*", 210, {50, -1}}));

TEST(ListBox, AClickRaisesCellClickAndFlipsOnlyTheBoxItLandsOn)
{
  Host h;
  h.tree.SetBounds(0, 0, 300, 200);
  h.tree.SetColumnWidths("45%,22%,*,0,0,0,0");
  h.tree.AddFolder("folder");
  h.tree.AddRow("file");
  for (int r = 0; r < 2; ++r)
    h.tree.SetCellType(r, 0, ListBox::TypeCheckBox);
  std::vector<std::pair<int, int>> clicks;
  h.tree.CellClick = [&](int row, int col, int, int) {
    clicks.emplace_back(row, col);
    return false;
  };
  h.Show();
  UpdateDisplayNow();
  auto* view = static_cast<QTreeView*>(h.tree.Widget());
  const QRect cell = view->visualRect(view->model()->index(1, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 16 + 9, cell.center().y()));
  EXPECT_TRUE(h.tree.CellCheck(1, 0));
  EXPECT_FALSE(h.tree.CellCheck(0, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 100, cell.center().y()));
  EXPECT_TRUE(h.tree.CellCheck(1, 0)); // on the name: selects, no flip
  EXPECT_EQ(h.tree.ListIndex(), 1);
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0], std::make_pair(1, 0));
  int expanded = -1;
  h.tree.ExpandRow = [&](int row) { expanded = row; };
  const QRect folder = view->visualRect(view->model()->index(0, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(folder.left() + 6, folder.center().y()));
  EXPECT_EQ(expanded, 0); // the disclosure triangle
  EXPECT_TRUE(h.tree.Expanded(0));
  h.CloseNow();
}

TEST(ListBox, HeaderClickIsOfferedAndNeverSorts)
{
  Host h;
  h.flat.SetBounds(0, 0, 200, 200);
  h.flat.AddRow("b");
  h.flat.AddRow("a");
  int pressed = -1;
  h.flat.HeaderPressed = [&](int col) {
    pressed = col;
    return true;
  };
  h.Show();
  UpdateDisplayNow();
  ProcessPendingEvents(20);
  auto* view = static_cast<QTreeView*>(h.flat.Widget());
  QHeaderView* header = view->header();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(5, header->height() / 2));
  EXPECT_EQ(pressed, 0);
  EXPECT_EQ(h.flat.Cell(0, 0), "b");
  h.CloseNow();
}
