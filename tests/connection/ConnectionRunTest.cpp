// The connection without its window against a real server on
// 127.0.0.1:21, in a private network namespace.

#include "HeadlessConnection.h"
#include "PrivateNetwork.h"
#include "SiteFixture.h"

#include "connection/ConnectionTexts.h"
#include "settings/UntrustedUploads.h"

#include "FtpServers.h"
#include "ModalRecorder.h"
#include "ScriptedFtpServer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>

namespace {

class Connected {
public:
  Connected(FtpServerKind kind, bool passive, bool uploadAndDelete) : server(kind, site::OnPort21())
  {
    ModalRecorder::Clear();
    gPref[PrefConfirmSync] = 1;
    gPref[PrefBeepOnCaution] = 0;
    site::UseTypeTable();
    conn.remoteFolder = "/site";
    conn.passive = passive;
    conn.uploadAndDelete = uploadAndDelete;
    server.MakeFolder("site");
  }

  bool Connect()
  {
    conn.localFolder = GetFolderItem(local.Path());
    conn.MakeConnection();
    return PumpUntil([&] { return conn.CompareDone(); });
  }

  FtpServerProcess server;
  TempDir local;
  HeadlessConnection conn;
};

TEST(RunErrors, QuitAnsweredDisconnectCutsTheTransfer)
{
  if (!RunInPrivateNetwork())
    return;
  Connected t(FtpServerKind::PureFtpd, false, false);
  site::WriteAged(t.local / "big.gif", std::string(24 << 20, 'q'), 0);
  ASSERT_TRUE(t.Connect());
  t.conn.SyncUpload();
  ASSERT_TRUE(PumpUntil([&] { return t.conn.dataConnected && t.conn.totalBytes > 0; }));
  ModalRecorder::PushButton(0); // "切断"
  EXPECT_FALSE(t.conn.ConnectionCancelClose());
  EXPECT_FALSE(t.conn.SyncRunning());
  for (int i = 0; i < 50; ++i)
    ProcessPendingEvents(5);
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0);
  for (const auto& r : ModalRecorder::Requests())
    EXPECT_EQ(r.message.rfind("Error: ", 0), std::string::npos) << r.message;
}

// "切断" between two steps: the run ends before QUIT is written, so the
// answers still to come move nothing.
TEST(RunErrors, DisconnectDuringRunEndsItBeforeQuit)
{
  if (!RunInPrivateNetwork())
    return;
  Connected t(FtpServerKind::PureFtpd, true, false);
  for (const char* d : {"a", "b", "c"})
    std::filesystem::create_directories(t.local / d);
  ASSERT_TRUE(t.Connect());
  t.conn.SyncUpload();
  ASSERT_EQ(t.conn.pUpload, 2); // the first MKD is on its way
  t.conn.CloseConnection();
  EXPECT_FALSE(t.conn.SyncRunning());
  ASSERT_TRUE(PumpUntil([&] { return !t.conn.commandSocket.IsOpen(); }));
  EXPECT_TRUE(t.server.Exists("site/a"));
  EXPECT_FALSE(t.server.Exists("site/b"));
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0);
  // Every record but the one carried out is queued again next time.
  EXPECT_EQ(t.conn.pSyncL[1].sync || t.conn.pSyncL[2].sync, false);
}

// The server refuses the listing of the walk's last folder after the
// passive data connection has opened: no transfer runs any more, so "切断"
// goes ahead, and the bar no longer shows a listing awaited.
TEST(RunErrors, RefusedListingLeavesNoTransferRunning)
{
  ModalRecorder::Clear();
  TempDir local;
  HeadlessConnection conn;
  conn.localFolder = GetFolderItem(local.Path());
  conn.path = "/site";
  conn.commandSocket.dataPort = &conn.dataSocket;
  conn.commandSocket.usePASV = true;
  conn.GetCompareList(); // the walk, fed by hand below
  conn.commandSocket_loggedIn("257 \"/\"");
  conn.commandSocket_remoteDirChanged("257 \"/site\"");
  conn.dataSocket_gotList("drwxr-xr-x 2 u g 4096 Jan 05 2008 sealed\r\n");
  conn.commandSocket_remoteDirChanged("257 \"/site/sealed\"");
  ASSERT_EQ(conn.progressMaximum, 0);
  conn.dataSocket_Connected();
  conn.commandSocket_gotServerError("550 Permission denied.\r\n");
  EXPECT_TRUE(conn.pFin);
  EXPECT_FALSE(conn.dataConnected);
  EXPECT_EQ(conn.progressMaximum, 1);
  conn.CloseConnection();
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::DataConnectedNoDisconnect), 0);
  EXPECT_EQ(conn.pMode, 2);
}

// Transfers past 2 GiB: the sum and the rate stay whole and positive.
// A scripted server on port 21: the login, then the walk of "/site" whose
// one listing is given; the walk changes back to it when it could read it.
void LoginAndWalk(ScriptSession& s, const std::string& listing, bool readable = true)
{
  s.Login();
  s.Expect("CWD /site");
  s.Send("250 ok\r\n");
  s.Expect("PWD");
  s.Send("257 \"/site\"\r\n");
  s.OpenListing();
  s.SendData(listing);
  s.CloseData();
  s.Send("226 done\r\n");
  if (!readable)
    return;
  s.Expect("CWD /site");
  s.Send("250 ok\r\n");
  s.Expect("PWD");
  s.Send("257 \"/site\"\r\n");
}

// The same on an empty "/site", then a binary upload up to its STOR.
void WalkThenStore(ScriptSession& s, const std::string& path)
{
  LoginAndWalk(s, "");
  s.Expect("TYPE I");
  s.Send("200 binary\r\n");
  s.Expect("PASV");
  s.Send(s.OpenPassive());
  s.AcceptData();
  s.Expect("STOR " + path);
}

bool SentAnyOf(const ScriptedFtpServer& server, std::initializer_list<const char*> verbs)
{
  for (const auto& c : server.Commands())
    for (const char* v : verbs)
      if (c.rfind(v, 0) == 0)
        return true;
  return false;
}

// A headless connection to the scripted server, in upload-and-delete mode.
struct ScriptedSite {
  TempDir local;
  HeadlessConnection conn;

  ScriptedSite()
  {
    ModalRecorder::Clear();
    gPref[PrefConfirmSync] = 0;
    gPref[PrefBeepOnCaution] = 0;
    gFileType = {{"bin", "I"}, {"html", "A"}, {"txt", "A"}};
    conn.remoteFolder = "/site";
    conn.uploadAndDelete = true;
  }
  bool Connect()
  {
    conn.localFolder = GetFolderItem(local.Path());
    conn.MakeConnection();
    return PumpUntil([&] { return conn.CompareDone(); });
  }
};

// A server that lists in the MS-DOS style gives no listing the program can
// read: nothing is taken as missing there, so nothing is stored over the
// server's files and nothing is deleted.
TEST(RunErrors, ListingInAnotherStyleSendsNoStoreAndNoDelete)
{
  if (!RunInPrivateNetwork())
    return;
  bool quiet = false;
  ScriptedFtpServer server(
      [&quiet](ScriptSession& s) {
        LoginAndWalk(s, "12-05-25  03:12PM                 5120 about.html\r\n"
                        "12-01-25  10:00AM       <DIR>          img\r\n"
                        "12-01-25  10:00AM                   12 old.txt\r\n",
                     false);
        quiet = s.QuietFor(1500);
      },
      21);
  ScriptedSite t;
  site::WriteAged(t.local / "about.html", "<p>older</p>", 400);
  site::WriteAged(t.local / "img/logo.gif", "gif", 0);
  ASSERT_TRUE(t.Connect());
  EXPECT_TRUE(std::none_of(t.conn.pSyncL.begin(), t.conn.pSyncL.end(), [](const SyncRecord& r) { return r.check; }));
  // Nor does a tick by hand send anything over what the server may hold.
  for (SyncRecord& r : t.conn.pSyncL)
    r.check = true;
  t.conn.SyncUpload();
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  EXPECT_EQ(server.Failure(), "");
  EXPECT_TRUE(quiet) << "nothing may follow the walk";
  ASSERT_FALSE(t.conn.log.empty());
  EXPECT_TRUE(std::any_of(t.conn.log.begin(), t.conn.log.end(), [](const std::string& line) {
    return line.find("/site") != std::string::npos && line.find("about.html") != std::string::npos;
  }));
}

// pure-ftpd lists at most 10,000 entries of a folder, and a folder it may
// enter but not read as empty, and says so only in its final reply: the
// entries it leaves out are not missing there, so none of their older local
// namesakes may go up over them, and nothing in such a folder is deleted.
TEST(RunErrors, FoldersTheServerListsInPartAreLeftAlone)
{
  if (!RunInPrivateNetwork())
    return;
  Connected t(FtpServerKind::PureFtpd, true, true);
  constexpr int kFiles = 10'050;
  auto name = [](int i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "many/f%05d.txt", i);
    return std::string(buf);
  };
  for (int i = 0; i < kFiles; ++i) {
    t.server.WriteFile("site/" + name(i), "server");
    site::WriteAged(t.local / name(i), "older local copy", 5);
  }
  t.server.WriteFile("site/many/remote-only.txt", "keep");
  t.server.WriteFile("site/box/keep.txt", "server");
  const std::string box = t.server.Root() + "/site/box";
  ASSERT_EQ(::chown(box.c_str(), 0, 0), 0); // root's, so pure-ftpd's user may not read it
  ASSERT_EQ(::chmod(box.c_str(), 0733), 0);
  site::WriteAged(t.local / "box/keep.txt", "older local copy", 5);
  site::WriteAged(t.local / "top.txt", "new", 0);
  ASSERT_TRUE(t.Connect());
  t.conn.SyncUpload();
  ASSERT_TRUE(PumpUntil([] { return ModalRecorder::Count(ConnectionText::SyncFinished) == 1; }));
  EXPECT_EQ(t.server.ReadFile("site/top.txt"), "new") << "the rest of the run goes on";
  EXPECT_TRUE(t.server.Exists("site/many/remote-only.txt"));
  EXPECT_EQ(t.server.ReadFile("site/box/keep.txt"), "server");
  int replaced = 0;
  for (int i = 0; i < kFiles; ++i)
    replaced += t.server.ReadFile("site/" + name(i)) != "server";
  EXPECT_EQ(replaced, 0);
  for (const char* why : {"truncated", "unable to read"})
    EXPECT_TRUE(std::any_of(t.conn.log.begin(), t.conn.log.end(),
                            [why](const std::string& line) { return line.find(why) != std::string::npos; }))
        << why;
}

enum class CutShort {
  ResetThen426,
  Answered451First,
  ClosedEarlyThen226,
  OpenedAfterTheDataSideFailed,
  RefusedBeforeOpening,
  ControlLost,
  StoredWholeThenControlLost,
  ClosingWithTheRefusal,
  DeleUnansweredAtDisconnect,
  QuitBeforeOpening
};

class UploadCutShortOnTheServer : public ::testing::TestWithParam<CutShort> {};

// An upload that fails may leave a part of it on the server, dated now. Only
// a STOR the server answers with a 2xx, taking the part for the file, is
// followed by a DELE; after a refusal or a cut connection the server may
// still hold its older copy whole (proftpd's HiddenStores), so nothing is
// deleted. Whenever the file stays, or its DELE gets no 2xx, a box names it
// and says what the server may hold.
TEST_P(UploadCutShortOnTheServer, IsDeletedOrNamed)
{
  if (!RunInPrivateNetwork())
    return;
  const CutShort how = GetParam();
  ScriptedFtpServer server(
      [how](ScriptSession& s) {
        WalkThenStore(s, "/site/big.bin");
        if (how == CutShort::QuitBeforeOpening) {
          s.ClientClosed(20000);
          return;
        }
        if (how == CutShort::OpenedAfterTheDataSideFailed) {
          s.ResetData();
          std::this_thread::sleep_for(std::chrono::milliseconds(200));
          s.Send("150 Ok to send\r\n");
          std::this_thread::sleep_for(std::chrono::milliseconds(200));
          s.Send("426 Connection closed; transfer aborted.\r\n");
          s.QuietFor(500);
          return;
        }
        if (how == CutShort::RefusedBeforeOpening) {
          s.Send("553 Could not create file.\r\n");
          s.QuietFor(1000);
          return;
        }
        s.Send("150 Ok to send\r\n");
        if (how == CutShort::StoredWholeThenControlLost) {
          s.ReadDataUntilClosed();
          s.Send("226 Transfer complete.\r\n421 Service closing.\r\n");
          ::shutdown(s.controlFd, SHUT_RDWR);
          return;
        }
        s.ReadData(8192);
        if (how == CutShort::ControlLost) {
          s.ResetData();
          ::shutdown(s.controlFd, SHUT_RDWR);
          return;
        }
        if (how == CutShort::ClosingWithTheRefusal) {
          s.ResetData();
          s.Send("426 Connection closed; transfer aborted.\r\n421 Service closing.\r\n");
          s.QuietFor(300);
          ::shutdown(s.controlFd, SHUT_RDWR);
          return;
        }
        if (how == CutShort::ResetThen426) {
          s.ResetData();
          std::this_thread::sleep_for(std::chrono::milliseconds(200));
          s.Send("426 Connection closed; transfer aborted.\r\n");
        } else if (how == CutShort::Answered451First) {
          s.Send("451 Local error in processing.\r\n");
          s.ResetData();
        } else {
          // Taken for the file, a part of it: only this goes.
          s.EndDataSending();
          std::this_thread::sleep_for(std::chrono::milliseconds(200));
          s.Send("226 Transfer complete.\r\n");
          s.Expect("DELE /site/big.bin");
          if (how == CutShort::DeleUnansweredAtDisconnect) {
            s.Expect("QUIT");
            return;
          }
          s.Send("250 Deleted.\r\n");
        }
        s.QuietFor(500);
      },
      21);
  ScriptedSite t;
  const bool small = how == CutShort::StoredWholeThenControlLost;
  site::WriteAged(t.local / "big.bin", std::string(small ? 100'000 : 4 << 20, 'b'), 0);
  ASSERT_TRUE(t.Connect());
  t.conn.SyncUpload();
  if (how == CutShort::DeleUnansweredAtDisconnect) {
    ASSERT_TRUE(PumpUntil([&] { return SentAnyOf(server, {"DELE"}); }));
    PumpFor(100);
    t.conn.CloseConnection();
  }
  if (how == CutShort::QuitBeforeOpening) {
    ASSERT_TRUE(PumpUntil([&] { return SentAnyOf(server, {"STOR"}); }));
    PumpFor(50);
    ModalRecorder::PushButton(0); // "切断": the server may have emptied the file already
    EXPECT_FALSE(t.conn.ConnectionCancelClose());
  }
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  PumpFor(small ? 500 : 100);
  EXPECT_EQ(server.Failure(), "");
  EXPECT_FALSE(t.conn.SyncRunning());
  if (how != CutShort::StoredWholeThenControlLost) {
    EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0);
  }
  const bool taken = how == CutShort::ClosedEarlyThen226 || how == CutShort::DeleUnansweredAtDisconnect;
  EXPECT_EQ(SentAnyOf(server, {"DELE"}), taken);
  int named = 0;
  for (const ModalRequest& r : ModalRecorder::Requests()) {
    if (r.message.find("/site/big.bin") == std::string::npos)
      continue;
    ++named;
    EXPECT_NE(r.message.find(taken ? "keeps the part it got" : "may still hold its older copy"), std::string::npos)
        << r.message;
  }
  EXPECT_EQ(named, how == CutShort::ClosedEarlyThen226 || how == CutShort::StoredWholeThenControlLost ? 0 : 1);
  // The log says the part is gone only once the server said so.
  const bool saysDeleted = std::any_of(t.conn.log.begin(), t.conn.log.end(), [](const std::string& line) {
    return line.rfind("Deleted /site/big.bin", 0) == 0;
  });
  EXPECT_EQ(saysDeleted, how == CutShort::ClosedEarlyThen226);
}

const char* const kCutShortNames[] = {"resetThen426",         "answered451First", "closedEarlyThen226",
                                      "openedAfterTheDataSideFailed", "refusedBeforeOpening", "controlLost",
                                      "storedWholeThenControlLost", "closingWithTheRefusal",
                                      "deleUnansweredAtDisconnect", "quitBeforeOpening"};

INSTANTIATE_TEST_SUITE_P(Ways, UploadCutShortOnTheServer,
                         ::testing::Values(CutShort::ResetThen426, CutShort::Answered451First,
                                           CutShort::ClosedEarlyThen226, CutShort::OpenedAfterTheDataSideFailed,
                                           CutShort::RefusedBeforeOpening, CutShort::ControlLost,
                                           CutShort::StoredWholeThenControlLost, CutShort::ClosingWithTheRefusal,
                                           CutShort::DeleUnansweredAtDisconnect, CutShort::QuitBeforeOpening),
                         [](const auto& info) { return std::string(kCutShortNames[static_cast<int>(info.param)]); });

// The server ends the connection (an idle time-out) while the type of the
// next file is asked, after one was stored whole: no file is named as cut
// short, and neither is written down as untrusted, so the next compare
// does not tick them again.
TEST(RunErrors, ConnectionEndedDuringTheTypeQuestionLeavesNothingUntrusted)
{
  if (!RunInPrivateNetwork())
    return;
  ScriptedFtpServer server(
      [](ScriptSession& s) {
        WalkThenStore(s, "/site/a.bin");
        s.Send("150 Ok to send\r\n");
        s.ReadDataUntilClosed();
        s.Send("226 Transfer complete.\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        s.Send("421 Timeout.\r\n");
        ::shutdown(s.controlFd, SHUT_RDWR);
      },
      21);
  ScriptedSite t;
  site::WriteAged(t.local / "a.bin", "a", 0);
  site::WriteAged(t.local / "b.dat", "b", 0);
  t.conn.whileAsked = [&] { PumpUntil([&] { return !t.conn.SyncRunning(); }); };
  ASSERT_TRUE(t.Connect());
  t.conn.SyncUpload();
  ASSERT_TRUE(PumpUntil([&] { return server.Done() && !t.conn.commandSocket.IsOpen(); }));
  PumpFor(100);
  EXPECT_EQ(server.Failure(), "");
  for (const std::string& line : t.conn.log)
    EXPECT_EQ(line.find("The upload of "), std::string::npos) << line;
  EXPECT_EQ(UntrustedUploads(t.conn.host, t.conn.user).Paths(), std::set<std::string>{});
}

enum class Refusal { Type, Pasv, DataConnection };

class RefusedStep : public ::testing::TestWithParam<Refusal> {};

// A TYPE or PASV refused, or a passive data connection that cannot be made
// (no STOR is written then, and the box names the file), ends the upload;
// the user unticks the file and runs again, deletions only: each DELE's
// reply is its own, and takes up no step of the refused upload (no PASV,
// no STOR, no box for a success).
TEST_P(RefusedStep, IsNotTakenUpByALaterReply)
{
  if (!RunInPrivateNetwork())
    return;
  const Refusal refused = GetParam();
  bool quiet = false;
  ScriptedFtpServer server(
      [&](ScriptSession& s) {
        LoginAndWalk(s, "-rw-r--r-- 1 u g 1 Jan 05 2008 gone1.txt\r\n-rw-r--r-- 1 u g 1 Jan 05 2008 gone2.txt\r\n");
        s.Expect("TYPE I");
        if (refused == Refusal::Type) {
          s.Send("504 Type not supported.\r\n");
        } else if (refused == Refusal::DataConnection) {
          s.Send("200 binary\r\n");
          s.Expect("PASV");
          const int nobody = FreeLocalPort();
          s.Send("227 Entering Passive Mode (127,0,0,1," + std::to_string(nobody / 256) + "," +
                 std::to_string(nobody % 256) + ")\r\n");
        } else {
          s.Send("200 binary\r\n");
          s.Expect("PASV");
          s.Send("425 Cannot open a passive connection.\r\n");
        }
        for (const char* name : {"gone2.txt", "gone1.txt"}) {
          s.Expect(std::string("DELE /site/") + name);
          s.Send("250 Deleted.\r\n");
        }
        quiet = s.QuietFor(500);
      },
      21);
  ScriptedSite t;
  site::WriteAged(t.local / "new.bin", "new", 0);
  ASSERT_TRUE(t.Connect());
  t.conn.SyncUpload();
  ASSERT_TRUE(PumpUntil([&] { return !t.conn.SyncRunning(); }));
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  // Whatever was refused, the box names the file.
  EXPECT_NE(ModalRecorder::Requests()[0].message.find("/site/new.bin"), std::string::npos)
      << ModalRecorder::Requests()[0].message;
  for (SyncRecord& r : t.conn.pSyncL)
    r.check = false;
  ASSERT_TRUE(PumpUntil([&] { return t.conn.Idle(); }));
  t.conn.SyncUpload();
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  PumpFor(100);
  EXPECT_EQ(server.Failure(), "");
  EXPECT_TRUE(quiet) << "nothing may follow the last DELE";
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1);
  EXPECT_EQ(ModalRecorder::Count("An error occurred: 250 Deleted."), 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, RefusedStep, ::testing::Values(Refusal::Type, Refusal::Pasv, Refusal::DataConnection),
                         [](const auto& info) {
                           return std::string(info.param == Refusal::Type   ? "type"
                                              : info.param == Refusal::Pasv ? "pasv"
                                                                            : "dataConnection");
                         });

// The walk's last folder is refused, so its change back to the root is
// still unanswered when the compare is shown and "同期" is pressed at once:
// a box says what the program waits for, and no step is sent before that
// answer, nor moved by it.
TEST(RunErrors, RunStepsWaitForTheAnswersToTheirOwnCommands)
{
  if (!RunInPrivateNetwork())
    return;
  ScriptedFtpServer server(
      [](ScriptSession& s) {
        LoginAndWalk(s, "drwxr-xr-x 2 u g 4096 Jan 05 2008 sealed\r\n", false);
        s.Expect("CWD /site/sealed");
        s.Send("550 Permission denied.\r\n");
        s.Expect("CWD /site");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        s.Send("250 ok\r\n");
        s.Expect("PWD");
        s.Send("257 \"/site\"\r\n");
        for (const char* folder : {"a", "b"}) {
          s.Expect(std::string("MKD /site/") + folder);
          s.Send("257 made\r\n");
        }
        s.QuietFor(300);
      },
      21);
  ScriptedSite t;
  for (const char* folder : {"a", "b"})
    std::filesystem::create_directories(t.local / folder);
  t.conn.localFolder = GetFolderItem(t.local.Path());
  t.conn.MakeConnection();
  ASSERT_TRUE(PumpUntil([&] { return t.conn.pFin && !t.conn.pSyncRFlg; }));
  // The first box names the folder whose listing was refused.
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  EXPECT_NE(ModalRecorder::Requests()[0].message.find("/site/sealed"), std::string::npos);
  t.conn.SyncUpload();
  ASSERT_EQ(ModalRecorder::Requests().size(), 2u);
  EXPECT_EQ(ModalRecorder::Requests()[1].explanation,
            "The server has not answered yet: the program waits for the reply to CWD /site.");
  ASSERT_TRUE(PumpUntil([&] {
    if (!t.conn.SyncRunning() && t.conn.Idle() && ModalRecorder::Count(ConnectionText::SyncFinished) == 0)
      t.conn.SyncUpload(); // refused at first: pressed again
    return server.Done();
  }));
  PumpFor(100);
  EXPECT_EQ(server.Failure(), "");
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1);
}

// "切断" and "接続" while a STOR awaits its opening reply are refused as
// during the transfer itself: the server may be emptying the file already.
// The upload then goes on and ends whole.
TEST(RunErrors, DisconnectAndConnectWhileAStoreAwaitsItsOpeningAreRefused)
{
  if (!RunInPrivateNetwork())
    return;
  std::atomic<bool> pressed{false};
  std::string received;
  const std::string bytes(300'000, 'b');
  ScriptedFtpServer server(
      [&](ScriptSession& s) {
        WalkThenStore(s, "/site/big.bin");
        for (int i = 0; i < 500 && !pressed; ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        s.Send("150 Ok to send\r\n");
        received = s.ReadDataUntilClosed();
        s.Send("226 Transfer complete.\r\n");
        s.QuietFor(300);
      },
      21);
  ScriptedSite t;
  site::WriteAged(t.local / "big.bin", bytes, 0);
  ASSERT_TRUE(t.Connect());
  t.conn.SyncUpload();
  ASSERT_TRUE(PumpUntil([&] { return SentAnyOf(server, {"STOR"}); }));
  PumpFor(50);
  t.conn.CloseConnection();
  t.conn.MakeConnection();
  pressed = true;
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::DataConnectedNoDisconnect), 2);
  EXPECT_EQ(t.conn.pMode, 1);
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  PumpFor(100);
  EXPECT_EQ(server.Failure(), "");
  EXPECT_EQ(received, bytes);
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1);
}

// A file whose last upload did not end whole, which a run then does not
// send (the list cancelled, or its type question), is still not trusted on
// the server: every later compare ticks it again.
TEST(RunErrors, UntrustedFileARunDoesNotSendStaysUntrusted)
{
  if (!RunInPrivateNetwork())
    return;
  Connected t(FtpServerKind::Pyftpdlib, true, false);
  t.server.WriteFile("site/part.dat", "part");
  site::WriteAged(t.local / "part.dat", "whole file", 5);
  ASSERT_TRUE(UntrustedUploads(t.conn.host, t.conn.user).Add({"/site/part.dat"}));
  t.conn.typeAnswer = "C";
  for (int run = 0; run < 3; ++run) {
    if (run > 0)
      ModalRecorder::PushButton(0); // "実行": clear the earlier results
    ASSERT_TRUE(t.Connect());
    ASSERT_EQ(std::count_if(t.conn.pSyncL.begin(), t.conn.pSyncL.end(), [](const SyncRecord& r) { return r.check; }),
              1)
        << "run " << run;
    t.conn.confirmAnswer = run > 0;
    t.conn.SyncUpload();
    ASSERT_TRUE(PumpUntil([&] { return !t.conn.SyncRunning() && t.conn.Idle(); }));
  }
  EXPECT_EQ(t.server.ReadFile("site/part.dat"), "part");
}

enum class Quirk { UserAlone, BareLineFeeds, OtherSuccessCodes };

class ServerQuirk : public ::testing::TestWithParam<Quirk> {};

// Servers that log in on USER alone, end their lines with a bare LF, or
// answer CWD with 200 and a listing with a 250 alone: each still gives the
// compare, and the connection is ready for a run.
TEST_P(ServerQuirk, StillGivesTheCompare)
{
  if (!RunInPrivateNetwork())
    return;
  const Quirk quirk = GetParam();
  ScriptedFtpServer server(
      [quirk](ScriptSession& s) {
        auto say = [&](std::string text) {
          for (std::size_t at; quirk == Quirk::BareLineFeeds && (at = text.find("\r\n")) != std::string::npos;)
            text.erase(at, 1);
          s.Send(text);
        };
        const std::string cwdDone = quirk == Quirk::OtherSuccessCodes ? "200 ok\r\n" : "250 ok\r\n";
        say("220-Welcome\r\n220 ready\r\n");
        s.Expect("USER quill");
        if (quirk == Quirk::UserAlone) {
          say("230 Logged in, no password needed.\r\n");
        } else {
          say("331 password please\r\n");
          s.Expect("PASS secret");
          say("230 in\r\n");
        }
        s.Expect("PWD");
        say("257 \"/\"\r\n");
        for (int pass = 0; pass < 2; ++pass) {
          s.Expect("CWD /site");
          say(cwdDone);
          s.Expect("PWD");
          say("257 \"/site\"\r\n");
          if (pass == 1)
            break;
          s.Expect("PASV");
          say(s.OpenPassive());
          s.AcceptData();
          s.Expect("LIST");
          if (quirk != Quirk::OtherSuccessCodes)
            say("150 listing\r\n");
          s.SendData("-rw-r--r-- 1 u g 1 Jan 05 2008 a.txt\r\n");
          s.CloseData();
          say(quirk == Quirk::OtherSuccessCodes ? "250 Listing sent.\r\n" : "226 done\r\n");
        }
        s.ClientClosed(20000);
      },
      21);
  ScriptedSite t;
  ASSERT_TRUE(t.Connect());
  EXPECT_EQ(server.Failure(), "");
  ASSERT_EQ(t.conn.pSyncR.size(), 1u);
  EXPECT_EQ(t.conn.pSyncR[0].name, "a.txt");
  EXPECT_TRUE(ModalRecorder::Requests().empty());
}

const char* const kQuirkNames[] = {"userAlone", "bareLineFeeds", "otherSuccessCodes"};

INSTANTIATE_TEST_SUITE_P(Ways, ServerQuirk,
                         ::testing::Values(Quirk::UserAlone, Quirk::BareLineFeeds, Quirk::OtherSuccessCodes),
                         [](const auto& info) { return std::string(kQuirkNames[static_cast<int>(info.param)]); });

class ServerGone : public ::testing::TestWithParam<bool> {};

// The server stops answering after the first listing (a hung server, or a
// link that drops everything), or closes the connection: a box says so, the
// log says what was awaited, and "接続" works again; the next connection is
// not cut off while nothing is awaited.
TEST_P(ServerGone, IsToldAndConnectWorksAgain)
{
  if (!RunInPrivateNetwork())
    return;
  const bool silent = GetParam();
  constexpr auto kLimit = std::chrono::seconds(2);
  ScriptedSite t;
  t.conn.commandSocket.silenceLimit = kLimit;
  {
    ScriptedFtpServer server(
        [silent](ScriptSession& s) {
          LoginAndWalk(s, "", false);
          s.Expect("CWD /site");
          if (silent)
            s.ClientClosed(20000);
          else
            ::shutdown(s.controlFd, SHUT_RDWR);
        },
        21);
    t.conn.localFolder = GetFolderItem(t.local.Path());
    t.conn.MakeConnection();
    const std::string box = silent ? "The server did not answer for 2 seconds while waiting for the reply to CWD /site."
                                   : "Error: 102";
    ASSERT_TRUE(PumpUntil([&] { return ModalRecorder::Count(box) == 1; })) << ModalRecorder::Requests().size();
    const std::string logged =
        silent ? box : "The connection to the server was lost while waiting for the reply to CWD /site.";
    EXPECT_EQ(std::count(t.conn.log.begin(), t.conn.log.end(), logged), 1);
    EXPECT_EQ(t.conn.pMode, 2);
    ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
    EXPECT_EQ(server.Failure(), "");
  }
  ScriptedFtpServer again(
      [](ScriptSession& s) {
        LoginAndWalk(s, "-rw-r--r-- 1 u g 1 Jan 05 2008 a.txt\r\n");
        s.Expect("QUIT");
        s.Send("221 bye\r\n");
      },
      21);
  ModalRecorder::PushButton(0); // clear the earlier results
  ASSERT_TRUE(t.Connect());
  PumpFor(2 * std::chrono::milliseconds(kLimit).count());
  EXPECT_TRUE(t.conn.commandSocket.IsConnected()) << "nothing is awaited between the compare and a run";
  EXPECT_EQ(ModalRecorder::Requests().size(), 2u);
  t.conn.CloseConnection();
  ASSERT_TRUE(PumpUntil([&] { return again.Done(); }));
  EXPECT_EQ(again.Failure(), "");
}

INSTANTIATE_TEST_SUITE_P(Ways, ServerGone, ::testing::Bool(), [](const auto& info) {
  return std::string(info.param ? "stopsAnswering" : "closesTheConnection");
});

// The box about a refused command comes first; the transfer is taken as
// ended only after it.
TEST(RunErrors, RefusalIsShownBeforeTheTransferIsTakenAsEnded)
{
  ModalRecorder::Clear();
  HeadlessConnection conn;
  conn.dataSocket_Connected();
  bool connectedDuringBox = false;
  int maximumDuringBox = -1;
  ModalRecorder::Push([&](const ModalRequest&) {
    connectedDuringBox = conn.dataConnected;
    maximumDuringBox = conn.progressMaximum;
    return ModalAnswer{};
  });
  conn.progressMaximum = 0;
  conn.commandSocket_gotServerError("451 Local error.\r\n");
  EXPECT_EQ(ModalRecorder::Count("An error occurred: 451 Local error."), 1);
  EXPECT_TRUE(connectedDuringBox);
  EXPECT_EQ(maximumDuringBox, 0);
  EXPECT_FALSE(conn.dataConnected);
  EXPECT_EQ(conn.progressMaximum, 1);
}

TEST(TransferDisplay, CountsAndRatesPastTwoGibibytes)
{
  HeadlessConnection conn;
  conn.dataSocket.status = "stor";
  conn.dataSocket_Connected();
  for (int i = 0; i < 3; ++i)
    conn.dataSocket_bytesTransfered(1 << 30);
  EXPECT_EQ(conn.totalBytes, 3LL << 30);
  conn.clock = std::chrono::steady_clock::now() - std::chrono::seconds(2);
  conn.statusTimer_Action();
  EXPECT_NEAR(static_cast<double>(conn.bps), static_cast<double>(3LL << 29), 1e7);
}

} // namespace
