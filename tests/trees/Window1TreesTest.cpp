// The main window's tree handlers, offscreen.
#include "../app/AppFixture.h"
#include "TreeFakes.h"

#include "framework/Graphics.h"

#include <QImage>
#include <QPainter>

namespace {

// d/ (f1), f2 on both sides.
void Fill(Window1& w)
{
  w.pSyncR = {Rec("d", "d", "/r/d", 0), Rec("f", "f2", "/r/f2", 0), Rec("f", "f1", "/r/d/f1", 1)};
  w.pSyncR[0].child = 2;
  w.pSyncL = w.pSyncR;
  w.GetCompareList33c();
  w.GetCompareList35r(0, 0);
  w.GetCompareList35r2();
  w.GetCompareList36l(0, 0);
  w.GetCompareList36l2();
}

TEST_F(AppFixture, TreesShowEveryFolderOpenAndTicksReachTheRecords)
{
  StartUp();
  Fill(*w);
  ASSERT_EQ(w->remoteListBox.ListCount(), 3);
  EXPECT_EQ(w->remoteListBox.Cell(1, 0), "f1");
  EXPECT_EQ(w->localListBox.Cell(1, RecordIndexColumn), "2");
  // A box changed by the user reaches its record at once...
  w->localListBox.UserSetCheck(1, 0, true);
  EXPECT_TRUE(w->pSyncL[2].check);
  // ...and a click's delayed copy agrees with it.
  w->remoteListBox.SetCellCheck(2, 0, true);
  ASSERT_TRUE(w->remoteListBox.CellClick);
  EXPECT_FALSE(w->remoteListBox.CellClick(2, 0, 0, 0));
  EXPECT_EQ(w->pTimerRow, -3);
  EXPECT_TRUE(PumpUntil([&] { return w->pSyncR[1].check; }));
  EXPECT_FALSE(w->pSyncL[1].check);
}

TEST_F(AppFixture, OpeningAFolderClearsTheSelectionShortlyAfter)
{
  StartUp();
  Fill(*w);
  w->remoteListBox.SetExpanded(0, false);
  w->remoteListBox.SetListIndex(1);
  w->remoteListBox.SetExpanded(0, true);
  EXPECT_EQ(w->remoteListBox.ListCount(), 3);
  EXPECT_TRUE(PumpUntil([&] { return w->remoteListBox.ListIndex() == -1; }));
}

TEST_F(AppFixture, HeadingClickOnAnyListOnlyShowsTheNotice)
{
  StartUp();
  Fill(*w);
  w->ListBox1.AddRow("d");
  for (ListBox* list : {&w->localListBox, &w->remoteListBox, &w->ListBox1}) {
    ModalRecorder::Clear();
    ASSERT_TRUE(list->HeaderPressed);
    EXPECT_TRUE(list->HeaderPressed(1));
    ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
    EXPECT_EQ(ModalRecorder::Requests()[0].message, "ヘッダプレスによる並べ替えには対応していません。");
    EXPECT_EQ(list->Cell(0, 0), "d");
  }
}

TEST_F(AppFixture, OddRowsGetTheBandEvenRowsNothing)
{
  StartUp();
  for (int row : {0, 1, 2, 3}) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      Graphics g(painter, 40, 30);
      ASSERT_TRUE(w->localListBox.CellBackgroundPaint);
      EXPECT_FALSE(w->localListBox.CellBackgroundPaint(g, row, 2));
    }
    const QRgb expected = row % 2 ? qRgb(237, 243, 254) : qRgb(255, 255, 255);
    EXPECT_EQ(image.pixel(5, 5), expected) << row;
    EXPECT_EQ(image.pixel(39, 29), expected) << row << ": the band covers the whole cell";
  }
}

} // namespace
