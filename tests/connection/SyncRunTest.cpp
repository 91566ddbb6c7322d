// The run's plan, order and step machine, driven by hand-fed replies.

#include "connection/ConnectionTexts.h"
#include "connection/SyncRun.h"

#include "framework/FolderItem.h"
#include "framework/ListBox.h"
#include "framework/Window.h"
#include "settings/Globals.h"
#include "trees/ListBoxTreeView.h"

#include "ModalRecorder.h"
#include "Records.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>

namespace {

// A list view that counts the cells read from it.
class CountingView : public ListBoxTreeView {
public:
  using ListBoxTreeView::ListBoxTreeView;
  mutable long long reads = 0;
  std::string Cell(int row, int column) const override
  {
    ++reads;
    return ListBoxTreeView::Cell(row, column);
  }
};

class RunUnderTest : public SyncRun {
public:
  std::vector<std::string> sent;
  std::vector<std::string> log;
  std::vector<std::string> headings;
  std::vector<std::vector<std::string>> listed;
  std::deque<bool> confirmAnswers;
  std::deque<std::string> typeAnswers;
  std::vector<std::string> typeQuestions;
  bool uploadAndDelete = false;
  bool idle = true;
  std::optional<FolderItem> root;
  // The two tree views, filled on demand.
  Window window;
  ListBox localBox{window, "localListBox", nullptr, 7, true};
  ListBox remoteBox{window, "remoteListBox", nullptr, 7, true};
  CountingView localView{localBox};
  CountingView remoteView{remoteBox};
  bool withViews = false;

  void ShowTrees()
  {
    withViews = true;
    localBox.ExpandRow = [this](int row) { TreeExpandRow(true, row); };
    remoteBox.ExpandRow = [this](int row) { TreeExpandRow(false, row); };
    GetCompareList35r(0, 0);
    GetCompareList35r2();
    GetCompareList36l(0, 0);
    GetCompareList36l2();
  }

  std::string GenSelectDlg(const std::string& name) override
  {
    typeQuestions.push_back(name);
    if (typeAnswers.empty())
      return {};
    std::string a = typeAnswers.front();
    typeAnswers.pop_front();
    return a;
  }

protected:
  void SyncMakeDirectory(const std::string& p) override { sent.push_back("MKD " + p); }
  void SyncStoreFile(const std::string& local, const std::string& remote, const std::string& type) override
  {
    sent.push_back("STOR " + type + " " + remote + " <- " + local);
  }
  void SyncDeleteFile(const std::string& p) override { sent.push_back("DELE " + p); }
  void SyncDeleteDirectory(const std::string& p) override { sent.push_back("RMD " + p); }
  void SyncLog(const std::string& line) override { log.push_back(line); }
  bool SyncConnectionIdle() const override { return idle; }
  bool SyncUploadAndDelete() const override { return uploadAndDelete; }
  bool SyncListConfirm(const std::string& heading, const std::vector<std::string>& rows) override
  {
    headings.push_back(heading);
    listed.push_back(rows);
    if (confirmAnswers.empty())
      return true;
    const bool a = confirmAnswers.front();
    confirmAnswers.pop_front();
    return a;
  }
  const FolderItem* TreesLocalFolder() const override { return root ? &*root : nullptr; }
  TreeView* TreesView(bool local) override
  {
    if (!withViews)
      return nullptr;
    if (local)
      return &localView;
    return &remoteView;
  }
};

// Rows whose box differs from their record's tick.
std::vector<std::string> BoxesUnlikeRecords(const ListBox& list, const SyncRecords& records)
{
  std::vector<std::string> out;
  for (int row = 0; row < list.ListCount(); ++row)
    if (list.CellCheck(row, 0) != records[std::stoul(list.Cell(row, RecordIndexColumn))].check)
      out.push_back(list.Cell(row, 0));
  return out;
}

class SyncRunTest : public ::testing::Test {
protected:
  TempDir dir;
  RunUnderTest run;
  std::string base;

  void SetUp() override
  {
    ModalRecorder::Clear();
    gPref[PrefConfirmSync] = 1;
    gPref[PrefBeepOnCaution] = 0;
    gFileType = {{"txt", "A"}, {"gif", "I"}, {"png", "I"}, {"html", "A"}};
    std::filesystem::create_directories(dir / "img");
    for (const char* f : {"a.txt", "z.html", "img/b.gif", "img/c.png"})
      dir.Write(f, "x");
    run.root = GetFolderItem(dir.Path());
    base = run.root->AbsolutePath(); // ends in "/"
    run.pRootR = "/pub";
    // root: a.txt (ticked), img/ (ticked, content unticked), z.html
    run.pSyncL = {Rec("f", "a.txt", base + "a.txt", 0, true), Rec("d", "img", base + "img/", 0, true, 3, 2),
                  Rec("f", "z.html", base + "z.html", 0, false), Rec("f", "b.gif", base + "img/b.gif", 1, false),
                  Rec("f", "c.png", base + "img/c.png", 1, false)};
    // remote: old.txt (ticked), olddir/ (ticked) with x (unticked), y (ticked)
    run.pSyncR = {Rec("f", "old.txt", "/pub/old.txt", 0, true), Rec("d", "olddir", "/pub/olddir", 0, true, 2, 2),
                  Rec("f", "x", "/pub/olddir/x", 1, false), Rec("f", "y", "/pub/olddir/y", 1, true)};
  }

  std::string Stor(const std::string& type, const std::string& rel)
  {
    return "STOR " + type + " /pub/" + rel + " <- " + base + rel;
  }

  // Carries out the upload phase of the fixture's plan.
  void RunUploads()
  {
    run.SyncUpload();
    run.SyncTransferComplete(); // a.txt
    run.SyncReplyLine("257 \"/pub/img\" created");
    run.SyncTransferComplete(); // b.gif
    run.SyncTransferComplete(); // c.png
  }
};

TEST_F(SyncRunTest, UploadPlanTakesFolderContentInPathOrderAndConfirmsIt)
{
  run.SyncUpload();
  ASSERT_EQ(run.headings.size(), 1u);
  EXPECT_EQ(run.headings[0], ConnectionText::UploadHeading);
  EXPECT_EQ(run.listed[0], (std::vector<std::string>{"/a.txt", "/img", "/img/b.gif", "/img/c.png"}));
  EXPECT_EQ(run.pSyncList, (std::vector<std::int32_t>{0, 1, 3, 4}));
  EXPECT_FALSE(run.pSyncL[2].sync);
  ASSERT_EQ(run.sent.size(), 1u);
  EXPECT_EQ(run.sent[0], Stor("A", "a.txt"));
}

TEST_F(SyncRunTest, WholeUploadRunSendsOneCommandPerFinishedStepAndEndsOnce)
{
  RunUploads();
  EXPECT_EQ(run.sent, (std::vector<std::string>{Stor("A", "a.txt"), "MKD /pub/img", Stor("I", "img/b.gif"),
                                                Stor("I", "img/c.png")}));
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1);
  EXPECT_FALSE(run.SyncRunning());
  // Later replies and transfer ends neither send nor announce anything.
  run.SyncReplyLine("226 Transfer complete.");
  run.SyncTransferComplete();
  EXPECT_EQ(run.sent.size(), 4u);
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1);
  // Everything was carried out, so a second run has nothing to queue.
  run.SyncUpload();
  EXPECT_TRUE(run.pSyncList.empty());
}

// Lines that reach the reply handler while a MKD is in flight but are not
// its final reply.
class NotTheFinalReply : public SyncRunTest, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(NotTheFinalReply, DoesNotStartTheNextStep)
{
  run.SyncUpload();
  run.SyncTransferComplete();
  ASSERT_EQ(run.sent.back(), "MKD /pub/img");
  for (const auto& line : GetParam())
    run.SyncReplyLine(line);
  EXPECT_EQ(run.sent.back(), "MKD /pub/img");
  run.SyncReplyLine("257 \"/pub/img\" created");
  EXPECT_EQ(run.sent.back(), Stor("I", "img/b.gif"));
}

INSTANTIATE_TEST_SUITE_P(Lines, NotTheFinalReply,
                         ::testing::Values(std::vector<std::string>{"257-Folder made", "257-still going"},
                                           std::vector<std::string>{"226 Transfer complete."},
                                           std::vector<std::string>{"221 Goodbye."},
                                           std::vector<std::string>{"150 Opening", "not a reply line"}));

TEST_F(SyncRunTest, MultiLineFinalReplyEndsRemovalStepOnlyAtItsLastLine)
{
  run.uploadAndDelete = true;
  run.pSyncL.clear();
  ModalRecorder::PushButton(0); // keep going: x joins the removal
  run.SyncUpload();
  ASSERT_EQ(run.sent, (std::vector<std::string>{"DELE /pub/olddir/y"}));
  run.SyncReplyLine("250-Deleting");
  run.SyncReplyLine("250-y");
  EXPECT_EQ(run.sent.size(), 1u);
  run.SyncReplyLine("250 Done");
  EXPECT_EQ(run.sent.back(), "DELE /pub/olddir/x");
}

TEST_F(SyncRunTest, UploadAndDeleteRemovesDeepestFirstAfterTheUploads)
{
  run.uploadAndDelete = true;
  ModalRecorder::PushButton(0); // "継続" for the unticked x
  RunUploads();
  ASSERT_EQ(run.headings.size(), 2u);
  EXPECT_EQ(run.headings[1], ConnectionText::RemoveHeading);
  EXPECT_EQ(run.listed[1],
            (std::vector<std::string>{"/pub/olddir/y", "/pub/olddir/x", "/pub/olddir", "/pub/old.txt"}));
  EXPECT_TRUE(run.pSyncR[2].check);
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0);
  for (const char* reply : {"250 ok", "250 ok", "250 ok"})
    run.SyncReplyLine(reply);
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0);
  run.SyncReplyLine("250 ok");
  EXPECT_EQ(std::vector<std::string>(run.sent.end() - 4, run.sent.end()),
            (std::vector<std::string>{"DELE /pub/olddir/y", "DELE /pub/olddir/x", "RMD /pub/olddir",
                                      "DELE /pub/old.txt"}));
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1);
}

// A server that ignores case writes "a.txt" into its "A.TXT", and one that
// ignores normalisation the composed "Ä" into its decomposed one: deleting
// the server's name afterwards would delete what was just stored. Such
// entries stay, unticked, and the log says why; names and folders fold as
// such a server folds them, beyond ASCII too; a namesake in another folder
// goes as planned.
TEST_F(SyncRunTest, RemovalKeepsWhatDiffersOnlyInCaseOrFormFromWhatThisRunStoredOrMade)
{
  run.uploadAndDelete = true;
  gPref[PrefConfirmSync] = 0;
  dir.Write("Ärger.txt", "x");
  run.pSyncL.push_back(Rec("f", "Ärger.txt", base + "Ärger.txt", 0, true));
  run.pSyncR = {Rec("f", "A.TXT", "/pub/A.TXT", 0, true),         Rec("d", "IMG", "/pub/IMG", 0, true, 6, 1),
                Rec("f", "old.txt", "/pub/old.txt", 0, true),     Rec("d", "other", "/pub/other", 0, true, 5, 1),
                Rec("f", "a\u0308rger.txt", "/pub/a\u0308rger.txt", 0, true), Rec("f", "a.txt", "/pub/other/a.txt", 1, true),
                Rec("f", "B.GIF", "/pub/IMG/B.GIF", 2, true)};
  RunUploads();
  run.SyncTransferComplete(); // Ärger.txt
  ASSERT_EQ(run.sent[4], Stor("A", "Ärger.txt"));
  for (int i = 0; i < 3; ++i)
    run.SyncReplyLine("250 ok");
  EXPECT_EQ(std::vector<std::string>(run.sent.begin() + 5, run.sent.end()),
            (std::vector<std::string>{"DELE /pub/other/a.txt", "RMD /pub/other", "DELE /pub/old.txt"}));
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1);
  ASSERT_EQ(run.log.size(), 4u);
  for (const char* kept : {"/pub/A.TXT", "/pub/IMG", "/pub/IMG/B.GIF", "/pub/a\u0308rger.txt"})
    EXPECT_TRUE(std::any_of(run.log.begin(), run.log.end(),
                            [&](const std::string& line) { return line.rfind("Kept " + std::string(kept) + " on", 0) == 0; }))
        << kept;
  for (int i : {0, 1, 4, 6})
    EXPECT_FALSE(run.pSyncR[i].check) << run.pSyncR[i].path;
}

enum class LaterRun { SameConnection, AfterAFailedRun, AfterSwitchingToDelete };

class CaseTwinOfWhatWasStored : public SyncRunTest, public ::testing::WithParamInterface<LaterRun> {};

// What the case rule kept stays kept as long as the compare's records: a
// later "同期" deletes it neither after a finished run, nor after one that
// failed past the STOR, nor once the mode allows deleting.
TEST_P(CaseTwinOfWhatWasStored, StaysKeptInLaterRuns)
{
  gPref[PrefConfirmSync] = 0;
  run.pSyncR = {Rec("f", "A.TXT", "/pub/A.TXT", 0, true), Rec("f", "old.txt", "/pub/old.txt", 0, true)};
  run.uploadAndDelete = GetParam() != LaterRun::AfterSwitchingToDelete;
  if (GetParam() == LaterRun::AfterAFailedRun) {
    run.SyncUpload();
    run.SyncTransferComplete(); // a.txt
    run.SyncFailed();           // at the MKD of img
    run.SyncUpload();
    run.SyncReplyLine("257 \"/pub/img\" created");
    run.SyncTransferComplete();
    run.SyncTransferComplete();
  } else {
    RunUploads();
  }
  run.SyncReplyLine("250 ok"); // old.txt, when deleted
  run.uploadAndDelete = true;
  run.SyncUpload();
  run.SyncReplyLine("250 ok");
  EXPECT_EQ(std::count(run.sent.begin(), run.sent.end(), "DELE /pub/old.txt"), 1);
  EXPECT_EQ(std::count(run.sent.begin(), run.sent.end(), "DELE /pub/A.TXT"), 0);
  EXPECT_FALSE(run.pSyncR[0].check);
  EXPECT_FALSE(run.SyncRunning());
}

const char* const kLaterRunNames[] = {"sameConnection", "afterAFailedRun", "afterSwitchingToDelete"};

INSTANTIATE_TEST_SUITE_P(Runs, CaseTwinOfWhatWasStored,
                         ::testing::Values(LaterRun::SameConnection, LaterRun::AfterAFailedRun,
                                           LaterRun::AfterSwitchingToDelete),
                         [](const auto& info) { return std::string(kLaterRunNames[static_cast<int>(info.param)]); });

// A folder whose listing was not read whole cannot be emptied: it and the
// folders above it stay, unasked, while what was read beside it goes.
TEST_F(SyncRunTest, RemovalLeavesFoldersNotReadWholeAndTheFoldersAboveThem)
{
  run.uploadAndDelete = true;
  run.pSyncL.clear();
  run.pSyncR = {Rec("d", "old", "/pub/old", 0, true, 1, 2), Rec("f", "a.txt", "/pub/old/a.txt", 1, true),
                Rec("d", "sub", "/pub/old/sub", 1, false, 3, 0)};
  run.pSyncR[2].unread = true;
  run.SyncUpload();
  run.SyncReplyLine("250 ok");
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::KeepChildQuestion), 0);
  EXPECT_EQ(run.sent, (std::vector<std::string>{"DELE /pub/old/a.txt"}));
  EXPECT_EQ(run.listed.back(), (std::vector<std::string>{"/pub/old/a.txt"}));
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1);
  ASSERT_EQ(run.log.size(), 1u);
  EXPECT_EQ(run.log[0].rfind("Kept /pub/old on the server", 0), 0u) << run.log[0];
}

// Only a 5xx that answers the RMD in flight keeps its folder and lets the
// run go on; any other refusal is left to end the run.
TEST_F(SyncRunTest, OnlyARefusalOfTheRmdInFlightKeepsItsFolder)
{
  run.uploadAndDelete = true;
  run.pSyncL.clear();
  ModalRecorder::PushButton(0); // "継続" for x
  run.SyncUpload();
  run.SyncReplyLine("250 ok");
  EXPECT_FALSE(run.SyncRemovalRefused("550 No such file.", "DELE /pub/olddir/x"));
  run.SyncReplyLine("250 ok");
  ASSERT_EQ(run.sent.back(), "RMD /pub/olddir");
  EXPECT_FALSE(run.SyncRemovalRefused("550 Not empty.", "DELE /pub/olddir/x"));
  EXPECT_FALSE(run.SyncRemovalRefused("450 Busy.", "RMD /pub/olddir"));
  EXPECT_TRUE(run.SyncRemovalRefused("550 Not empty.\r\n", "RMD /pub/olddir"));
  EXPECT_EQ(run.sent.back(), "DELE /pub/old.txt");
  EXPECT_EQ(run.log.back(), "Kept /pub/olddir on the server: it refused to remove it (550 Not empty.).");
}

// A compare that found the local folder empty (a drive not mounted) deletes
// nothing, whatever is ticked, also by hand and unasked, and a box says why.
TEST_F(SyncRunTest, EmptyLocalFolderDeletesNothingOnTheServer)
{
  TempDir empty;
  run.uploadAndDelete = true;
  gPref[PrefConfirmSync] = 0;
  run.root = GetFolderItem(empty.Path());
  run.pSyncL.clear();
  run.GetCompareList3();
  for (auto& r : run.pSyncR)
    r.check = true;
  run.SyncUpload();
  EXPECT_TRUE(run.sent.empty());
  EXPECT_FALSE(run.SyncRunning());
  EXPECT_EQ(ModalRecorder::Count("Nothing was deleted on the server: the local folder holds nothing to send."), 1);
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0);
}

// Many ticked folders that stay, and a ticked folder whose many files go up
// with it: their boxes are set in one pass over each view, not one per
// record, which froze the window for seconds on large trees.
TEST_F(SyncRunTest, ManyTicksSetByARunReadEachViewOnce)
{
  constexpr int kMany = 400;
  run.uploadAndDelete = true;
  gPref[PrefConfirmSync] = 0;
  run.pSyncL = {Rec("d", "big", base + "big/", 0, true, 1, kMany)};
  run.pSyncR = {Rec("d", "old", "/pub/old", 0, true, 1, kMany)};
  for (int i = 0; i < kMany; ++i) {
    const std::string name = "f" + std::to_string(i);
    run.pSyncL.push_back(Rec("f", name, base + "big/" + name, 1));
    run.pSyncR.push_back(Rec("d", name, "/pub/old/" + name, 1, true));
    run.pSyncR.back().unread = true;
  }
  run.ShowTrees();
  run.localView.reads = run.remoteView.reads = 0;
  run.SyncUpload();
  EXPECT_EQ(run.sent, (std::vector<std::string>{"MKD /pub/big"}));
  run.SyncFailed();
  EXPECT_EQ(BoxesUnlikeRecords(run.localBox, run.pSyncL), std::vector<std::string>{});
  EXPECT_LE(run.localView.reads, 2 * run.localBox.ListCount());

  run.pSyncL.clear();
  run.SyncUpload();
  EXPECT_EQ(run.log.size(), kMany + 1u);
  EXPECT_EQ(BoxesUnlikeRecords(run.remoteBox, run.pSyncR), std::vector<std::string>{});
  EXPECT_LE(run.remoteView.reads, 2 * run.remoteBox.ListCount());
}

TEST_F(SyncRunTest, ErrorEndsRunAndNextRunQueuesWhatWasNotCarriedOut)
{
  run.SyncUpload();
  run.SyncTransferComplete(); // a.txt stored
  ASSERT_EQ(run.sent.back(), "MKD /pub/img");
  run.SyncFailed(); // e.g. "550 Permission denied" to the MKD
  EXPECT_EQ(run.pUpload, 0);
  EXPECT_FALSE(run.SyncRunning());
  run.SyncReplyLine("257 late");
  run.SyncTransferComplete();
  EXPECT_EQ(run.sent.size(), 2u);
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0);

  run.sent.clear();
  run.SyncUpload();
  EXPECT_EQ(run.pSyncList, (std::vector<std::int32_t>{1, 3, 4}));
  EXPECT_EQ(run.sent, (std::vector<std::string>{"MKD /pub/img"}));
}

// Whatever the run ticks is drawn at once, so no box the user sees unticked
// is ever sent, also after a run that was given up.
TEST_F(SyncRunTest, TicksTheRunSetsAreDrawnAndStayWhenTheRunIsGivenUp)
{
  run.uploadAndDelete = true;
  run.ShowTrees();
  ASSERT_EQ(run.remoteBox.ListCount(), 4);
  ModalRecorder::PushButton(0);       // "継続" for the unticked x
  run.confirmAnswers = {true, false}; // the removals are declined
  RunUploads();
  EXPECT_FALSE(run.SyncRunning());
  EXPECT_TRUE(run.pSyncL[3].check); // b.gif went up with img
  EXPECT_TRUE(run.pSyncR[2].check); // x
  EXPECT_EQ(BoxesUnlikeRecords(run.localBox, run.pSyncL), std::vector<std::string>{});
  EXPECT_EQ(BoxesUnlikeRecords(run.remoteBox, run.pSyncR), std::vector<std::string>{});
}

// The user unticks queued records while the run goes on: they are neither
// stored nor deleted, and the next "同期" may take them again.
TEST_F(SyncRunTest, RecordsUntickedDuringTheRunAreNotSent)
{
  run.uploadAndDelete = true;
  ModalRecorder::PushButton(0); // "継続" for x
  run.SyncUpload();
  run.pSyncL[3].check = false; // b.gif
  run.SyncTransferComplete();   // a.txt
  run.SyncReplyLine("257 \"/pub/img\" created");
  ASSERT_EQ(run.sent.back(), Stor("I", "img/c.png"));
  run.pSyncR[0].check = false; // old.txt
  run.SyncTransferComplete();
  for (const char* reply : {"250 ok", "250 ok", "250 ok"})
    run.SyncReplyLine(reply);
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1);
  for (const auto& sent : run.sent) {
    EXPECT_EQ(sent.find("b.gif"), std::string::npos);
    EXPECT_EQ(sent.find("old.txt"), std::string::npos);
  }
  EXPECT_FALSE(run.pSyncL[3].sync);
  EXPECT_FALSE(run.pSyncR[0].sync);
}

TEST_F(SyncRunTest, DeclinedPlanLeavesEveryRecordForTheNextRun)
{
  run.confirmAnswers = {false};
  run.SyncUpload();
  EXPECT_TRUE(run.sent.empty());
  EXPECT_FALSE(run.SyncRunning());
  run.SyncUpload();
  EXPECT_EQ(run.pSyncList.size(), 4u);
}

TEST_F(SyncRunTest, CancelledChildQuestionAbandonsRemovalWithoutNotice)
{
  run.uploadAndDelete = true;
  run.pSyncL.clear();
  ModalRecorder::PushButton(1); // "キャンセル"
  run.SyncUpload();
  EXPECT_TRUE(run.sent.empty());
  EXPECT_FALSE(run.SyncRunning());
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0);
  for (const auto& r : run.pSyncR)
    EXPECT_FALSE(r.sync) << r.path;
}

// A press that cannot start a run says why in a box, and changes nothing.
TEST_F(SyncRunTest, SecondSyncWhileRunningIsRefused)
{
  run.SyncUpload();
  const auto list = run.pSyncList;
  ModalRecorder::Clear();
  run.SyncUpload();
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].explanation, "A run is already under way.");
  EXPECT_EQ(run.pSyncList, list);
  EXPECT_EQ(run.sent.size(), 1u);
}

TEST_F(SyncRunTest, SyncWaitsForTheConnectionAndTheCompare)
{
  run.idle = false;
  run.SyncUpload();
  run.idle = true;
  run.pSyncRFlg = true;
  run.SyncUpload();
  EXPECT_TRUE(run.sent.empty());
  EXPECT_TRUE(run.headings.empty());
  std::vector<std::string> why;
  for (const auto& r : ModalRecorder::Requests())
    why.push_back(r.message + " " + r.explanation);
  EXPECT_EQ(why, (std::vector<std::string>{"The run cannot start now. The connection to the server is busy.",
                                           "The run cannot start now. The server folder is still being listed."}));
}

TEST_F(SyncRunTest, SkippedFileGoesOnWithTheNextEntryAndStaysQueueable)
{
  gFileType = {{"gif", "I"}, {"png", "I"}, {"html", "A"}}; // no txt row
  run.typeAnswers = {"C"};
  run.SyncUpload();
  EXPECT_EQ(run.typeQuestions, (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(run.sent, (std::vector<std::string>{"MKD /pub/img"}));
  EXPECT_FALSE(run.pSyncL[0].sync);
  EXPECT_TRUE(run.pSyncL[1].sync);
}

TEST_F(SyncRunTest, VanishedLocalFileIsSkipped)
{
  std::filesystem::remove(dir / "a.txt");
  run.SyncUpload();
  EXPECT_EQ(run.sent, (std::vector<std::string>{"MKD /pub/img"}));
}

// The local root is renamed or unmounted after the compare: nothing goes to
// a place one folder off.
TEST_F(SyncRunTest, VanishedLocalRootMovesNoRemotePath)
{
  std::filesystem::rename(dir.Path(), dir.Path() + ".moved");
  run.SyncUpload();
  std::filesystem::rename(dir.Path() + ".moved", dir.Path());
  EXPECT_EQ(run.listed[0], (std::vector<std::string>{"/a.txt", "/img", "/img/b.gif", "/img/c.png"}));
  EXPECT_EQ(run.sent, (std::vector<std::string>{"MKD /pub/img"}));
}

TEST_F(SyncRunTest, EmptyPlansEndAtOnce)
{
  for (auto& r : run.pSyncL)
    r.check = false;
  run.SyncUpload(); // upload only: nothing, no notice
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0);
  for (auto& r : run.pSyncR)
    r.check = false;
  run.uploadAndDelete = true;
  run.SyncUpload(); // both lists empty: the run is over
  EXPECT_EQ(run.headings, (std::vector<std::string>{ConnectionText::UploadHeading, ConnectionText::UploadHeading,
                                                    ConnectionText::RemoveHeading}));
  EXPECT_TRUE(run.sent.empty());
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1);
  EXPECT_FALSE(run.SyncRunning());
}

struct PathCase {
  std::string local; // relative to the local root
  std::string rootR;
  std::string full;
  std::string root;
};

class RemotePathOfLocalRecord : public SyncRunTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(RemotePathOfLocalRecord, MapsBelowTheRemoteRoot)
{
  run.pRootR = GetParam().rootR;
  run.pSyncL = {Rec("f", "n", base + GetParam().local, 0, false)};
  EXPECT_EQ(run.SyncUpload2Path(0, "full"), GetParam().full);
  EXPECT_EQ(run.SyncUpload2Path(0, "root"), GetParam().root);
}

INSTANTIATE_TEST_SUITE_P(Paths, RemotePathOfLocalRecord,
                         ::testing::Values(PathCase{"a.gif", "/public", "/public/a.gif", "/a.gif"},
                                           PathCase{"img/", "/public", "/public/img", "/img"},
                                           PathCase{"img/a.gif", "/public", "/public/img/a.gif", "/img/a.gif"},
                                           PathCase{"x y/ü.txt", "/a b", "/a b/x y/ü.txt", "/x y/ü.txt"}));

struct TypeCase {
  std::vector<FileTypeEntry> table;
  std::string name;
  std::string answer; // of the question, when asked
  std::string result;
  bool asked;
};

class TransferType : public SyncRunTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(TransferType, ComesFromTheTableOrTheQuestion)
{
  gFileType = GetParam().table;
  run.typeAnswers = {GetParam().answer};
  EXPECT_EQ(run.ChkFileType(GetParam().name), GetParam().result);
  EXPECT_EQ(!run.typeQuestions.empty(), GetParam().asked);
  EXPECT_EQ(gFileType, GetParam().table);
}

const std::vector<FileTypeEntry> kTable{{"html", "A"}, {"jpg", "I"}, {"gz", "I"}, {"txt", "A"}, {"txt", "I"}};

INSTANTIATE_TEST_SUITE_P(
    Names, TransferType,
    ::testing::Values(TypeCase{kTable, "index.html", "", "A", false}, TypeCase{kTable, "photo.jpg", "", "I", false},
                      TypeCase{kTable, "site.tar.gz", "", "I", false}, TypeCase{kTable, "a.txt", "", "A", false},
                      TypeCase{kTable, "INDEX.HTML", "", "A", false}, TypeCase{kTable, "README", "A", "A", true},
                      TypeCase{kTable, "notes.", "I", "I", true}, TypeCase{kTable, ".htaccess", "C", "C", true},
                      // closed without a button: skipped
                      TypeCase{kTable, "x.bin", "", "C", true},
                      // a row with no usable type does not decide
                      TypeCase{{{"dat", ""}, {"dat", "Q"}}, "x.dat", "A", "A", true},
                      TypeCase{{{"dat", "?"}, {"dat", "I"}}, "x.dat", "", "I", false},
                      TypeCase{{}, "x.txt", "I", "I", true}));

} // namespace
