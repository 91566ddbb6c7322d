#include "ProfileFixture.h"

#include "app/MenuBar1.h"
#include "profiles/MapDlg.h"
#include "profiles/PrefDlg.h"

#include "framework/Application.h"
#include "RealDialogs.h"

#include <QTest>

#include <array>
#include <functional>

namespace {
// Answers the next modal window run with what act does to the dialog.
void answerPrefs(std::function<void(PrefDlg&)> act)
{
  ModalRecorder::Push([act](const ModalRequest& r) {
    auto* dlg = dynamic_cast<PrefDlg*>(r.window);
    EXPECT_NE(dlg, nullptr);
    if (dlg)
      act(*dlg);
    return ModalAnswer{};
  });
}

// The four slots in the order of the boxes on the screen.
constexpr std::array<int, 4> BoxSlots{PrefConnectOnSelect, PrefKeepWindowBounds, PrefBeepOnCaution,
                                      PrefConfirmSync};

std::array<CheckBox*, 4> boxes(PrefDlg& d)
{
  return {&d.CheckBox1, &d.CheckBox2, &d.CheckBox3, &d.CheckBox4};
}
} // namespace

struct PrefCase {
  std::array<std::int32_t, 4> before; // slots 9, 11, 10, 12
  std::array<bool, 4> shown;
  std::array<bool, 4> set; // what the user ticks
  std::array<std::int32_t, 4> afterSave;
};

std::string prefCaseName(const ::testing::TestParamInfo<PrefCase>& info)
{
  static const char* const names[] = {"DefaultsUnchanged", "OutOfRangeSlotsBecomeOneOrZero", "EveryBoxFlipped"};
  return names[info.index];
}

class Preferences : public ProfileTest, public ::testing::WithParamInterface<PrefCase> {};

TEST_P(Preferences, BoxesShowTheSlotsAndOnlySaveWritesThem)
{
  const PrefCase& p = GetParam();
  for (int i = 0; i < 4; ++i)
    gPref[BoxSlots[i]] = p.before[i];
  const auto others = gPref;

  // The second box is slot 11 and the third slot 10: captions and slots
  // must not be swapped.
  answerPrefs([](PrefDlg& d) {
    const char* captions[] = {"セットを選択したら直ちに接続する", "ウィンドウサイズを保持する",
                              "ダイアログ表示時、ビープ音を鳴らす", "同期前に、確認ダイアログを表示する"};
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(boxes(d)[i]->Caption(), captions[i]);
    d.PushButton1.Push();
  });
  w->ShowPrefDlg();

  // Cancel, closing without a button and Escape leave every slot alone.
  for (const auto& leave : std::vector<std::function<void(PrefDlg&)>>{
           [](PrefDlg& d) { d.PushButton1.Push(); }, [](PrefDlg& d) { d.Close(); },
           [](PrefDlg& d) { d.PressDefaultButton(true); }}) {
    answerPrefs([&](PrefDlg& d) {
      for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(boxes(d)[i]->Value(), p.shown[i]) << i;
        boxes(d)[i]->SetValue(p.set[i]);
      }
      leave(d);
    });
    w->ShowPrefDlg();
    EXPECT_EQ(gPref, others);
  }

  // "保存", here by the Return key.
  answerPrefs([&](PrefDlg& d) {
    for (int i = 0; i < 4; ++i)
      boxes(d)[i]->SetValue(p.set[i]);
    d.PressDefaultButton(false);
  });
  w->ShowPrefDlg();
  auto expected = others;
  for (int i = 0; i < 4; ++i)
    expected[BoxSlots[i]] = p.afterSave[i];
  EXPECT_EQ(gPref, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Slots, Preferences,
    ::testing::Values(PrefCase{{0, 1, 1, 1}, {false, true, true, true}, {false, true, true, true}, {0, 1, 1, 1}},
                      PrefCase{{2, -1, 0, 1}, {true, false, false, true}, {true, false, false, true}, {1, 0, 0, 1}},
                      PrefCase{{0, 1, 1, 1}, {false, true, true, true}, {true, false, true, false}, {1, 0, 1, 0}}),
    prefCaseName);

TEST_F(ProfileTest, PreferencesMenuItemOpensTheDialogAndConnectOnSelectTakesEffect)
{
  gDataset = {{true, "s", "h", "u", "p", "/", "yes", sites_.Path(), "up", "0"}};
  w->InitSetlist();
  answerPrefs([](PrefDlg& d) {
    d.CheckBox1.SetValue(true);
    d.PushButton2.Push();
  });
  EXPECT_TRUE(w->HandleMenu("EditPreferences"));
  EXPECT_EQ(gPref[PrefConnectOnSelect], 1);
  w->ListBox1.SetListIndex(0);
  EXPECT_EQ(connects, 1);
}

TEST_F(ProfileTest, SavedPreferencesReachThePrefFileAtQuit)
{
  answerPrefs([](PrefDlg& d) {
    d.CheckBox1.SetValue(true);
    d.CheckBox3.SetValue(false);
    d.PushButton2.Push();
  });
  w->ShowPrefDlg();
  Restart();
  EXPECT_EQ(gPref[PrefConnectOnSelect], 1);
  EXPECT_EQ(gPref[PrefBeepOnCaution], 0);
  EXPECT_EQ(gPref[PrefKeepWindowBounds], 1);
  EXPECT_EQ(gPref[PrefConfirmSync], 1);
}

class TypeTable : public ProfileTest {
protected:
  MapDlg* open() const { return MapDlg::Current(); }
  void expectRows(const MapDlg& d) const
  {
    ASSERT_EQ(d.localListBox.ListCount(), static_cast<int>(gFileType.size()));
    for (int k = 0; k < d.localListBox.ListCount(); ++k) {
      EXPECT_EQ(d.localListBox.Cell(k, 0), gFileType[static_cast<std::size_t>(k)].ext) << k;
      EXPECT_EQ(d.localListBox.Cell(k, 1), gFileType[static_cast<std::size_t>(k)].bin) << k;
    }
  }
};

TEST_F(TypeTable, ListsTheNineteenDefaultsInOrderAndClosesFromItsButton)
{
  ASSERT_EQ(gFileType.size(), 19u); // no "filetype.txt" yet
  EXPECT_EQ(open(), nullptr);
  w->ShowMapDlg();
  MapDlg* d = open();
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->Visible());
  expectRows(*d);
  EXPECT_EQ(d->localListBox.Cell(0, 0), "html");
  EXPECT_EQ(d->localListBox.Cell(18, 0), "gz");
  EXPECT_EQ(d->localListBox.Cell(18, 1), "I");
  EXPECT_TRUE(ModalRecorder::Requests().empty()); // not modal

  d->PressDefaultButton(false); // Return: "閉じる"
  EXPECT_EQ(open(), nullptr);
  ProcessPendingEvents(20);
  w->ShowMapDlg();
  ASSERT_NE(open(), nullptr);
  expectRows(*open()); // a new view holds the table once
  open()->PushButton1.Push();
  EXPECT_EQ(open(), nullptr);
  // Nothing of the view reaches the table.
  Quit();
  EXPECT_EQ(dir_.Read("config/Quillmere初期設定/filetype.txt").substr(0, 7), "html\tA\n");
}

TEST_F(TypeTable, AskedAgainWhileOpenItShowsTheSameViewWithoutAddingRows)
{
  w->ShowMapDlg();
  MapDlg* first = open();
  ASSERT_NE(first, nullptr);
  w->ShowMapDlg();
  EXPECT_EQ(open(), first);
  expectRows(*first);
}

TEST_F(TypeTable, EmptyTableShowsNoView)
{
  gFileType.clear();
  w->ShowMapDlg();
  EXPECT_EQ(open(), nullptr);
}

TEST_F(TypeTable, ViewShowsWhatTheTableHoldsAndInitMapAppendsTheDefaults)
{
  gFileType = {{"TXT", "A"}, {"odd", "Z"}, {"", ""}};
  w->InitMap();
  ASSERT_EQ(gFileType.size(), 22u);
  EXPECT_EQ(gFileType[3], (FileTypeEntry{"html", "A"}));
  EXPECT_EQ(gFileType[21], (FileTypeEntry{"gz", "I"}));
  w->ShowMapDlg();
  ASSERT_NE(open(), nullptr);
  expectRows(*open());
}

TEST_F(TypeTable, ClosedWhileFillingStopsTheFill)
{
  // The fill yields once per row; a close in between ends it, without
  // opening the view again.
  gFileType.assign(200, FileTypeEntry{"x", "A"});
  bool closed = false;
  PostEvent([&] {
    if (MapDlg* d = MapDlg::Current()) {
      d->PushButton1.Push();
      closed = true;
    }
  });
  w->ShowMapDlg();
  EXPECT_TRUE(closed);
  EXPECT_EQ(open(), nullptr);
}

class RealPreferences : public ProfileTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RealPreferences, ReturnSavesAndTheCloseControlLeavesTheSlots)
{
  const bool viaReturn = GetParam();
  gPref[PrefConfirmSync] = 0;
  {
    RealDialogs real;
    WhenModal([viaReturn](QWidget* top) {
      for (Window* win : Window::OpenWindows())
        if (auto* d = dynamic_cast<PrefDlg*>(win))
          d->CheckBox4.SetValue(true);
      if (viaReturn)
        QTest::keyClick(top, Qt::Key_Return);
      else
        top->close();
    });
    w->ShowPrefDlg();
  }
  EXPECT_EQ(gPref[PrefConfirmSync], viaReturn ? 1 : 0);
  ProcessPendingEvents(20);
  for (Window* win : Window::OpenWindows())
    EXPECT_EQ(dynamic_cast<PrefDlg*>(win), nullptr);
}

INSTANTIATE_TEST_SUITE_P(WaysOut, RealPreferences, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "ReturnKey" : "CloseControl"); });

TEST_F(ProfileTest, ToolbarItemsOpenBothDialogs)
{
  answerPrefs([](PrefDlg& d) {
    d.CheckBox4.SetValue(false);
    d.PushButton2.Push();
  });
  w->Toolbar11.Press("ToolItem10");
  EXPECT_EQ(gPref[PrefConfirmSync], 0);
  w->Toolbar11.Press("ToolItem8");
  ASSERT_NE(MapDlg::Current(), nullptr);
  EXPECT_EQ(MapDlg::Current()->localListBox.ListCount(), 19);
}
