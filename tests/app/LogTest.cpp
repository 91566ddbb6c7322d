#include "AppFixture.h"
#include "AsNobody.h"

#include "framework/Display.h"
#include "framework/Menu.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {
std::string readFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string tempDir()
{
  char t[] = "/tmp/quill-log-XXXXXX";
  return mkdtemp(t);
}
} // namespace

TEST_F(AppFixture, LinesAreAppendedAtTheEndWhateverIsSelected)
{
  StartUp();
  w->updateStatus("220 ready");
  w->updateStatus("");
  w->EditField5.SetSelection(0, 3);
  w->updateStatus("331 <b>user</b> ok");
  EXPECT_EQ(w->EditField5.Text(), "220 ready\n\n331 <b>user</b> ok\n");
}

// Lines reach the pane by the next frame: every one, in order, also across a
// read, a selection and a clear that come before they are shown.
TEST_F(AppFixture, EveryLineIsShownAndSavedInOrderAcrossFrames)
{
  StartUp();
  const std::string dir = tempDir();
  std::string expected;
  int n = 0;
  auto lines = [&](int count) {
    for (int i = 0; i < count; ++i, ++n) {
      w->updateStatus("226 reply " + std::to_string(n));
      expected += "226 reply " + std::to_string(n) + "\n";
      if (n % 7 == 0)
        ProcessPendingEvents(0);
    }
  };
  lines(40);
  ModalRecorder::PushButton(0); // "クリア"
  w->ClearLog();
  expected.clear();
  lines(40);
  EXPECT_EQ(w->EditField5.Text(), expected);
  lines(40);
  w->EditField5.SetSelection(0, 3);
  lines(40);
  PumpFor(2 * display::kFrameMs + 20);
  auto* pane = static_cast<QPlainTextEdit*>(w->EditField5.Widget());
  EXPECT_EQ(pane->toPlainText().toStdString(), expected);
  lines(40);
  ModalRecorder::PushPath(dir + "/log.txt");
  w->SaveLog();
  EXPECT_EQ(readFile(dir + "/log.txt"), expected);
  std::filesystem::remove_all(dir);
}

TEST_F(AppFixture, ClearAnsweredCancelKeepsEverythingAndGivesTheItemBack)
{
  StartUp();
  w->updateStatus("line");
  w->localListBox.AddRow("a");
  w->pMode = 2;
  w->Toolbar11.ToolItem6.SetEnabled(false); // as the toolbar command does first
  ModalRecorder::PushButton(1);
  w->ClearLog();
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  const ModalRequest& r = ModalRecorder::Requests()[0];
  EXPECT_EQ(r.kind, ModalKind::MessageDialog);
  EXPECT_EQ(r.message, "本当にクリアしますか？");
  EXPECT_EQ(r.explanation, "この操作は取り消しができません。");
  EXPECT_EQ(r.buttons[0], "クリア");
  EXPECT_EQ(r.buttons[1], "キャンセル");
  EXPECT_EQ(w->EditField5.Text(), "line\n");
  EXPECT_EQ(w->localListBox.ListCount(), 1);
  EXPECT_EQ(w->pMode, 2);
  EXPECT_TRUE(w->Toolbar11.ToolItem6.Enabled());
}

TEST_F(AppFixture, ClearAnsweredClearEmptiesLogTreesAndState)
{
  StartUp();
  w->updateStatus("line");
  w->localListBox.AddRow("a");
  w->remoteListBox.AddFolder("b");
  w->pMode = 2;
  w->pGroupL = 4;
  w->pUpload = 2;
  w->getList = true;
  ModalRecorder::PushButton(0);
  w->ClearLog();
  EXPECT_EQ(w->EditField5.Text(), "");
  EXPECT_EQ(w->localListBox.ListCount(), 0);
  EXPECT_EQ(w->remoteListBox.ListCount(), 0);
  EXPECT_EQ(w->pMode, 0);
  EXPECT_EQ(w->pGroupL, -1);
  EXPECT_EQ(w->pUpload, 0);
  EXPECT_FALSE(w->getList);
}

TEST_F(AppFixture, SaveWritesExactlyTheLogText)
{
  StartUp();
  const std::string dir = tempDir();
  w->updateStatus("220 ready");
  w->updateStatus("226 done");
  ModalRecorder::PushPath(dir + "/log.txt");
  EXPECT_TRUE(w->GetMenuBar()->Lookup("FileSaveLog") != nullptr);
  EXPECT_TRUE(w->HandleMenu("FileSaveLog"));
  EXPECT_EQ(ModalRecorder::Requests().back().kind, ModalKind::SaveFile);
  EXPECT_EQ(readFile(dir + "/log.txt"), "220 ready\n226 done\n");
  EXPECT_EQ(w->EditField5.Text(), "220 ready\n226 done\n");
  std::filesystem::remove_all(dir);
}

TEST_F(AppFixture, SaveOfAnEmptyLogMakesAnEmptyFileAndCancelWritesNothing)
{
  StartUp();
  const std::string dir = tempDir();
  ModalRecorder::PushPath(dir + "/empty.txt");
  w->SaveLog();
  EXPECT_TRUE(std::filesystem::exists(dir + "/empty.txt"));
  EXPECT_EQ(std::filesystem::file_size(dir + "/empty.txt"), 0u);
  ModalRecorder::PushPath("");
  w->SaveLog();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  std::filesystem::remove_all(dir);
}

// A save that cannot be carried out: where it goes, made ready in a fresh folder.
struct SaveFailure {
  const char* name;
  std::string (*prepare)(const std::string& dir); // returns the chosen path
  bool needsPermissions;
};

// Every file below the folder with its bytes, and every folder.
std::map<std::string, std::string> contents(const std::string& dir)
{
  std::map<std::string, std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    out[e.path().string()] = e.is_directory() ? "<dir>" : readFile(e.path().string());
  return out;
}

class SaveLogFailure : public AppFixture, public ::testing::WithParamInterface<SaveFailure> {};

TEST_P(SaveLogFailure, IsReportedInEnglishAndLeavesTheFolderAsItWas)
{
  StartUp();
  const std::string dir = tempDir();
  const std::string target = GetParam().prepare(dir);
  const auto before = contents(dir);
  w->updateStatus("new");
  ModalRecorder::PushPath(target);
  const auto save = [&] {
    w->SaveLog();
    ASSERT_EQ(ModalRecorder::Requests().size(), 2u);
    EXPECT_EQ(ModalRecorder::Requests()[1].kind, ModalKind::MessageBox);
    EXPECT_NE(ModalRecorder::Requests()[1].message.find("could not be saved to \"" + target), std::string::npos);
  };
  if (GetParam().needsPermissions)
    RunAsNobody(save); // root would write anyway
  else
    save();
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
  EXPECT_EQ(contents(dir), before); // the old file whole, no temporary file left
  std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Places, SaveLogFailure,
    ::testing::Values(SaveFailure{"MissingFolder", [](const std::string& dir) { return dir + "/missing/log.txt"; },
                                  false},
                      SaveFailure{"TargetIsAFolder",
                                  [](const std::string& dir) {
                                    std::filesystem::create_directories(dir + "/taken/inside");
                                    return dir + "/taken";
                                  },
                                  false},
                      SaveFailure{"UnwritableFolder",
                                  [](const std::string& dir) {
                                    std::ofstream(dir + "/old.txt") << "old";
                                    using std::filesystem::perms;
                                    std::filesystem::permissions(dir, perms::owner_read | perms::owner_exec |
                                                                          perms::group_read | perms::group_exec |
                                                                          perms::others_read | perms::others_exec);
                                    return dir + "/old.txt";
                                  },
                                  true}),
    [](const auto& info) { return std::string(info.param.name); });

class StripLeading : public AppFixture,
                     public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(StripLeading, DropsOnlyLeadingSpacesAndTabs)
{
  StartUp();
  EXPECT_EQ(w->stripLeadingWhiteSpace(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Texts, StripLeading,
                         ::testing::Values(std::pair{" \tabc ", "abc "}, std::pair{"   ", ""}, std::pair{"", ""},
                                           std::pair{"a b", "a b"}));

TEST_F(AppFixture, EditShortcutsWorkInATextField)
{
  StartUp();
  w->PagePanel1.SetValue(2);
  w->EditField2.SetText("anonymous");
  w->EditField2.SetFocus();
  ProcessPendingEvents(20);
  QWidget* field = w->EditField2.Widget();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(w->EditField2.Text(), "");
  QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w->EditField2.Text(), "anonymousanonymous");
  QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(w->EditField2.Text(), "anonymous");
}

TEST_F(AppFixture, ALineHoldingCarriageReturnsShowsAsSeveralLines)
{
  StartUp();
  w->updateStatus("a\rb");
  EXPECT_EQ(w->EditField5.Text(), "a\nb\n");
}

TEST_F(AppFixture, UndoAndRedoNeverChangeTheLog)
{
  StartUp();
  const std::string dir = tempDir();
  w->updateStatus("220 ready");
  w->updateStatus("331 send password");
  w->EditField5.SetFocus();
  ProcessPendingEvents(20);
  QWidget* log = w->EditField5.Widget();
  QTest::keyClick(log, Qt::Key_Z, Qt::ControlModifier);
  w->GetMenuBar()->Lookup("EditUndo")->Action()->trigger();
  QTest::keySequence(log, QKeySequence::Redo);
  EXPECT_EQ(w->EditField5.Text(), "220 ready\n331 send password\n");
  ModalRecorder::PushPath(dir + "/log.txt");
  w->SaveLog();
  EXPECT_EQ(readFile(dir + "/log.txt"), "220 ready\n331 send password\n");
  std::filesystem::remove_all(dir);
}
