#include "AppFixture.h"

#include "framework/Menu.h"

#include <QTest>

#include <filesystem>
#include <fstream>
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

TEST_F(AppFixture, SaveToAnUnwritablePlaceReportsAndKeepsTheOldFile)
{
  if (geteuid() == 0)
    GTEST_SKIP() << "root writes everywhere";
  StartUp();
  const std::string dir = tempDir();
  { std::ofstream(dir + "/old.txt") << "old"; }
  std::filesystem::permissions(dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  w->updateStatus("new");
  ModalRecorder::PushPath(dir + "/old.txt");
  w->SaveLog();
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
  ASSERT_FALSE(ModalRecorder::Requests().empty());
  EXPECT_EQ(ModalRecorder::Requests().back().kind, ModalKind::MessageBox);
  EXPECT_NE(ModalRecorder::Requests().back().message.find("could not be saved"), std::string::npos);
  EXPECT_EQ(readFile(dir + "/old.txt"), "old");
  std::filesystem::remove_all(dir);
}

TEST_F(AppFixture, SaveIntoAMissingFolderReportsInEnglish)
{
  StartUp();
  w->updateStatus("x");
  ModalRecorder::PushPath("/nonexistent-quill-folder/log.txt");
  w->SaveLog();
  ASSERT_EQ(ModalRecorder::Requests().size(), 2u);
  EXPECT_EQ(ModalRecorder::Requests()[1].kind, ModalKind::MessageBox);
  EXPECT_NE(ModalRecorder::Requests()[1].message.find("/nonexistent-quill-folder/log.txt"), std::string::npos);
}

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

TEST_F(AppFixture, SaveThatCannotReplaceTheTargetLeavesNoTemporaryFileBehind)
{
  StartUp();
  const std::string dir = tempDir();
  std::filesystem::create_directories(dir + "/taken/inside");
  w->updateStatus("x");
  ModalRecorder::PushPath(dir + "/taken");
  w->SaveLog();
  EXPECT_EQ(ModalRecorder::Requests().back().kind, ModalKind::MessageBox);
  EXPECT_TRUE(std::filesystem::is_directory(dir + "/taken/inside"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  std::filesystem::remove_all(dir);
}

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
