#include "ProfileFixture.h"

#include <ctime>
#include <sys/stat.h>

namespace {
Dataset stored(const std::string& name, const std::string& path, const std::string& pass = "pw",
               const std::string& pasv = "yes", const std::string& mode = "up", const std::string& zone = "0")
{
  return {true, name, "ftp." + name + ".example", "u-" + name, pass, "/www/" + name, pasv, path, mode, zone};
}
} // namespace

TEST_F(ProfileTest, CreatedEditedAndDeletedProfilesReachTheFileAndComeBack)
{
  const std::string a = sites_ / "a", b = sites_ / "b", c = sites_ / "c";
  for (const std::string& p : {a, b, c})
    mkdir(p.c_str(), 0700);
  create({"一つ目", "ftp.one.example", "uno", "pw1", "/www", true, a, 0, false, ""});
  EXPECT_EQ(w->ListBox1.ListIndex(), 0);
  EXPECT_EQ(w->PagePanel1.Value(), 1);
  selectRow(-1);
  create({"two", "ftp.two.example", "dos", "", "", false, b, 1, true, "-5"});
  selectRow(-1);
  create({"three", "ftp.three.example", "tres", "pw3", "/x", true, c, 0, true, ""});
  ASSERT_EQ(w->ListBox1.ListCount(), 3);
  EXPECT_EQ(w->ListBox1.ListIndex(), 2);

  // Edit the second, then delete the first.
  selectRow(1);
  w->BevelButton3.Push();
  EXPECT_EQ(w->PagePanel1.Value(), 2);
  w->EditField1.SetText("ftp.two.example.org");
  w->PopupMenu1.SetListIndex(0);
  w->BevelButton5.Push();
  EXPECT_EQ(w->ListBox1.ListIndex(), 1);
  selectRow(0);
  ModalRecorder::PushButton(0); // "削除"
  w->BevelButton2.Push();
  ASSERT_EQ(w->ListBox1.ListCount(), 2);
  EXPECT_EQ(w->ListBox1.Cell(0, 1), "1");
  EXPECT_EQ(w->ListBox1.Cell(1, 1), "2");
  EXPECT_EQ(w->ListBox1.ListIndex(), -1);
  EXPECT_EQ(w->PagePanel1.Value(), 0);

  Quit();
  const Dataset two{true, "two", "ftp.two.example.org", "dos", "", "", "no", b + "/", "up", "-5"};
  const Dataset three{true, "three", "ftp.three.example", "tres", "pw3", "/x", "yes", c + "/", "up", "0"};
  EXPECT_EQ(datasetBytes(), int32(1) + bytesOf(two) + bytesOf(three));

  resetGlobals();
  Start();
  ASSERT_EQ(w->ListBox1.ListCount(), 2);
  EXPECT_EQ(w->ListBox1.Cell(0, 0), "two");
  EXPECT_EQ(w->ListBox1.Cell(1, 0), "three");
  selectRow(0);
  EXPECT_EQ(w->EditField1.Text(), "ftp.two.example.org");
  EXPECT_EQ(w->EditField8.Text(), "-5");
  ASSERT_TRUE(w->pLocalFolder.has_value());
  EXPECT_EQ(w->pLocalFolder->AbsolutePath(), b + "/");
}

TEST_F(ProfileTest, DeletingEveryProfileWritesAnEmptyFile)
{
  gDataset = {stored("only", sites_.Path())};
  w->InitSetlist();
  selectRow(0);
  ModalRecorder::PushButton(0);
  w->BevelButton2.Push();
  EXPECT_EQ(w->ListBox1.ListCount(), 0);
  EXPECT_EQ(w->PagePanel1.Value(), 0);
  EXPECT_TRUE(w->BevelButton1.Enabled());
  EXPECT_FALSE(w->BevelButton2.Enabled());
  EXPECT_FALSE(w->Toolbar11.ToolItem1.Enabled());
  Quit();
  EXPECT_EQ(datasetBytes(), int32(-1));
}

TEST_F(ProfileTest, CancelledDeletionChangesNothing)
{
  gDataset = {stored("keep", sites_.Path())};
  w->InitSetlist();
  selectRow(0);
  ModalRecorder::Clear();
  ModalRecorder::PushButton(1); // "キャンセル"
  w->BevelButton2.Push();
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  const ModalRequest& r = ModalRecorder::Requests()[0];
  EXPECT_EQ(r.message, "本当に削除しますか？");
  EXPECT_EQ(r.explanation, "この操作は取り消しができません。");
  EXPECT_EQ(r.buttons, (std::vector<std::string>{"削除", "キャンセル", ""}));
  EXPECT_EQ(r.parent, w);
  EXPECT_TRUE(gDataset[0].Eflg);
  EXPECT_EQ(w->ListBox1.ListIndex(), 0);
  EXPECT_EQ(w->PagePanel1.Value(), 1);
}

TEST_F(ProfileTest, RowsCarryProfileIndexesAcrossADeletedProfile)
{
  gDataset = {stored("p0", sites_.Path()), stored("p1", sites_.Path()), stored("p2", sites_.Path())};
  gDataset[1].Eflg = false;
  w->InitSetlist();
  ASSERT_EQ(w->ListBox1.ListCount(), 2);
  selectRow(1);
  EXPECT_EQ(w->StaticText17.Text(), "p2");
  EXPECT_EQ(w->EditField7.Text(), "p2");

  // Saving an edit of profile 2 writes profile 2 and selects its row again.
  w->BevelButton3.Push();
  w->EditField7.SetText("p2 renamed");
  w->BevelButton5.Push();
  EXPECT_EQ(gDataset[2].Name, "p2 renamed");
  EXPECT_EQ(gDataset[1].Name, "p1");
  EXPECT_EQ(w->ListBox1.ListIndex(), 1);
  EXPECT_EQ(w->StaticText17.Text(), "p2 renamed");

  // A new profile goes after the deleted one and its row is selected.
  selectRow(-1);
  create({"p3", "h", "u", "x", "/", true, "", 0, false, ""});
  ASSERT_EQ(gDataset.size(), 4u);
  EXPECT_EQ(gDataset[3].Name, "p3");
  EXPECT_EQ(w->ListBox1.ListIndex(), 2);
  EXPECT_EQ(w->ListBox1.Cell(2, 1), "3");

  // "ー" on the second row flags profile 2, not profile 1.
  selectRow(1);
  ModalRecorder::PushButton(0);
  w->BevelButton2.Push();
  EXPECT_FALSE(gDataset[2].Eflg);
  EXPECT_TRUE(gDataset[3].Eflg);
  EXPECT_FALSE(gDataset[1].Eflg);
}

struct ViewCase {
  Dataset profile;
  std::string mask;
  bool passive;
  std::string mode;
  int modeIndex;
  bool zone;
  std::string hoursText;
  std::string hoursField;
  Dataset savedBack; // what "編集" then "保存" stores unchanged
};

std::string viewCaseName(const ::testing::TestParamInfo<ViewCase>& info)
{
  static const char* const names[] = {"AsciiPasswordUploadOnly", "Utf8PasswordSyncWithZone",
                                      "UnknownFormsReadAsDefaults", "HalfHourZoneShownAsTheHoursUsed"};
  return names[info.index];
}

class ViewPage : public ProfileTest, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(ViewPage, SelectionShowsTheProfileOnBothPagesAndSavesItBackInItsForms)
{
  ViewCase p = GetParam();
  p.profile.Path = sites_.Path();
  p.savedBack.Path = sites_.Path();
  gDataset = {p.profile};
  w->InitSetlist();
  selectRow(0);
  EXPECT_EQ(w->PagePanel1.Value(), 1);
  EXPECT_FALSE(w->BevelButton1.Enabled());
  EXPECT_TRUE(w->BevelButton2.Enabled());
  EXPECT_TRUE(w->Toolbar11.ToolItem1.Enabled());
  EXPECT_EQ(w->StaticText20.Text(), p.mask);
  EXPECT_EQ(w->EditField3.Text(), p.profile.Pass);
  EXPECT_EQ(w->EditField3.FieldKind(), EditField::Password);
  EXPECT_EQ(w->StaticText18.Text(), p.profile.Adrs);
  EXPECT_EQ(w->StaticText19.Text(), p.profile.User);
  EXPECT_EQ(w->StaticText21.Text(), p.profile.rDir);
  EXPECT_EQ(w->StaticText22.Text(), sites_.Path());
  EXPECT_EQ(w->EditField6.Text(), sites_.Path());
  EXPECT_EQ(w->CheckBox2.Value(), p.passive);
  EXPECT_EQ(w->CheckBox3.Value(), p.passive);
  EXPECT_EQ(w->StaticText24.Text(), p.mode);
  EXPECT_EQ(w->PopupMenu1.ListIndex(), p.modeIndex);
  EXPECT_EQ(w->CheckBox4.Value(), p.zone);
  EXPECT_EQ(w->CheckBox5.Value(), p.zone);
  EXPECT_EQ(w->StaticText25.Text(), p.hoursText);
  EXPECT_EQ(w->EditField8.Text(), p.hoursField);
  ASSERT_TRUE(w->pLocalFolder.has_value());
  EXPECT_TRUE(ModalRecorder::Requests().empty());

  w->BevelButton3.Push();
  w->BevelButton5.Push();
  EXPECT_EQ(gDataset[0], p.savedBack);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, ViewPage,
    ::testing::Values(
        ViewCase{{true, "n", "a", "u", "abc", "/r", "yes", "", "up", "0"}, "***", true, "アップロードのみ", 0, false,
                 "", "", {true, "n", "a", "u", "abc", "/r", "yes", "", "up", "0"}},
        ViewCase{{true, "n", "a", "u", "秘密", "/r", "no", "", "sync", "9"}, "******", false,
                 "アップロード＆削除", 1, true, "9H", "9", {true, "n", "a", "u", "秘密", "/r", "no", "", "sync", "9"}},
        ViewCase{{true, "n", "a", "u", "", "/r", "YES", "", "Sync", "-3"}, "", false, "アップロードのみ", 0, true,
                 "-3H", "-3", {true, "n", "a", "u", "", "/r", "no", "", "up", "-3"}},
        // as typed into an earlier version: the compare goes by -4
        ViewCase{{true, "n", "a", "u", "", "/r", "yes", "", "up", "-3:30"}, "", true, "アップロードのみ", 0, true,
                 "-4H", "-4", {true, "n", "a", "u", "", "/r", "yes", "", "up", "-4"}}),
    viewCaseName);

TEST_F(ProfileTest, NewProfileFormStartsFromTheDefaults)
{
  gDataset = {stored("full", sites_.Path(), "pw", "no", "sync", "4")};
  w->InitSetlist();
  selectRow(0);
  selectRow(-1);
  w->BevelButton1.Push();
  EXPECT_EQ(w->PagePanel1.Value(), 2);
  EXPECT_FALSE(w->BevelButton1.Enabled());
  EXPECT_FALSE(w->BevelButton2.Enabled());
  for (EditField* f : {&w->EditField7, &w->EditField1, &w->EditField2, &w->EditField3, &w->EditField4,
                       &w->EditField6, &w->EditField8})
    EXPECT_EQ(f->Text(), "") << f->Name();
  for (StaticText* t : {&w->StaticText17, &w->StaticText18, &w->StaticText19, &w->StaticText20, &w->StaticText21,
                        &w->StaticText22, &w->StaticText25})
    EXPECT_EQ(t->Text(), "") << t->Name();
  EXPECT_EQ(w->StaticText24.Text(), "アップロードのみ");
  EXPECT_TRUE(w->CheckBox2.Value());
  EXPECT_TRUE(w->CheckBox3.Value());
  EXPECT_FALSE(w->CheckBox4.Value());
  EXPECT_FALSE(w->CheckBox5.Value());
  EXPECT_EQ(w->PopupMenu1.ListIndex(), 0);

  w->BevelButton5.Push(); // the empty form is a profile too
  ASSERT_EQ(gDataset.size(), 2u);
  EXPECT_EQ(gDataset[1], (Dataset{true, "", "", "", "", "", "yes", "", "up", "0"}));
}

TEST_F(ProfileTest, TimeZoneBoxFillsTheLocalOffsetAndAnEmptyFieldSavesNone)
{
  gTzone = 9;
  w->BevelButton1.Push();
  w->CheckBox4.SetValue(true);
  EXPECT_EQ(w->EditField8.Text(), "9");
  w->CheckBox4.SetValue(false);
  EXPECT_EQ(w->EditField8.Text(), "");
  w->CheckBox4.SetValue(true);
  w->EditField8.SetText("");
  w->EditField7.SetText("tz");
  w->BevelButton5.Push();
  EXPECT_EQ(gDataset.back().Zone, "0");
  EXPECT_FALSE(w->CheckBox4.Value());
  EXPECT_FALSE(w->CheckBox5.Value());
}

// St. John's is 3:30 west of GMT (2:30 in summer): the box offers the
// whole hour below, so a corrected server date is never later than it is.
TEST_F(ProfileTest, TimeZoneBoxRoundsAHalfHourZoneDown)
{
  {
    EnvGuard tz("TZ", "America/St_Johns");
    gGetTimeZone();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    w->BevelButton1.Push();
    w->CheckBox4.SetValue(true);
    EXPECT_EQ(w->EditField8.Text(), local.tm_isdst > 0 ? "-3" : "-4");
  }
  tzset();
}

struct LongField {
  const char* key;
  EditField Window1::*field;
  std::string label;
  bool zone;
};

class TooLong : public ProfileTest, public ::testing::WithParamInterface<LongField> {};

TEST_P(TooLong, FieldBeyond255BytesIsRefusedAndTheFormKeepsIt)
{
  const LongField& p = GetParam();
  w->BevelButton1.Push();
  w->EditField7.SetText("name");
  ModalRecorder::PushPath(sites_.Path());
  w->BevelButton4.Push();
  ModalRecorder::Clear();
  if (p.zone)
    w->CheckBox4.SetValue(true);
  EditField& field = w->*p.field;
  // 85 three-byte characters are 255 bytes: that still fits.
  std::string fits;
  for (int i = 0; i < 85; ++i)
    fits += "あ";
  field.SetText(fits);
  w->BevelButton5.Push();
  ASSERT_EQ(gDataset.size(), 1u);
  EXPECT_TRUE(ModalRecorder::Requests().empty());

  selectRow(0);
  w->BevelButton3.Push();
  const std::string tooLong = fits + "x";
  field.SetText(tooLong);
  w->BevelButton5.Push();
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].message, "「" + p.label + "」が長すぎます。255バイト以内で入力して下さい。");
  EXPECT_EQ(ModalRecorder::Requests()[0].buttons[0], "OK");
  EXPECT_EQ(field.Text(), tooLong);
  EXPECT_EQ(w->PagePanel1.Value(), 2);
  ASSERT_EQ(gDataset.size(), 1u);
  Quit();
  EXPECT_EQ(datasetBytes().find(tooLong), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Fields, TooLong,
                         ::testing::Values(LongField{"Name", &Window1::EditField7, "セット名", false},
                                           LongField{"Adrs", &Window1::EditField1, "アドレス", false},
                                           LongField{"User", &Window1::EditField2, "ユーザ", false},
                                           LongField{"Pass", &Window1::EditField3, "パスワード", false},
                                           LongField{"rDir", &Window1::EditField4, "ディレクトリ", false},
                                           LongField{"Zone", &Window1::EditField8, "タイムゾーン補正", true}),
                         [](const auto& info) { return std::string(info.param.key); });

TEST_F(ProfileTest, LongLocalFolderPathIsKeptWhole)
{
  std::string deep = sites_.Path();
  while (deep.size() < 300) {
    deep += "/folder-with-a-long-name";
    mkdir(deep.c_str(), 0700);
  }
  create({"deep", "h", "u", "p", "/", true, deep, 0, false, ""});
  EXPECT_TRUE(ModalRecorder::Requests().size() == 1u); // the folder chooser only
  Quit();
  EXPECT_NE(datasetBytes().find(int32(static_cast<std::int32_t>(deep.size() + 1)) + deep + "/"), std::string::npos);
}

TEST_F(ProfileTest, MissingLocalFolderIsReportedOnEverySelectionAndTheProfileStillShows)
{
  gDataset = {stored("gone", sites_ / "missing"), stored("empty", ""), stored("file", sites_ / "f")};
  sites_.Write("f", "x");
  w->InitSetlist();
  for (int row : {0, 1, 2, 0}) {
    ModalRecorder::Clear();
    selectRow(-1);
    selectRow(row);
    ASSERT_EQ(ModalRecorder::Requests().size(), 1u) << row;
    EXPECT_EQ(ModalRecorder::Requests()[0].message, "ローカルフォルダが見つかりません。再指定して下さい。");
    EXPECT_EQ(ModalRecorder::Requests()[0].explanation, "");
    EXPECT_EQ(ModalRecorder::Requests()[0].parent, w);
    EXPECT_EQ(w->PagePanel1.Value(), 1);
    EXPECT_TRUE(w->Toolbar11.ToolItem1.Enabled());
    // The missing folder is kept for the connect sequence's own check; an
    // empty path names no folder at all.
    EXPECT_EQ(w->pLocalFolder.has_value(), row != 1);
  }
  EXPECT_EQ(w->pLocalFolder->AbsolutePath(), sites_ / "missing");
}

TEST_F(ProfileTest, ChosenFolderGoesIntoTheFieldOnlyAndCancelKeepsIt)
{
  gDataset = {stored("s", sites_.Path())};
  w->InitSetlist();
  selectRow(0);
  w->BevelButton3.Push();
  const std::string other = sites_ / "other";
  mkdir(other.c_str(), 0700);
  ModalRecorder::PushPath(other + "/./");
  w->BevelButton4.Push();
  EXPECT_EQ(ModalRecorder::Requests().back().kind, ModalKind::SelectFolder);
  EXPECT_EQ(w->EditField6.Text(), other + "/");
  EXPECT_EQ(w->pLocalFolder->AbsolutePath(), sites_.Path() + "/");
  ModalRecorder::PushPath("");
  w->BevelButton4.Push();
  EXPECT_EQ(w->EditField6.Text(), other + "/");
}

class ConnectOnSelect : public ProfileTest, public ::testing::WithParamInterface<int> {};

TEST_P(ConnectOnSelect, SelectingConnectsOnlyWhenTheSlotIsOne)
{
  const int slot = GetParam();
  const int expected = slot == 1 ? 1 : 0;
  gPref[PrefConnectOnSelect] = slot;
  gDataset = {stored("s", sites_.Path())};
  w->InitSetlist();
  selectRow(0);
  EXPECT_EQ(connects, expected);
  // The re-selection after "保存" counts as a selection too.
  w->BevelButton3.Push();
  w->BevelButton5.Push();
  EXPECT_EQ(connects, 2 * expected);
  selectRow(-1);
  EXPECT_EQ(connects, 2 * expected);
}

INSTANTIATE_TEST_SUITE_P(Slot9, ConnectOnSelect, ::testing::Values(0, 1, 2, -1), [](const auto& info) {
  return (info.param < 0 ? "minus" : "") + std::to_string(info.param < 0 ? -info.param : info.param);
});

TEST_F(ProfileTest, DoubleClickConnectsOnlyWithASelectedProfile)
{
  gDataset = {stored("s", sites_.Path())};
  w->InitSetlist();
  w->ListBox1.DoubleClick();
  EXPECT_EQ(connects, 0);
  selectRow(0);
  w->ListBox1.DoubleClick();
  EXPECT_EQ(connects, 1);
}

TEST_F(ProfileTest, SelectionIsIgnoredWhileConnected)
{
  gPref[PrefConnectOnSelect] = 1;
  gDataset = {stored("s", sites_.Path()), stored("t", sites_.Path())};
  w->InitSetlist();
  selectRow(0);
  w->pMode = 1;
  selectRow(1);
  EXPECT_EQ(w->StaticText17.Text(), "s");
  EXPECT_EQ(connects, 1);
  selectRow(-1);
  EXPECT_EQ(w->PagePanel1.Value(), 1);
  EXPECT_TRUE(w->Toolbar11.ToolItem1.Enabled());
}
