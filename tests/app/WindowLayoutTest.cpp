#include "AppFixture.h"

TEST_F(AppFixture, ControlsStartWithTheirTextsAndStates)
{
  StartUp();
  EXPECT_EQ(w->PagePanel1.Value(), 0);
  EXPECT_EQ(w->PagePanel1.PanelCount(), 3);
  EXPECT_FALSE(w->BevelButton2.Enabled());
  EXPECT_TRUE(w->BevelButton1.Enabled());
  EXPECT_EQ(w->BevelButton1.Caption(), "＋");
  EXPECT_EQ(w->BevelButton2.Caption(), "ー");
  EXPECT_EQ(w->BevelButton3.Caption(), "編集");
  EXPECT_EQ(w->BevelButton4.Caption(), "選択...");
  EXPECT_EQ(w->BevelButton5.Caption(), "保存");
  EXPECT_EQ(w->ListBox1.Heading(0), "セットリスト");
  for (ListBox* tree : {&w->localListBox, &w->remoteListBox}) {
    EXPECT_TRUE(tree->Hierarchical());
    EXPECT_EQ(tree->ColumnCount(), 7);
    EXPECT_EQ(tree->Heading(0), "名前");
    EXPECT_EQ(tree->Heading(1), "サイズ");
    EXPECT_EQ(tree->Heading(2), "修正日");
    EXPECT_EQ(tree->ColumnWidths(), "45%,22%,*,0,0,0,0");
    EXPECT_EQ(tree->ListCount(), 0);
  }
  EXPECT_EQ(w->tBytesText.Text(), "0");
  EXPECT_EQ(w->bpsText.Text(), "0");
  EXPECT_EQ(w->ProgressBar1.Maximum(), 100);
  EXPECT_EQ(w->ProgressBar1.Value(), 0);
  EXPECT_EQ(w->EditField5.Text(), "");
  EXPECT_TRUE(w->EditField5.ReadOnly());
  EXPECT_EQ(w->EditField3.FieldKind(), EditField::Password);
  EXPECT_TRUE(w->CheckBox2.Value());
  EXPECT_FALSE(w->CheckBox4.Value());
  EXPECT_EQ(w->PopupMenu1.ListCount(), 2);
  EXPECT_EQ(w->PopupMenu1.ListIndex(), 0);
  EXPECT_EQ(w->PopupMenu1.List(1), "アップロード＆削除");
  for (StaticText* t : {&w->StaticText17, &w->StaticText18, &w->StaticText22, &w->StaticText25}) {
    EXPECT_EQ(t->Text(), "Untitled");
    EXPECT_FALSE(t->Enabled());
  }
  EXPECT_FALSE(w->CheckBox3.Enabled());
  EXPECT_EQ(w->StaticText27.Text(), "ローカル");
  EXPECT_EQ(w->StaticText28.Text(), "サーバ");
  EXPECT_EQ(w->Timer1.Mode(), Timer::ModeOff);
  EXPECT_EQ(w->Timer2.Mode(), Timer::ModeOff);
  EXPECT_EQ(w->statusTimer.Mode(), Timer::ModeMultiple);
  EXPECT_EQ(w->statusTimer.Period(), 500);
}

TEST_F(AppFixture, APageShowsOnlyItsOwnControls)
{
  StartUp();
  auto shown = [](Control& c) { return c.Widget()->isVisible(); };
  EXPECT_FALSE(shown(w->EditField1));
  EXPECT_FALSE(shown(w->StaticText17));
  w->PagePanel1.SetValue(1);
  EXPECT_TRUE(shown(w->StaticText17));
  EXPECT_TRUE(shown(w->BevelButton3));
  EXPECT_FALSE(shown(w->EditField1));
  EXPECT_FALSE(shown(w->BevelButton5));
  w->PagePanel1.SetValue(2);
  EXPECT_TRUE(shown(w->EditField1));
  EXPECT_TRUE(shown(w->BevelButton5));
  EXPECT_FALSE(shown(w->StaticText17));
}

struct Rule {
  int width;
  int tree, remoteLeft, group, log, logLeft, caption27, caption28;
};

class ResizeRule : public AppFixture, public ::testing::WithParamInterface<Rule> {};

TEST_P(ResizeRule, SharesTheWidthRightOfTheProfileColumn)
{
  StartUp();
  const Rule& r = GetParam();
  w->SetWidth(r.width);
  w->ApplyResizeRule();
  EXPECT_EQ(w->localListBox.Width(), r.tree);
  EXPECT_EQ(w->remoteListBox.Width(), r.tree);
  EXPECT_EQ(w->localListBox.Left(), 210);
  EXPECT_EQ(w->remoteListBox.Left(), r.remoteLeft);
  EXPECT_EQ(w->GroupBox1.Width(), r.group);
  EXPECT_EQ(w->GroupBox1.Left(), 211);
  EXPECT_EQ(w->EditField5.Width(), r.log);
  EXPECT_EQ(w->EditField5.Left(), r.logLeft);
  EXPECT_EQ(w->StaticText27.Left(), r.caption27);
  EXPECT_EQ(w->StaticText28.Left(), r.caption28);
}

INSTANTIATE_TEST_SUITE_P(Widths, ResizeRule,
                         ::testing::Values(Rule{800, 295, 505, 293, 295, 506, 310, 605},
                                           Rule{1024, 407, 617, 405, 407, 618, 366, 773}));

TEST_F(AppFixture, TallerWindowGrowsTheListsAndMovesTheBottomRow)
{
  StartUp();
  w->SetHeight(700);
  EXPECT_EQ(w->Height(), 700);
  EXPECT_EQ(w->ListBox1.Height(), 250);
  EXPECT_EQ(w->localListBox.Height(), 514);
  EXPECT_EQ(w->remoteListBox.Height(), 514);
  EXPECT_EQ(w->GroupBox1.Top(), 536);
  EXPECT_EQ(w->EditField5.Top(), 536);
  EXPECT_EQ(w->StaticText27.Top(), 518);
  EXPECT_EQ(w->Rectangle1.Top(), 250);
  EXPECT_EQ(w->PagePanel1.Top(), 255); // moves with its frame
  EXPECT_EQ(w->BevelButton1.Top(), 680);
  EXPECT_EQ(w->ProgressBar1.Top(), 560); // moves with its group box
}

TEST_F(AppFixture, UserResizeLaysOutLiveAndStoresOnceSettled)
{
  StartUp();
  gPref[11] = 1;
  gPref[3] = 0;
  w->TopLevel()->resize(1024 + 0, w->TopLevel()->height() + 50);
  EXPECT_EQ(w->Width(), 1024);
  EXPECT_EQ(w->localListBox.Width(), 407); // Resizing already laid out
  EXPECT_TRUE(PumpUntil([&] { return gPref[3] == 1024; }));
  EXPECT_EQ(gPref[4], 650);
}
