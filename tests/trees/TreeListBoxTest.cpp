// The fill, the expansion and the ticks on the framework's real list
// control, offscreen.
#include "TreeFakes.h"

#include <gtest/gtest.h>

namespace {

// a/ (x/ (z), y), b/ (empty), c
void Build(SyncRecords& a)
{
  a = {Rec("d", "a", "/r/a", 0), Rec("d", "b", "/r/b", 0), Rec("f", "c", "/r/c", 0),
       Rec("d", "x", "/r/a/x", 1), Rec("f", "y", "/r/a/y", 1), Rec("f", "z", "/r/a/x/z", 3)};
  a[0].child = 3;
  a[1].child = 5;
  a[3].child = 5;
  a[4].check = true;
  a[5].check = true;
}

TEST(TreeListBox, FillShowsEveryFolderOpenWithHiddenColumns)
{
  ListTrees t;
  Build(t.pSyncR);
  t.GetCompareList33c();
  t.GetCompareList35r(0, 0);
  t.GetCompareList35r2();
  EXPECT_EQ(Outline(t.remote), (std::vector<std::string>{"a", "  x", "    z [x]", "  y [x]", "b", "c"}));
  for (int r = 0; r < t.remote.ListCount(); ++r)
    EXPECT_EQ(t.remote.CellType(r, 0), ListBox::TypeCheckBox) << r;
  EXPECT_TRUE(t.remote.RowIsFolder(4));
  EXPECT_EQ(t.remote.Cell(0, ChildGroupColumn), "1");
  EXPECT_EQ(t.remote.Cell(1, ChildGroupColumn), "3");
  EXPECT_EQ(t.remote.Cell(4, ChildGroupColumn), "");
  EXPECT_EQ(t.remote.Cell(2, RecordIndexColumn), "5");
  EXPECT_EQ(t.remote.Cell(2, 1), "3 bytes");
  EXPECT_EQ(t.remote.Cell(0, 1), "-");
  EXPECT_EQ(t.remote.Cell(2, 3), "/r/a/x/z");
  EXPECT_EQ(t.remote.Cell(2, 4), "f");
}

TEST(TreeListBox, EveryUserTickReachesItsRecordAtOnce)
{
  ListTrees t;
  Build(t.pSyncL);
  t.GetCompareList33c();
  t.GetCompareList36l(0, 0);
  t.GetCompareList36l2();
  // Two quick changes on two rows, as mouse or keyboard make them.
  t.local.UserSetCheck(5, 0, true);  // c
  t.local.UserSetCheck(3, 0, false); // y
  EXPECT_TRUE(t.pSyncL[2].check);
  EXPECT_FALSE(t.pSyncL[4].check);
  // Closing and opening a folder rebuilds its rows from the records.
  t.local.SetExpanded(0, false);
  EXPECT_EQ(Outline(t.local), (std::vector<std::string>{"a", "b", "c [x]"}));
  t.local.SetExpanded(0, true);
  EXPECT_EQ(Outline(t.local), (std::vector<std::string>{"a", "  x", "  y", "b", "c [x]"}));
}

TEST(TreeListBox, EmptyFolderOpensToNothing)
{
  ListTrees t;
  Build(t.pSyncR);
  t.GetCompareList33c();
  t.GetCompareList35r(0, 0);
  t.remote.SetExpanded(1, true);
  EXPECT_EQ(t.remote.ListCount(), 3);
}

} // namespace
