#include "TreeFakes.h"

#include <gtest/gtest.h>

namespace {

SyncRecord Rec(const std::string& kind, const std::string& name, const std::string& path, int group)
{
  SyncRecord r;
  r.kind = kind;
  r.size = kind == "d" ? "-" : "12 bytes";
  r.name = name;
  r.date = "2009/01/05 10:00";
  r.path = path;
  r.group = group;
  return r;
}

// Remote tree: a/ (x/ (z), y), b/ (empty), c ; c ticked.
void BuildRemote(TestTrees& t)
{
  t.pSyncR = {Rec("d", "a", "//a", 0), Rec("d", "b", "//b", 0), Rec("f", "c", "//c", 0),
              Rec("d", "x", "//a/x", 1), Rec("f", "y", "//a/y", 1), Rec("f", "z", "//a/x/z", 3)};
  t.pSyncR[0].child = 3;
  t.pSyncR[1].child = 5;
  t.pSyncR[3].child = 5;
  t.pSyncR[2].check = true;
  t.GetCompareList33c();
}

TEST(TreeFill, ShowsEveryFolderExpandedWithHiddenColumns)
{
  TestTrees t;
  BuildRemote(t);
  t.GetCompareList35r(0, 0);
  t.GetCompareList35r2();
  EXPECT_EQ(t.remoteView.Outline(), (std::vector<std::string>{"a", "  x", "    z", "  y", "b", "c [x]"}));
  const auto& rows = t.remoteView.rows;
  EXPECT_EQ(rows[0].row.cells, (std::array<std::string, 7>{"a", "-", "2009/01/05 10:00", "//a", "d", "1", "0"}));
  EXPECT_EQ(rows[1].row.cells[ChildGroupColumn], "3");
  EXPECT_EQ(rows[2].row.cells, (std::array<std::string, 7>{"z", "12 bytes", "2009/01/05 10:00", "//a/x/z", "f", "", "5"}));
  EXPECT_EQ(rows[4].row.cells[ChildGroupColumn], "") << "an empty folder expands to nothing";
  EXPECT_TRUE(rows[4].row.folder);
  EXPECT_FALSE(t.expanding);
}

TEST(TreeFill, TickReachesItsRecordAtOnceAndSurvivesCollapse)
{
  TestTrees t;
  BuildRemote(t);
  t.GetCompareList35r(0, 0);
  t.GetCompareList35r2();
  // The box of y (row 3) is ticked by the user.
  t.remoteView.rows[3].row.checked = true;
  t.TreeTickChanged(false, 3);
  EXPECT_TRUE(t.pSyncR[4].check);
  // A folder's tick leaves its content alone.
  t.remoteView.rows[0].row.checked = true;
  t.TreeTickChanged(false, 0);
  EXPECT_TRUE(t.pSyncR[0].check);
  EXPECT_FALSE(t.pSyncR[3].check);
  t.remoteView.SetExpanded(0, false);
  EXPECT_EQ(t.remoteView.Outline(), (std::vector<std::string>{"a [x]", "b", "c [x]"}));
  t.remoteView.SetExpanded(0, true);
  EXPECT_EQ(t.remoteView.Outline(), (std::vector<std::string>{"a [x]", "  x", "  y [x]", "b", "c [x]"}));
}

TEST(TreeFill, DelayedCopyUsesTheClickedRowOfTheRightView)
{
  TestTrees t;
  BuildRemote(t);
  t.pSyncL = t.pSyncR;
  t.GetCompareList35r(0, 0);
  t.GetCompareList36l(0, 0);
  t.remoteView.rows[0].row.checked = true;
  t.TreeCellClick(false, 0);
  EXPECT_EQ(t.pTimerRow, -1);
  t.TreeCopyPendingTick();
  EXPECT_TRUE(t.pSyncR[0].check);
  EXPECT_FALSE(t.pSyncL[0].check);
  // The list was emptied before the copy ran: nothing is touched.
  t.TreeCellClick(true, 2);
  t.localView.DeleteAllRows();
  t.TreeCopyPendingTick();
  EXPECT_TRUE(t.pSyncL[2].check);
}

TEST(TreeFill, RootFillEmptiesTheViewFirst)
{
  TestTrees t;
  BuildRemote(t);
  t.GetCompareList35r(0, 0);
  t.GetCompareList35r(0, 0);
  EXPECT_EQ(t.remoteView.ListCount(), 3);
}

TEST(TreeFill, CancelStopsExpandingButShowsTheRoot)
{
  TestTrees t;
  BuildRemote(t);
  t.cancelled = true;
  t.GetCompareList35r(0, 0);
  t.GetCompareList35r2();
  EXPECT_EQ(t.remoteView.Outline(), (std::vector<std::string>{"a", "  x", "  y", "b", "c [x]"}));
}

} // namespace
