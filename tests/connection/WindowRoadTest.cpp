// The whole road through the real main window, offscreen, against real
// servers on 127.0.0.1:21 in a private network namespace: connect, walk,
// compare, "同期", confirmations, folders, uploads, removals, end notice.

#include "WindowRoad.h"

namespace {

struct RoadCase {
  FtpServerKind server;
  bool passive;
  bool uploadAndDelete;
};

std::string RoadName(const ::testing::TestParamInfo<RoadCase>& info)
{
  const FtpServerKind kind = info.param.server;
  return std::string(kind == FtpServerKind::Pyftpdlib  ? "Pyftpdlib"
                     : kind == FtpServerKind::PureFtpd ? "PureFtpd"
                                                       : "Vsftpd") +
         (info.param.passive ? "Passive" : "Active") + (info.param.uploadAndDelete ? "UploadAndDelete" : "UploadOnly");
}

class WindowRoad : public ::testing::TestWithParam<RoadCase> {};

TEST_P(WindowRoad, SyncLeavesTheServerFolderAsTheLocalOne)
{
  if (!RunInPrivateNetwork())
    return;
  const RoadCase c = GetParam();
  Road road(c.server, c.passive, c.uploadAndDelete);
  Window1& w = *road.w;
  site::BuildLocal(road.local.Path());
  site::BuildRemote(road.server);
  ASSERT_TRUE(road.Connect()) << Requests();
  EXPECT_TRUE(w.Toolbar11.ToolItem4.Enabled());
  EXPECT_FALSE(w.ListBox1.Enabled());
  EXPECT_EQ(w.pMode, 1);

  site::AnswerGoAhead(3);
  w.Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) > 0 || !w.SyncRunning(); })) << Requests();
  ASSERT_TRUE(PumpUntil([&] { return w.SyncConnectionIdle(); }));
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1) << Requests();
  EXPECT_EQ(site::ReadTree(road.server.Root() + "/site"), site::Expected(road.server, c.uploadAndDelete));
  // The log holds the server's replies, the progress display is idle.
  EXPECT_NE(w.EditField5.Text().find("226"), std::string::npos);
  EXPECT_EQ(w.ProgressBar1.Maximum(), 1);
  EXPECT_EQ(w.bpsText.Text(), "0");

  // "切断": QUIT, and the window shows the disconnected state; the
  // server's close that follows is not reported.
  w.Toolbar11.Press("ToolItem2");
  EXPECT_FALSE(w.Toolbar11.ToolItem4.Enabled());
  EXPECT_TRUE(w.Toolbar11.ToolItem6.Enabled());
  EXPECT_TRUE(w.ListBox1.Enabled());
  EXPECT_EQ(w.pMode, 2);
  ASSERT_TRUE(PumpUntil([&] { return !w.commandSocket.IsOpen(); }));
  for (const auto& r : ModalRecorder::Requests())
    EXPECT_NE(r.message.rfind("Error: ", 0), 0u) << r.message;
}

INSTANTIATE_TEST_SUITE_P(Servers, WindowRoad,
                         ::testing::Values(RoadCase{FtpServerKind::Pyftpdlib, true, false},
                                           RoadCase{FtpServerKind::Pyftpdlib, true, true},
                                           RoadCase{FtpServerKind::Pyftpdlib, false, false},
                                           RoadCase{FtpServerKind::Pyftpdlib, false, true},
                                           RoadCase{FtpServerKind::PureFtpd, true, false},
                                           RoadCase{FtpServerKind::PureFtpd, true, true},
                                           RoadCase{FtpServerKind::PureFtpd, false, false},
                                           RoadCase{FtpServerKind::PureFtpd, false, true},
                                           RoadCase{FtpServerKind::Vsftpd, true, false},
                                           RoadCase{FtpServerKind::Vsftpd, true, true},
                                           RoadCase{FtpServerKind::Vsftpd, false, false},
                                           RoadCase{FtpServerKind::Vsftpd, false, true}),
                         RoadName);

// Names one side passes over on purpose, through the window in upload and
// delete mode, ticked by hand as well: a server link is never written
// through, a local link to a drive not plugged in and a local named pipe
// leave the server's entries of their names in place, and a server folder
// that holds a link is emptied of the rest but kept.
class WindowRoadLeftAlone : public ::testing::TestWithParam<FtpServerKind> {};

TEST_P(WindowRoadLeftAlone, LinksAndPipesKeepTheirNamesOnTheOtherSide)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(GetParam(), true, true);
  Window1& w = *road.w;
  const std::string r = road.server.Root();
  road.server.WriteFile("shared/config.txt", "shared config");
  road.server.WriteFile("site/photos/a.jpg", "photo");
  road.server.WriteFile("site/feed.xml", "server feed");
  road.server.WriteFile("site/old/x.txt", "x");
  std::filesystem::create_symlink("../shared/config.txt", r + "/site/config.txt");
  std::filesystem::create_symlink("../shared", r + "/site/linkdir");
  std::filesystem::create_symlink("../../shared/config.txt", r + "/site/old/l");
  struct timespec aged[2] = {{std::time(nullptr) - 3 * 86400L, 0}, {std::time(nullptr) - 3 * 86400L, 0}};
  ::utimensat(AT_FDCWD, (r + "/site/config.txt").c_str(), aged, AT_SYMLINK_NOFOLLOW);
  site::WriteAged(road.local / "config.txt", "local config", 0);
  site::WriteAged(road.local / "linkdir/y.txt", "y", 0);
  site::WriteAged(road.local / "fresh.txt", "fresh", 0);
  std::filesystem::create_symlink("/nonexistent-quill-drive/photos", road.local / "photos");
  ASSERT_EQ(::mkfifo((road.local / "feed.xml").c_str(), 0644), 0);
  ASSERT_TRUE(road.Connect()) << Requests();
  Road::TickByHand(w.localListBox, "config.txt");
  Road::TickByHand(w.localListBox, "linkdir");
  Road::TickByHand(w.remoteListBox, "photos");
  Road::TickByHand(w.remoteListBox, "feed.xml");
  ASSERT_TRUE(road.Sync());
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1) << Requests();
  EXPECT_EQ(road.server.ReadFile("shared/config.txt"), "shared config");
  EXPECT_FALSE(road.server.Exists("shared/y.txt"));
  EXPECT_EQ(road.server.ReadFile("site/photos/a.jpg"), "photo");
  EXPECT_EQ(road.server.ReadFile("site/feed.xml"), "server feed");
  EXPECT_EQ(road.server.ReadFile("site/fresh.txt"), "fresh");
  EXPECT_FALSE(road.server.Exists("site/old/x.txt"));
  EXPECT_TRUE(std::filesystem::is_symlink(r + "/site/old/l"));
  const std::string log = w.EditField5.Text();
  for (const std::string& left : {std::string("Left /site/photos on"), std::string("Left /site/feed.xml on"),
                                  "Left " + road.local / "config.txt alone", "Left " + road.local / "linkdir/ alone",
                                  std::string("Kept /site/old on")})
    EXPECT_NE(log.find(left), std::string::npos) << left << "\n" << log;
}

// A folder gone locally whose server copy holds a hidden ".htaccess", as on
// nearly every web host: the folder, the one above it and the file stay,
// whether the server lists the file or hides it and refuses the RMD, and
// the removals after it still happen, without an error box.
TEST_P(WindowRoadLeftAlone, HiddenEntriesKeepTheirFoldersAndTheRunGoesOn)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(GetParam(), true, true);
  Window1& w = *road.w;
  road.server.WriteFile("site/old/inner/.htaccess", "deny");
  road.server.WriteFile("site/old/inner/b.txt", "b");
  road.server.WriteFile("site/old/a.txt", "a");
  road.server.WriteFile("site/a-gone.txt", "gone");
  road.server.WriteFile("site/keep.txt", "k");
  site::WriteAged(road.local / "keep.txt", "k", 3);
  ASSERT_TRUE(road.Connect()) << Requests();
  ASSERT_TRUE(road.Sync());
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1) << Requests();
  const std::string r = road.server.Root() + "/site/";
  EXPECT_EQ(site::ReadTree(r + "old"), (site::Tree{{"inner", "<dir>"}, {"inner/.htaccess", "deny"}}));
  EXPECT_FALSE(road.server.Exists("site/a-gone.txt"));
  const std::string log = w.EditField5.Text();
  for (const char* kept : {"Kept /site/old/inner on", "Kept /site/old on"})
    EXPECT_NE(log.find(kept), std::string::npos) << kept << "\n" << log;
  // The folder above is not asked for what is bound to fail.
  const auto refused = log.find("refused to remove");
  EXPECT_TRUE(refused == std::string::npos || log.find("refused to remove", refused + 1) == std::string::npos) << log;
}

// Names a server may store or read as others (pure-ftpd stores "notes " as
// "notes_" and a tab as "_") are never sent, and a server folder holding
// one is kept; a Latin-1 name, which pyftpdlib stores with U+FFFD, keeps
// what it was stored as: two upload-and-delete runs lose no server file.
TEST_P(WindowRoadLeftAlone, NamesAServerMayTakeForOthersAreNeverSent)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(GetParam(), true, true);
  Window1& w = *road.w;
  road.server.WriteFile("site/keep.txt", "k");
  road.server.WriteFile("site/gone/trailing ", "t");
  road.server.WriteFile("site/gone/other.txt", "o");
  site::WriteAged(road.local / "keep.txt", "k", 3);
  site::WriteAged(road.local / "ok.txt", "ok", 0);
  site::WriteAged(road.local / "lat\xE9.txt", "latin", 0);
  for (const char* name : {"notes ", "tab\tname.gif", "v\xFF\xF4" "1.txt"})
    site::WriteAged(road.local / name, "left", 0);
  for (int run = 0; run < 2; ++run) {
    ASSERT_TRUE(road.ConnectAndSync());
    EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), run + 1) << Requests();
  }
  const std::string latin = GetParam() == FtpServerKind::Pyftpdlib ? "lat\uFFFD.txt" : "lat\xE9.txt";
  EXPECT_EQ(site::ReadTree(road.server.Root() + "/site"),
            (site::Tree{{"keep.txt", "k"}, {"ok.txt", "ok"}, {latin, "latin"}, {"gone", "<dir>"},
                        {"gone/trailing ", "t"}}));
  EXPECT_NE(w.EditField5.Text().find("Left the local " + road.local / "notes  alone"), std::string::npos)
      << w.EditField5.Text();
}

INSTANTIATE_TEST_SUITE_P(Servers, WindowRoadLeftAlone,
                         ::testing::Values(FtpServerKind::Pyftpdlib, FtpServerKind::PureFtpd, FtpServerKind::Vsftpd),
                         [](const auto& info) {
                           return std::string(info.param == FtpServerKind::Pyftpdlib  ? "Pyftpdlib"
                                              : info.param == FtpServerKind::PureFtpd ? "PureFtpd"
                                                                                      : "Vsftpd");
                         });

// A server that folds names otherwise than the local disk: on Windows
// "notes." is "notes", on a case-folding file system "straße.txt" is
// "strasse.txt" and "ﬁle.txt" "file.txt". What it holds under such a name
// is the local file's, or may be: two upload-and-delete runs delete none of
// it, and the rest goes.
struct FoldingCase {
  const char* label;
  NameFolding folding;
  site::Tree local;
  site::Tree remote;
  site::Tree after;
};

void PrintTo(const FoldingCase& c, std::ostream* out)
{
  *out << c.label;
}

class WindowRoadFolding : public ::testing::TestWithParam<FoldingCase> {};

TEST_P(WindowRoadFolding, RunsDeleteNothingTheServerHoldsForALocalName)
{
  if (!RunInPrivateNetwork())
    return;
  const FoldingCase& c = GetParam();
  Road road(FtpServerKind::Pyftpdlib, true, true, "quill", true, c.folding);
  for (const auto& [name, bytes] : c.remote)
    road.server.WriteFile("site/" + name, bytes);
  for (const auto& [name, bytes] : c.local)
    site::WriteAged(road.local / name, bytes, 0);
  for (int run = 0; run < 2; ++run) {
    ASSERT_TRUE(road.ConnectAndSync());
    EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), run + 1) << Requests();
    EXPECT_EQ(site::ReadTree(road.server.Root() + "/site"), c.after) << "after run " << run + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, WindowRoadFolding,
    ::testing::Values(FoldingCase{"windowsTrailingDot",
                                  NameFolding::Windows,
                                  {{"notes.", "local notes"}, {"new.txt", "new"}},
                                  {{"notes", "server notes"}, {"gone.txt", "gone"}},
                                  {{"notes", "server notes"}, {"new.txt", "new"}}},
                      FoldingCase{"fullCaseFolding",
                                  NameFolding::Full,
                                  {{"straße.txt", "local strasse"}, {"ﬁle.txt", "local file"}},
                                  {{"strasse.txt", "server strasse"}, {"file.txt", "server file"}, {"gone.txt", "gone"}},
                                  {{"strasse.txt", "local strasse"}, {"file.txt", "local file"}}}),
    [](const auto& info) { return std::string(info.param.label); });

// A local root holding nothing to send, only a hidden ".keepme" or a name
// left alone, is taken for a drive not there: an upload-and-delete run
// deletes nothing on the server, and the box says why.
class WindowRoadNearlyEmptyLocalRoot : public ::testing::TestWithParam<std::string> {};

TEST_P(WindowRoadNearlyEmptyLocalRoot, DeletesNothingOnTheServer)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::Pyftpdlib, true, true);
  road.server.WriteFile("site/a.txt", "a");
  road.server.WriteFile("site/old/b.txt", "b");
  site::WriteAged(road.local / GetParam(), "local", 0);
  ASSERT_TRUE(road.ConnectAndSync());
  EXPECT_EQ(ModalRecorder::Count("Nothing was deleted on the server: the local folder holds nothing to send."), 1)
      << Requests();
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0) << Requests();
  EXPECT_EQ(site::ReadTree(road.server.Root() + "/site"),
            (site::Tree{{"a.txt", "a"}, {"old", "<dir>"}, {"old/b.txt", "b"}}));
}

INSTANTIATE_TEST_SUITE_P(Roots, WindowRoadNearlyEmptyLocalRoot, ::testing::Values(".keepme", "notes."),
                         [](const auto& info) { return std::string(info.index == 0 ? "hiddenOnly" : "leftAloneOnly"); });

// A run that starts with a removal right after the walk: the answers to
// DELE and RMD are the run's, and nothing else is sent for them.
TEST(WindowRoadErrors, RemovalOnlyRunSendsOneCommandPerStep)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::Pyftpdlib, true, true);
  Window1& w = *road.w;
  road.server.WriteFile("site/a.txt", "a");
  road.server.WriteFile("site/b.txt", "b");
  road.server.WriteFile("site/old/c.txt", "c");
  road.server.WriteFile("site/keep.txt", "k");
  site::WriteAged(road.local / "keep.txt", "k", 3);
  ASSERT_TRUE(road.Connect()) << Requests();
  const std::size_t logBefore = w.EditField5.Text().size();
  site::AnswerGoAhead(3);
  w.Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) == 1; })) << Requests();
  PumpFor(200);
  EXPECT_EQ(site::ReadTree(road.server.Root() + "/site"), (site::Tree{{"keep.txt", "k"}}));
  // Four replies, one to each DELE and RMD, and no listing.
  const std::string log = w.EditField5.Text().substr(logBefore);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
}

// pure-ftpd works as an unprivileged user, so a folder without write
// permission refuses the upload (pyftpdlib runs as root here).
TEST(WindowRoadErrors, ReadOnlyRemoteFolderStopsTheRunAtTheError)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::PureFtpd, true, true);
  Window1& w = *road.w;
  site::WriteAged(road.local / "ro/a.txt", "a", 0);
  site::WriteAged(road.local / "ro/b.txt", "b", 0);
  site::WriteAged(road.local / "z.txt", "z", 0);
  road.server.MakeFolder("site/ro");
  road.server.WriteFile("site/extra.txt", "stays");
  ::chmod((road.server.Root() + "/site/ro").c_str(), 0555);
  ASSERT_TRUE(road.Connect()) << Requests();
  site::AnswerGoAhead(3);
  w.Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(PumpUntil([&] { return !w.SyncRunning(); })) << Requests();
  PumpFor(200);
  ::chmod((road.server.Root() + "/site/ro").c_str(), 0755);
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0) << Requests();
  int errors = 0;
  for (const auto& r : ModalRecorder::Requests())
    errors += r.message.rfind("An error occurred: ", 0) == 0;
  EXPECT_EQ(errors, 1) << Requests();
  // Nothing was sent after the refused file.
  std::string log = w.EditField5.Text();
  while (!log.empty() && log.back() == '\n')
    log.pop_back();
  EXPECT_EQ(log.substr(log.rfind('\n') + 1, 4), "553 ") << log;
  EXPECT_FALSE(road.server.Exists("site/ro/b.txt"));
  EXPECT_FALSE(road.server.Exists("site/z.txt"));
  EXPECT_TRUE(road.server.Exists("site/extra.txt"));
  // The connection is still there, and the files are offered again.
  EXPECT_TRUE(w.commandSocket.IsConnected());
  ::chmod((road.server.Root() + "/site/ro").c_str(), 0755);
  site::AnswerGoAhead(3);
  w.Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) == 1; })) << Requests();
  EXPECT_EQ(road.server.ReadFile("site/ro/b.txt"), "b");
  EXPECT_EQ(road.server.ReadFile("site/z.txt"), "z");
}

// vsftpd refuses a folder or a deletion in a read-only folder without
// saying what it refused ("550 Create directory operation failed."): the
// box names it, and nothing after it is sent.
class WindowRoadRefusedStep : public ::testing::TestWithParam<bool> {};

TEST_P(WindowRoadRefusedStep, IsNamedInTheBox)
{
  if (!RunInPrivateNetwork())
    return;
  const bool removal = GetParam();
  Road road(FtpServerKind::Vsftpd, true, true);
  road.server.MakeFolder("site/ro");
  if (removal)
    road.server.WriteFile("site/ro/old.txt", "old");
  else
    site::WriteAged(road.local / "ro/sub/c.txt", "c", 0);
  std::filesystem::create_directories(road.local / "ro");
  site::WriteAged(road.local / "z.txt", "z", 0);
  ::chmod((road.server.Root() + "/site/ro").c_str(), 0555);
  ASSERT_TRUE(road.Connect()) << Requests();
  ASSERT_TRUE(road.Sync());
  ::chmod((road.server.Root() + "/site/ro").c_str(), 0755);
  const std::string refused = removal ? "/site/ro/old.txt" : "/site/ro/sub";
  int boxes = 0;
  for (const auto& r : ModalRecorder::Requests())
    boxes += r.message.rfind("An error occurred: ", 0) == 0 && r.message.find(refused) != std::string::npos;
  EXPECT_EQ(boxes, 1) << Requests();
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0) << Requests();
  EXPECT_TRUE(road.server.Exists("site/ro"));
  // Uploads go first: z.txt follows the folder, and precedes the removal.
  EXPECT_EQ(road.server.Exists("site/z.txt"), removal);
}

INSTANTIATE_TEST_SUITE_P(Steps, WindowRoadRefusedStep, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "deletion" : "folder"); });

// A local folder whose entries cannot be examined, and a server name that
// begins with a blank beside its namesake: the run removes only what is
// gone locally and replaces only what is newer. As an ordinary user, whom
// the folder's mode refuses.
TEST(WindowRoadErrors, UnexaminableFolderAndBlankLedNameLeaveTheServerRight)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::PureFtpd, true, true, "quill", false);
  site::WriteAged(road.local / "foo.txt", "new foo", 0);
  site::WriteAged(road.local / "locked/inside.txt", "local", 0);
  road.server.WriteFile("site/foo.txt", "old foo");
  road.server.WriteFile("site/ foo.txt", "blank foo");
  road.server.WriteFile("site/locked/inside.txt", "remote");
  road.server.WriteFile("site/locked/other.txt", "stays");
  site::SetAge(road.server.Root() + "/site/foo.txt", 3);
  const std::string locked = road.local / "locked/";
  ::chmod(road.local.Path().c_str(), 0755);
  ::chmod(locked.c_str(), 0444);
  RunAsNobody([&] {
    // The window is made here: Qt's painting threads do not survive a fork.
    road.OpenWindow();
    Window1& w = *road.w;
    ASSERT_TRUE(road.Connect()) << Requests();
    EXPECT_NE(w.EditField5.Text().find(locked), std::string::npos) << w.EditField5.Text();
    site::AnswerGoAhead(2);
    w.Toolbar11.Press("ToolItem4");
    ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) == 1; })) << Requests();
  });
  ::chmod(locked.c_str(), 0755);
  EXPECT_EQ(site::ReadTree(road.server.Root() + "/site"),
            (site::Tree{{"foo.txt", "new foo"},
                        {"locked", "<dir>"},
                        {"locked/inside.txt", "remote"},
                        {"locked/other.txt", "stays"}}));
}

// A record of uploads cut short that cannot be read (left owned by root
// by a run under sudo, say) stops the run before anything is sent: a box
// names it, and it is never replaced by one that knows less. As an
// ordinary user, whose settings folder it is in.
TEST(WindowRoadErrors, TypeQuestionAnswersDecideEachUnknownFile)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::Pyftpdlib, true, false);
  Window1& w = *road.w;
  site::WriteAged(road.local / "a.dat", "a\nb\n", 0);
  site::WriteAged(road.local / "b.dat", "c\r\nd", 0);
  site::WriteAged(road.local / "c.dat", "skipped", 0);
  ASSERT_TRUE(road.Connect());
  site::AnswerGoAhead(1); // the plan
  ModalRecorder::Push([](const ModalRequest& r) { // a.dat: the default, Binary
    static_cast<SelectTypeDlg*>(r.window)->PushButton2.Push();
    return ModalAnswer{};
  });
  ModalRecorder::Push([](const ModalRequest& r) { // b.dat: Ascii
    auto* d = static_cast<SelectTypeDlg*>(r.window);
    d->RadioButton1.SetValue(true);
    d->PushButton2.Push();
    return ModalAnswer{};
  });
  ModalRecorder::Push([](const ModalRequest& r) { // c.dat: closed without a button
    r.window->Hide();
    return ModalAnswer{};
  });
  w.Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) == 1; })) << Requests();
  EXPECT_EQ(road.server.ReadFile("site/a.dat"), "a\nb\n");
  EXPECT_EQ(road.server.ReadFile("site/b.dat"), "c\nd");
  EXPECT_FALSE(road.server.Exists("site/c.dat"));
  int questions = 0;
  for (const auto& r : ModalRecorder::Requests())
    questions += r.kind == ModalKind::Window && r.title.size() == 5 && r.title.substr(1) == ".dat";
  EXPECT_EQ(questions, 3);
}

// A remote folder text that names a file: the first change into it is
// refused, and only that refusal offers the file for download. Its
// extension matches the type table in either case.
TEST(WindowConnection, RefusedRemoteFolderThatIsAFileIsOfferedForDownload)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::Pyftpdlib, true, false);
  Window1& w = *road.w;
  road.server.WriteFile("NOTES.TXT", "one\r\ntwo\r\n");
  w.EditField4.SetText("/NOTES.TXT");
  const std::string target = road.local / "fetched.txt";
  ModalRecorder::PushPath(target);
  ASSERT_TRUE(road.Connect()) << Requests();
  ASSERT_TRUE(PumpUntil([&] { return !w.getList && w.SyncConnectionIdle() && !w.dataConnected; })) << Requests();
  const auto& requests = ModalRecorder::Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.front().kind, ModalKind::SaveFile);
  EXPECT_EQ(requests.front().suggestedName, "NOTES.TXT");
  EXPECT_EQ(road.local.Read("fetched.txt"), "one\ntwo\n");
  EXPECT_EQ(requests.size(), 1u) << Requests(); // no error box
  // The compare ticks nothing: the listing after the download is not the
  // remote folder's.
  for (const auto& r : w.pSyncL)
    EXPECT_FALSE(r.check) << r.path;
  EXPECT_TRUE(w.pSyncR.empty());
}

// St. John's is 3:30 west of GMT (2:30 in summer) and pyftpdlib lists GMT.
// The offset typed as it is, server dates come out half an hour early, not
// late: an edit made a minute after its upload is sent.
TEST(WindowConnection, HalfHourZoneTypedSendsAnEditMadeAMinuteAfterItsUpload)
{
  if (!RunInPrivateNetwork())
    return;
  EnvGuard tz("TZ", "America/St_Johns");
  tzset();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const long west = -local.tm_gmtoff;
  const std::string typed = "-" + std::to_string(west / 3600) + ":" + std::to_string(west % 3600 / 60);
  {
    Road road(FtpServerKind::Pyftpdlib, true, false);
    Window1& w = *road.w;
    w.CheckBox4.SetValue(true);
    w.EditField8.SetText(typed);
    site::WriteAged(road.local / "notes.txt", "first", 0);
    ASSERT_TRUE(road.ConnectAndSync());
    ASSERT_EQ(road.server.ReadFile("site/notes.txt"), "first");
    EXPECT_EQ(w.EditField8.Text(), std::to_string(-(west + 3599) / 3600)) << typed;

    struct stat uploaded{};
    ASSERT_EQ(::stat((road.server.Root() + "/site/notes.txt").c_str(), &uploaded), 0);
    site::WriteAged(road.local / "notes.txt", "edited", 0);
    struct timespec edited[2] = {{uploaded.st_mtime + 60, 0}, {uploaded.st_mtime + 60, 0}};
    ::utimensat(AT_FDCWD, (road.local / "notes.txt").c_str(), edited, 0);
    ModalRecorder::Clear();
    ASSERT_TRUE(road.ConnectAndSync());
    EXPECT_EQ(road.server.ReadFile("site/notes.txt"), "edited") << w.EditField5.Text();
  }
  tzset();
}

// 接続 to an address whose packets vanish (a firewall, a wrong address):
// 同期 meanwhile says the program is still connecting, and within the
// silence limit a box names the server and says it did not answer.
TEST(WindowConnection, AddressThatNeverAnswersEndsWithinTheLimitNamingTheServer)
{
  if (!RunInPrivateNetwork())
    return;
  // A neighbour that takes every packet and answers none.
  ASSERT_EQ(std::system("ip link add q0 type veth peer name q1 && ip addr add 10.9.9.1/24 dev q0 && "
                        "ip link set q0 up && ip link set q1 up && "
                        "ip neigh add 10.9.9.2 lladdr 02:00:00:00:00:02 dev q0 nud permanent"),
            0);
  Road road(FtpServerKind::Pyftpdlib, true, false);
  Window1& w = *road.w;
  w.commandSocket.silenceLimit = std::chrono::seconds(3);
  w.EditField1.SetText("10.9.9.2");
  w.Toolbar11.Press("ToolItem1");
  PumpFor(300);
  w.Toolbar11.Press("ToolItem4");
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u) << Requests();
  EXPECT_EQ(ModalRecorder::Requests()[0].explanation, "The program is still connecting to 10.9.9.2.");
  ASSERT_TRUE(PumpUntil([&] { return w.pMode == 2; })) << Requests();
  const std::string box = "The server 10.9.9.2 did not answer within 3 seconds, so no connection was made.";
  ASSERT_EQ(ModalRecorder::Requests().size(), 2u) << Requests();
  EXPECT_EQ(ModalRecorder::Requests()[1].message, box);
  EXPECT_NE(w.EditField5.Text().find(box), std::string::npos);
  EXPECT_FALSE(w.Toolbar11.ToolItem4.Enabled());
  EXPECT_TRUE(w.ListBox1.Enabled());
}

// A colleague's copy dated two days ahead (a server clock running fast):
// pyftpdlib lists it with a time of day and no year. It stays the newer
// copy, so the user's older file does not replace it.
TEST(WindowConnection, ServerCopyDatedAheadIsNotTakenForLastYears)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::Pyftpdlib, true, false);
  Window1& w = *road.w;
  road.server.WriteFile("site/news.txt", "colleague's");
  site::SetAge(road.server.Root() + "/site/news.txt", -2);
  site::WriteAged(road.local / "news.txt", "mine", 0);
  ASSERT_TRUE(road.ConnectAndSync());
  ASSERT_EQ(w.pSyncL.size(), 1u);
  EXPECT_FALSE(w.pSyncL[0].check) << w.pSyncL[0].date << " against " << w.pSyncR[0].date;
  EXPECT_EQ(road.server.ReadFile("site/news.txt"), "colleague's");
}

// A file of many pieces: at its end the bar and the byte count have taken
// every byte of it, then the display is back at rest.
TEST(WindowConnection, ProgressCountsEveryByteOfAFileOfManyPieces)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::PureFtpd, true, false);
  Window1& w = *road.w;
  const std::int64_t size = 5 * static_cast<std::int64_t>(UploadThread::kPieceSize) + 123;
  site::WriteAged(road.local / "big.gif", std::string(static_cast<std::size_t>(size), 'p'), 0);
  ASSERT_TRUE(road.Connect()) << Requests();
  const auto windowBytes = w.dataSocket.bytesTransfered;
  const auto windowComplete = w.dataSocket.FileTransferComplete;
  std::vector<int> values;
  std::int64_t total = -1;
  int barAtEnd = -1;
  int maximumAtEnd = -1;
  w.dataSocket.bytesTransfered = [&](std::int32_t n) {
    windowBytes(n);
    values.push_back(w.ProgressBar1.Value());
  };
  w.dataSocket.FileTransferComplete = [&] {
    total = w.totalBytes;
    barAtEnd = w.ProgressBar1.Value();
    maximumAtEnd = w.ProgressBar1.Maximum();
    windowComplete();
  };
  site::AnswerGoAhead(1);
  w.Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) == 1; })) << Requests();
  EXPECT_EQ(total, size);
  EXPECT_EQ(maximumAtEnd, size / 1024);
  EXPECT_EQ(barAtEnd, size / 1024);
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
  EXPECT_EQ(w.ProgressBar1.Maximum(), 1);
  EXPECT_EQ(w.tBytesText.Text(), "0");
  EXPECT_EQ(road.server.ReadFile("site/big.gif").size(), static_cast<std::size_t>(size));
}

TEST(WindowConnection, FailedConnectionLeavesTheWindowDisconnectedAndAReconnectWorks)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::PureFtpd, true, false);
  Window1& w = *road.w;
  road.server.Stop();
  w.ListBox1.DoubleClick(); // a double-click on the profile connects too
  ASSERT_TRUE(PumpUntil([&] { return w.pMode == 2; })) << Requests();
  EXPECT_EQ(ModalRecorder::Requests().back().message.rfind("Error: ", 0), 0u) << Requests();
  EXPECT_FALSE(w.Toolbar11.ToolItem4.Enabled());
  EXPECT_FALSE(w.Toolbar11.ToolItem2.Enabled());
  EXPECT_TRUE(w.ListBox1.Enabled());

  // Again, with the server up: the earlier results are cleared after the
  // question, and the new connection's errors are reported.
  FtpServerProcess again(FtpServerKind::Pyftpdlib, site::OnPort21());
  again.MakeFolder("site");
  again.WriteFile("site/a.txt", "a");
  ModalRecorder::PushButton(0); // "実行"
  ASSERT_TRUE(road.Connect()) << Requests();
  EXPECT_EQ(ModalRecorder::Requests().back().message, ConnectionText::EarlierResults);
  EXPECT_EQ(w.pSyncR.size(), 1u);
  // Connecting once more while connected replaces the connection.
  ModalRecorder::PushButton(0);
  ASSERT_TRUE(road.Connect()) << Requests();
  EXPECT_EQ(w.pSyncR.size(), 1u);
  again.Stop();
  ASSERT_TRUE(PumpUntil([&] { return w.pMode == 2; })) << Requests();
  EXPECT_EQ(ModalRecorder::Requests().back().message.rfind("Error: ", 0), 0u) << Requests();
}

TEST(WindowConnection, EmptyPasswordIsAskedForThisConnectionOnly)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::Pyftpdlib, false, false, "ftp");
  Window1& w = *road.w;
  w.EditField3.SetText("");
  w.EditField2.SetText(""); // the user name sent is "ftp"
  // Cancelled: nothing happens.
  ModalRecorder::Push([](const ModalRequest& r) {
    r.window->PressDefaultButton(true);
    return ModalAnswer{};
  });
  w.Toolbar11.Press("ToolItem1");
  EXPECT_EQ(w.pMode, 0);
  EXPECT_FALSE(w.commandSocket.IsOpen());
  ModalRecorder::Push([&](const ModalRequest& r) {
    auto* d = static_cast<PassDlg*>(r.window);
    EXPECT_EQ(d->EditField1.Text(), ""); // a fresh prompt
    d->EditField1.SetText(road.server.Password());
    d->PushButton2.Push();
    return ModalAnswer{};
  });
  w.Toolbar11.Press("ToolItem1");
  ASSERT_TRUE(PumpUntil([&] { return w.pFin && !w.pSyncRFlg && w.SyncConnectionIdle(); })) << Requests();
  EXPECT_EQ(w.commandSocket.userID, "ftp");
  EXPECT_EQ(w.EditField3.Text(), "");
  // The next connect asks again.
  const auto asked = ModalRecorder::Requests().size();
  ModalRecorder::PushButton(0); // "実行": clear the earlier results
  w.Toolbar11.Press("ToolItem1"); // the prompt is cancelled: nothing more
  EXPECT_EQ(ModalRecorder::Requests().size(), asked + 1);
  EXPECT_EQ(ModalRecorder::Requests().back().kind, ModalKind::Window);
  EXPECT_EQ(w.pMode, 1);
}

// A compare pairs the remote and the local folder of one page: edits made
// while connected cannot reach the next connection unsaved or saved, and
// edits made before connecting take both folders together.
TEST(WindowConnection, CompareNeverPairsOneProfilesFolderWithAnothersAndDeletes)
{
  if (!RunInPrivateNetwork())
    return;
  for (const bool editedWhileConnected : {true, false}) {
    SCOPED_TRACE(editedWhileConnected ? "edited and saved while connected" : "edited, not saved");
    Road road(FtpServerKind::Pyftpdlib, true, true);
    Window1& w = *road.w;
    road.server.WriteFile("other/l2.txt", "l2");
    TempDir local2;
    site::WriteAged(local2 / "l2.txt", "l2", 5);
    w.BevelButton3.Push(); // "編集"
    if (editedWhileConnected) {
      ASSERT_TRUE(road.Connect()) << Requests();
    }
    // Typed and chosen as a user does, so nothing reaches a locked control.
    QTest::keyClick(w.EditField4.Widget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w.EditField4.Widget(), "/other");
    ModalRecorder::PushPath(local2.Path());
    w.BevelButton4.Push();
    ModalRecorder::Clear();
    if (editedWhileConnected) {
      w.BevelButton5.Push();
      EXPECT_FALSE(w.BevelButton2.Enabled());
      ModalRecorder::PushButton(0); // "実行": clear the earlier results
    }
    ASSERT_TRUE(road.Connect()) << Requests();
    site::AnswerGoAhead(3);
    w.Toolbar11.Press("ToolItem4");
    ASSERT_TRUE(PumpUntil([&] { return !w.SyncRunning() && w.SyncConnectionIdle(); })) << Requests();
    EXPECT_EQ(road.server.ReadFile("other/l2.txt"), "l2");
    w.Toolbar11.Press("ToolItem2"); // "切断": the page is the user's again
    EXPECT_TRUE(w.BevelButton5.Enabled());
  }
}

} // namespace
