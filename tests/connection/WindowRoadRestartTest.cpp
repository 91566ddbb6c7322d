// What a run leaves behind when it is stopped at any point (a new
// "接続", a quit, "切断", a kill), and what the next start on the same
// settings folder believes of the server's files.

#include "WindowRoad.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

TEST(WindowRoadErrors, UnreadableUntrustedRecordStopsUploadsAndIsKept)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::PureFtpd, true, false, "quill", false);
  site::WriteAged(road.local / "new.txt", "new", 0);
  ::chmod(road.local.Path().c_str(), 0755);
  TempDir config;
  ::chmod(config.Path().c_str(), 0755);
  const std::string folder = config / "Quillmere初期設定";
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(::chown(folder.c_str(), kNobody, kNogroup), 0);
  const std::string record = folder + "/untrusted";
  const std::string bytes = "ftp.example.com\tuser\t/www/a.html\n127.0.0.1\tquill\t/site/old.txt\n";
  config.Write("Quillmere初期設定/untrusted", bytes);
  ::chmod(record.c_str(), 0600);
  RunAsNobody([&] {
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    road.OpenWindow();
    Window1& w = *road.w;
    ASSERT_TRUE(road.Connect()) << Requests();
    site::AnswerGoAhead(1);
    w.Toolbar11.Press("ToolItem4");
    ASSERT_TRUE(PumpUntil([&] { return !w.SyncRunning() && w.SyncConnectionIdle(); })) << Requests();
    int naming = 0;
    for (const auto& r : ModalRecorder::Requests())
      naming += r.message.find(record) != std::string::npos;
    EXPECT_EQ(naming, 1) << Requests();
    EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0) << Requests();
  });
  EXPECT_FALSE(road.server.Exists("site/new.txt"));
  EXPECT_EQ(config.Read("Quillmere初期設定/untrusted"), bytes);
}

TEST(WindowRoadErrors, QuittingDuringAnUploadAsksFirst)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::Pyftpdlib, false, false);
  Window1& w = *road.w;
  const std::string big(24 << 20, 'q');
  site::WriteAged(road.local / "big.gif", big, 0);
  ASSERT_TRUE(road.Connect());
  site::AnswerGoAhead(1);
  w.Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(PumpUntil([&] { return w.dataConnected && w.totalBytes > 0; })) << Requests();
  // "切断" on the toolbar is refused while data flows.
  w.Toolbar11.Press("ToolItem2");
  EXPECT_EQ(ModalRecorder::Requests().back().message, ConnectionText::DataConnectedNoDisconnect);
  EXPECT_EQ(w.pMode, 1);
  ModalRecorder::PushButton(1); // "キャンセル"
  EXPECT_FALSE(road.app->Quit());
  EXPECT_EQ(ModalRecorder::Requests().back().message, ConnectionText::QuitDuringTransfer);
  EXPECT_FALSE(w.Closed());
  ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) == 1; })) << Requests();
  EXPECT_EQ(road.server.ReadFile("site/big.gif"), big);
}

// "接続" pressed while a folder is being made asks its question with the run
// going on behind it; by the answer an upload has begun, and a new
// connection now would cut it short.
TEST(WindowRoadErrors, ConnectAnsweredAfterTheRunMovedOnNeverCutsAnUpload)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::Vsftpd, true, false);
  Window1& w = *road.w;
  const std::string big(24 << 20, 'q');
  site::WriteAged(road.local / "new/big.gif", big, 0);
  ASSERT_TRUE(road.Connect()) << Requests();
  site::AnswerGoAhead(1);
  w.Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(w.SyncRunning());
  ASSERT_EQ(w.commandSocket.Awaited(), "the reply to MKD /site/new");
  ModalRecorder::Push([&](const ModalRequest& r) {
    EXPECT_EQ(r.message, ConnectionText::EarlierResults);
    EXPECT_TRUE(PumpUntil([&] { return w.dataConnected && w.totalBytes > 0; }));
    return ModalAnswer{0, {}}; // "実行"
  });
  w.Toolbar11.Press("ToolItem1");
  EXPECT_EQ(ModalRecorder::Requests().back().message, ConnectionText::DataConnectedNoDisconnect);
  ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) == 1; })) << Requests();
  EXPECT_EQ(road.server.ReadFile("site/new/big.gif"), big);
  for (const auto& r : ModalRecorder::Requests())
    EXPECT_EQ(r.message.find("cut short"), std::string::npos) << r.message;
  EXPECT_EQ(w.pMode, 1);
}

// The system ending the program during an upload (SIGTERM, a quit that
// nobody answers) ends the run as "切断" at the quit's question does: the
// files stored whole before it are struck off the record, so the next
// start does not send them again; proftpd with HiddenStores drops the part
// of the file cut off and keeps its older copy whole. The next start sends
// that file whole.
TEST(WindowRoadErrors, TerminatedDuringAnUploadLeavesTheServersOlderCopyWhole)
{
  if (!RunInPrivateNetwork())
    return;
  FtpServerOptions options = site::OnPort21();
  options.proftpdDirectives = {"HiddenStores on"};
  Road road(FtpServerKind::ProFtpd, options, true, false, false);
  road.server.WriteFile("site/big.gif", "kept whole");
  site::SetAge(road.server.Root() + "/site/big.gif", 2);
  const std::string big(24 << 20, 'q');
  // A day old: a file dated in the second of its upload may have been saved
  // again behind it, and stays untrusted.
  site::WriteAged(road.local / "big.gif", big, 1);
  site::WriteAged(road.local / "a.txt", "a", 1); // sent before big.gif
  site::WriteAged(road.local / "b.txt", "b", 1);
  const pid_t child = ForkForWindows();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGTERM, SIG_DFL); // as a desktop starts the program
    road.OpenWindow();          // made here: Qt's painting threads do not survive a fork
    bool uploading = road.Connect();
    if (uploading) {
      site::AnswerGoAhead(1);
      road.w->Toolbar11.Press("ToolItem4");
      uploading = PumpUntil([&] {
        return road.server.ReadFile("site/b.txt") == "b" && road.w->dataConnected &&
               road.w->dataSocket.remoteFileName.find("big.gif") != std::string::npos;
      });
    }
    if (!uploading)
      std::_Exit(3);
    ::raise(SIGTERM);
    ::alarm(60); // a program that does not end fails instead of holding the test
    RunEventLoop(); // as main() does
    std::_Exit(road.app->Quitting() ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
  EXPECT_EQ(road.server.ReadFile("site/big.gif"), "kept whole");
  ASSERT_EQ(road.server.ReadFile("site/b.txt"), "b");
  road.OpenWindow();
  ASSERT_TRUE(road.Connect()) << Requests();
  for (const SyncRecord& r : road.w->pSyncL)
    EXPECT_EQ(r.check, r.path.find("big.gif") != std::string::npos) << r.path;
  ASSERT_TRUE(road.Sync());
  EXPECT_TRUE(road.server.ReadFile("site/big.gif") == big) << "the server keeps a part or its older copy";
}

// proftpd with HiddenStores stores an upload under a hidden name and keeps
// the old file whole until the new one is complete; over MaxStoreFileSize
// its STOR fails. The server's copy, dated after the local file, goes up
// only by a tick by hand, then by the record: neither two runs nor one
// after a quit, or a kill, and a new start on the same settings folder
// delete it.
class FailedUpload : public ::testing::TestWithParam<bool> {};

TEST_P(FailedUpload, LeavesTheServersOlderCopyWholeAcrossRunsAndARestart)
{
  if (!RunInPrivateNetwork())
    return;
  const bool killed = GetParam();
  FtpServerOptions options = site::OnPort21();
  options.proftpdDirectives = {"HiddenStores on", "MaxStoreFileSize 100 B"};
  Road road(FtpServerKind::ProFtpd, options, true, false, false);
  road.server.WriteFile("site/page.html", "kept whole");
  site::WriteAged(road.local / "page.html", std::string(500, 'n'), 1);
  const std::string local = road.local / "page.html";
  auto runOnce = [&](int run) {
    SCOPED_TRACE("run " + std::to_string(run));
    Window1& w = *road.w;
    ASSERT_EQ(w.pSyncL.size(), 1u);
    ASSERT_TRUE(w.pSyncL[0].check);
    site::AnswerGoAhead(1);
    const std::size_t boxes = ModalRecorder::Requests().size();
    w.Toolbar11.Press("ToolItem4");
    ASSERT_TRUE(PumpUntil([&] { return !w.SyncRunning() && w.SyncConnectionIdle(); })) << Requests();
    PumpFor(200);
    EXPECT_EQ(road.server.ReadFile("site/page.html"), "kept whole");
    ASSERT_GT(ModalRecorder::Requests().size(), boxes + 1) << Requests();
    const std::string box = ModalRecorder::Requests().back().message;
    EXPECT_NE(box.find("/site/page.html"), std::string::npos) << box;
    EXPECT_NE(box.find("may still hold its older copy"), std::string::npos) << box;
    EXPECT_TRUE(w.pSyncL[0].check) << "offered again";
  };
  auto firstProgram = [&] {
    road.OpenWindow();
    ASSERT_TRUE(road.Connect()) << Requests();
    ASSERT_EQ(road.w->pSyncL.size(), 1u);
    ASSERT_FALSE(road.w->pSyncL[0].check);
    road.w->localListBox.UserSetCheck(0, 0, true);
    runOnce(1);
    runOnce(2);
  };
  if (killed) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      firstProgram(); // the window is made here: Qt's painting threads do not survive a fork
      if (::testing::Test::HasFailure())
        std::_Exit(1);
      ::raise(SIGKILL);
      std::_Exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "wait status " << status;
  } else {
    firstProgram();
    road.w->GetMenuBar()->Lookup("FileQuit")->Choose();
    ASSERT_TRUE(road.app->Quitting());
    road.app.reset();
  }
  EXPECT_EQ(road.server.ReadFile("site/page.html"), "kept whole");
  road.OpenWindow();
  ASSERT_TRUE(road.Connect()) << Requests();
  const std::string log = road.w->EditField5.Text();
  EXPECT_NE(log.find("Ticked " + local + " for upload"), std::string::npos) << log;
  runOnce(3);
}

INSTANTIATE_TEST_SUITE_P(Ends, FailedUpload, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "killed" : "quit"); });

// vsftpd lists times to the minute. A typo fixed within the minute its
// upload is dated goes up at "接続" and "同期" after a new start, with a log
// line; an edit dated a minute before the server's copy stays back. Once
// the upload has dated the server's copy later, nothing is ticked. Every
// date is set, so no minute boundary of the clock can tip a case.
class EditInTheServersMinute : public ::testing::TestWithParam<bool> {};

TEST_P(EditInTheServersMinute, IsSentAfterANewStartAndOnlyOnce)
{
  if (!RunInPrivateNetwork())
    return;
  const bool sameMinute = GetParam();
  EnvGuard tz("TZ", "UTC0"); // vsftpd lists UTC; the profile adds 0 hours
  ::tzset();
  Road road(FtpServerKind::Vsftpd, true, false, "quill", false);
  const std::string local = road.local / "index.html";
  const std::string served = road.server.Root() + "/site/index.html";
  auto dateAt = [](const std::string& path, std::time_t t) {
    struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
  };
  // A minute an hour back: listed with its time of day.
  const std::time_t minute = (std::time(nullptr) - 3600) / 60 * 60;
  auto countTies = [&] {
    const std::string log = road.w->EditField5.Text();
    int n = 0;
    for (auto at = log.find("in the same minute"); at != std::string::npos; at = log.find("in the same minute", at + 1))
      ++n;
    return n;
  };

  site::WriteAged(local, "<p>Helo</p>\n", 0);
  dateAt(local, minute + 10);
  road.OpenWindow();
  ASSERT_TRUE(road.ConnectAndSync()) << Requests();
  ASSERT_EQ(road.server.ReadFile("site/index.html"), road.server.TextAsStored("<p>Helo</p>\n"));
  dateAt(served, minute + 20);
  std::ofstream(local, std::ios::binary | std::ios::trunc) << "<p>Hello</p>\n";
  dateAt(local, sameMinute ? minute + 50 : minute - 10);
  road.w->GetMenuBar()->Lookup("FileQuit")->Choose();
  ASSERT_TRUE(road.app->Quitting());
  road.app.reset();

  road.OpenWindow();
  ASSERT_TRUE(road.Connect()) << Requests();
  ASSERT_EQ(road.w->pSyncL.size(), 1u);
  EXPECT_EQ(road.w->pSyncL[0].check, sameMinute);
  EXPECT_EQ(countTies(), sameMinute ? 1 : 0) << road.w->EditField5.Text();
  ASSERT_TRUE(road.Sync());
  EXPECT_EQ(road.server.ReadFile("site/index.html"),
            road.server.TextAsStored(sameMinute ? "<p>Hello</p>\n" : "<p>Helo</p>\n"));

  ModalRecorder::Clear();
  ModalRecorder::PushButton(0); // "実行": clear the earlier results
  ASSERT_TRUE(road.Connect()) << Requests();
  ASSERT_EQ(road.w->pSyncL.size(), 1u);
  EXPECT_FALSE(road.w->pSyncL[0].check);
  EXPECT_EQ(countTies(), 0) << road.w->EditField5.Text(); // the log begins anew with "実行"
}

INSTANTIATE_TEST_SUITE_P(Dates, EditInTheServersMinute, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "sameMinute" : "minuteEarlier"); });

enum class CutBy { Connect, Quit, Killed, Terminated, SessionEnded };

struct StopCase {
  CutBy by;
  std::string firstAddress; // the profile's address while the upload runs
  std::string nextAddress;  // and as typed for the next connection
  std::string name;
};

void PrintTo(const StopCase& c, std::ostream* os)
{
  *os << c.name;
}

class UploadStopsMidway : public ::testing::TestWithParam<StopCase> {};

// An upload stopped midway on vsftpd, which keeps what it got, dated after
// the local file: "接続" is refused while it runs; quitting (answered
// "切断"), the system ending the program (SIGTERM, the session's end: a
// quit that asks nothing) or the program dying leaves the part, and the
// next compare still sends the file again, also when the server's address
// is typed another way, so one more "接続" and "同期" leave it whole.
TEST_P(UploadStopsMidway, EndsWholeAfterTheNextSync)
{
  if (!RunInPrivateNetwork())
    return;
  const CutBy by = GetParam().by;
  Road road(FtpServerKind::Vsftpd, true, false, "quill", false);
  road.address = GetParam().firstAddress;
  const std::string big(24 << 20, 'q');
  site::WriteAged(road.local / "big.gif", big, 1);
  const auto startUpload = [&] {
    road.OpenWindow();
    ASSERT_TRUE(road.Connect()) << Requests();
    site::AnswerGoAhead(1);
    road.w->Toolbar11.Press("ToolItem4");
    ASSERT_TRUE(PumpUntil([&] { return road.w->dataConnected && road.w->totalBytes > 0; })) << Requests();
  };
  if (by == CutBy::Killed || by == CutBy::Terminated || by == CutBy::SessionEnded) {
    const pid_t child = ForkForWindows();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGTERM, SIG_DFL); // as a desktop starts the program
      startUpload(); // the window is made here: Qt's painting threads do not survive a fork
      if (by == CutBy::Killed)
        ::raise(SIGKILL);
      if (::testing::Test::HasFailure())
        std::_Exit(3); // the upload could not be started
      if (by == CutBy::Terminated)
        ::raise(SIGTERM);
      else
        PostEvent([] { // as the platform delivers the session manager's end
          QEvent quit(QEvent::Quit);
          QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
        });
      ::alarm(60); // a program that does not end fails instead of holding the test
      RunEventLoop(); // as main() does
      std::_Exit(road.app->Quitting() ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (by == CutBy::Killed)
      ASSERT_TRUE(WIFSIGNALED(status)) << "wait status " << status;
    else
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    road.address = GetParam().nextAddress;
    road.OpenWindow();
  } else {
    startUpload();
    if (by == CutBy::Quit) {
      ModalRecorder::PushButton(0); // "切断"
      ModalRecorder::Push([&](const ModalRequest& r) {
        EXPECT_NE(r.message.find("cut short"), std::string::npos) << r.message;
        EXPECT_FALSE(road.w->dataSocket.IsOpen()) << "the upload goes on behind the box";
        return ModalAnswer{};
      });
      ASSERT_TRUE(road.app->Quit());
      road.app.reset();
      road.address = GetParam().nextAddress;
      road.OpenWindow();
    } else {
      road.w->Toolbar11.Press("ToolItem1");
      EXPECT_EQ(ModalRecorder::Requests().back().message, ConnectionText::DataConnectedNoDisconnect);
      ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) == 1; })) << Requests();
      ModalRecorder::PushButton(0); // "実行": clear the earlier results
    }
  }
  ASSERT_NE(road.server.ReadFile("site/big.gif"), by == CutBy::Connect ? "" : big);
  ASSERT_TRUE(road.Connect()) << Requests();
  site::AnswerGoAhead(1);
  road.w->Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) >= 1 && !road.w->SyncRunning(); }))
      << Requests();
  EXPECT_TRUE(road.server.ReadFile("site/big.gif") == big) << "the server keeps a part";
}

INSTANTIATE_TEST_SUITE_P(Ways, UploadStopsMidway,
                         ::testing::Values(StopCase{CutBy::Connect, "127.0.0.1", "127.0.0.1", "connect"},
                                           StopCase{CutBy::Quit, "127.0.0.1", "127.0.0.1", "quit"},
                                           StopCase{CutBy::Killed, "127.0.0.1", "127.0.0.1", "killed"},
                                           StopCase{CutBy::Terminated, "127.0.0.1", "127.0.0.1", "terminated"},
                                           StopCase{CutBy::SessionEnded, "127.0.0.1", "127.0.0.1", "sessionEnded"},
                                           StopCase{CutBy::Killed, "127.0.0.1", "LOCALHOST", "killedThenByNameInCapitals"},
                                           StopCase{CutBy::Killed, "127.0.0.1", "localhost", "killedThenByName"},
                                           StopCase{CutBy::Killed, "localhost", "127.0.0.1", "killedByNameThenByAddress"}),
                         [](const auto& info) { return info.param.name; });

enum class LeftBy { Quit, DisconnectThenKilled };

struct LeaveCase {
  FtpServerKind server;
  LeftBy by;
  std::string name;
};

void PrintTo(const LeaveCase& c, std::ostream* os)
{
  *os << c.name;
}

class RunEndedWhole : public ::testing::TestWithParam<LeaveCase> {};

// A run that ended with its notice, then File > Quit, or "切断" and the
// program killed: started again on the same settings folder, the next
// compare trusts every file the run stored, so a copy someone else put on
// the server since stays there after one more "同期".
TEST_P(RunEndedWhole, NextStartTicksNoneOfItsFiles)
{
  if (!RunInPrivateNetwork())
    return;
  const LeaveCase c = GetParam();
  Road road(c.server, true, false, "quill", false);
  const std::vector<std::string> names = {"a.txt", "b.txt", "e.html", "img/c.gif", "img/d.gif"};
  for (const std::string& name : names)
    site::WriteAged(road.local / name, "local " + name, 1);
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The window is made here: Qt's painting threads do not survive a fork.
    road.OpenWindow();
    bool ended = road.Connect();
    if (ended) {
      site::AnswerGoAhead(1);
      road.w->Toolbar11.Press("ToolItem4");
      ended = PumpUntil([&] { return ModalRecorder::Count(ConnectionText::SyncFinished) == 1; });
    }
    if (!ended) {
      std::fprintf(stderr, "the first run did not end: %s\n", Requests().c_str());
      std::_Exit(1);
    }
    if (c.by == LeftBy::Quit) {
      road.w->GetMenuBar()->Lookup("FileQuit")->Choose();
      // As the program ends once its event loop has: the window is not deleted.
      std::_Exit(road.app->Quitting() ? 0 : 1);
    }
    road.w->Toolbar11.Press("ToolItem2");
    ::raise(SIGKILL);
    std::_Exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (c.by == LeftBy::Quit)
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
  else
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "wait status " << status;
  for (const std::string& name : names)
    ASSERT_EQ(road.server.ReadFile("site/" + name), "local " + name);
  road.server.WriteFile("site/b.txt", "theirs"); // newer than the local file

  road.OpenWindow();
  ASSERT_TRUE(road.Connect()) << Requests();
  const std::string log = road.w->EditField5.Text();
  EXPECT_EQ(log.find("did not end whole"), std::string::npos) << log;
  for (const SyncRecord& r : road.w->pSyncL)
    EXPECT_FALSE(r.check) << r.path;
  site::AnswerGoAhead(1);
  road.w->Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(PumpUntil([&] { return !road.w->SyncRunning() && road.w->SyncConnectionIdle(); })) << Requests();
  EXPECT_EQ(road.server.ReadFile("site/b.txt"), "theirs");
}

INSTANTIATE_TEST_SUITE_P(Ways, RunEndedWhole,
                         ::testing::Values(LeaveCase{FtpServerKind::Vsftpd, LeftBy::Quit, "VsftpdQuit"},
                                           LeaveCase{FtpServerKind::Vsftpd, LeftBy::DisconnectThenKilled,
                                                     "VsftpdDisconnectThenKilled"},
                                           LeaveCase{FtpServerKind::PureFtpd, LeftBy::Quit, "PureFtpdQuit"},
                                           LeaveCase{FtpServerKind::PureFtpd, LeftBy::DisconnectThenKilled,
                                                     "PureFtpdDisconnectThenKilled"}),
                         [](const auto& info) { return info.param.name; });


} // namespace
