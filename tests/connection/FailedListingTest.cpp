// Server folders the walk cannot list or enter: a listing refused, its data
// connection refused or reset halfway, the remote folder itself missing.
// Nothing of a failed listing is taken for another folder's, one box names
// every such folder, and nothing in them is sent or deleted.

#include "HeadlessConnection.h"
#include "ScriptedFtpServer.h"
#include "WindowRoad.h"

#include "settings/UntrustedUploads.h"

#include <QAbstractEventDispatcher>

#include <cstdio>
#include <fstream>
#include <map>
#include <thread>

namespace {

std::string Entry(const char* kind, const std::string& date, const std::string& name)
{
  return std::string(kind) + "rw-r--r--   1 quill    quill           3 " + date + " " + name + "\r\n";
}

std::string Numbered(int i)
{
  char name[16];
  std::snprintf(name, sizeof name, "m%05d", i);
  return name;
}

// The boxes shown, without the windows (the plan's confirmation).
std::size_t Boxes()
{
  const auto& all = ModalRecorder::Requests();
  return static_cast<std::size_t>(
      std::count_if(all.begin(), all.end(), [](const ModalRequest& r) { return r.kind != ModalKind::Window; }));
}

bool Logged(const std::vector<std::string>& log, const std::string& text)
{
  return std::any_of(log.begin(), log.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

// ------------------------------------------------------ a scripted proftpd

enum class Cut { PartThenResetThen426, PartThen426ThenReset, ResetBeforeAnyByteThen426, PartThenCloseThen426 };

const char* const kRefusal = "426 Transfer aborted. Data connection closed.\r\n";

// Serves the listings by folder to the walk and answers a run, until the
// client quits. The listing of /site/d2 fails as cut says, and, as proftpd
// does, the listing after it begins with the line the failed one had left.
void ServeTree(ScriptSession& s, const std::map<std::string, std::string>& listings, Cut cut,
               const std::string& leftover)
{
  s.Login();
  std::string cwd = "/";
  bool failed = false;
  bool leftoverSent = false;
  for (;;) {
    std::string line;
    try {
      line = s.ReadLine();
    } catch (const std::runtime_error&) {
      return; // the client went away
    }
    if (line.rfind("CWD ", 0) == 0) {
      const bool known = listings.count(line.substr(4)) > 0;
      if (known)
        cwd = line.substr(4);
      s.Send(known ? "250 ok\r\n" : "550 Failed to change directory.\r\n");
    } else if (line == "PWD") {
      s.Send("257 \"" + cwd + "\"\r\n");
    } else if (line == "PASV") {
      s.Send(s.OpenPassive());
      s.AcceptData();
    } else if (line == "LIST") {
      s.Send("150 Opening ASCII mode data connection for file list\r\n");
      const std::string& listing = listings.at(cwd);
      if (cwd == "/site/d2" && !failed) {
        failed = true;
        if (cut != Cut::ResetBeforeAnyByteThen426)
          s.SendData(listing.substr(0, listing.size() / 2));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (cut == Cut::PartThen426ThenReset) {
          s.Send(kRefusal);
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          s.ResetData();
        } else if (cut == Cut::PartThenCloseThen426) {
          s.CloseData();
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          s.Send(kRefusal);
        } else {
          s.ResetData();
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          s.Send(kRefusal);
        }
        continue;
      }
      s.SendData(failed && !leftoverSent ? leftover + listing : listing);
      leftoverSent = failed;
      s.CloseData();
      s.Send("226 Transfer complete\r\n");
    } else if (line.rfind("STOR ", 0) == 0) {
      s.Send("150 Opening BINARY mode data connection\r\n");
      s.ReadDataUntilClosed();
      s.Send("226 Transfer complete\r\n");
    } else if (line == "QUIT") {
      s.Send("221 Goodbye.\r\n");
      return;
    } else {
      s.Send(line.rfind("TYPE ", 0) == 0 ? "200 Type set\r\n" : "250 ok\r\n");
    }
  }
}

class ListingCutShort : public ::testing::TestWithParam<Cut> {};

// The data connection of d2's listing is reset or closed halfway, in each
// order of its end and the 426: nothing of d2 becomes a record of d3, so
// the local d3/m00261, newer than d2's but older than the server's, is not
// sent; the box names d2 once, no other box comes, and the run's end names
// it again.
TEST_P(ListingCutShort, StaysItsOwnAndIsNamed)
{
  if (!RunInPrivateNetwork())
    return;
  std::map<std::string, std::string> listings;
  listings["/site"] = Entry("d", "Jan 05  2008", "d2") + Entry("d", "Jan 05  2008", "d3");
  for (int i = 0; i < 400; ++i)
    listings["/site/d2"] += Entry("-", "Jan 05  2008", Numbered(i));
  listings["/site/d3"] = Entry("-", "Jan 05  2099", "m00261");
  const std::string leftover = Entry("-", "Jan 05  2008", "m00261");
  ScriptedFtpServer server([&](ScriptSession& s) { ServeTree(s, listings, GetParam(), leftover); }, 21);
  ModalRecorder::Clear();
  gPref[PrefConfirmSync] = 0;
  gFileType = {{"txt", "A"}};
  TempDir local;
  site::WriteAged(local / "d3/m00261", "mine, older than the server's", 5);
  site::WriteAged(local / "d2/new.txt", "new", 0);
  HeadlessConnection conn;
  conn.remoteFolder = "/site";
  conn.localFolder = GetFolderItem(local.Path());
  conn.MakeConnection();
  ASSERT_TRUE(PumpUntil([&] { return conn.CompareDone(); }));
  conn.SyncUpload();
  ASSERT_TRUE(PumpUntil([&] { return !conn.SyncRunning() && conn.Idle(); }));
  conn.CloseConnection();
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  EXPECT_EQ(server.Failure(), "");

  for (const std::string& command : server.Commands())
    EXPECT_NE(command.rfind("STOR", 0), 0u) << command;
  std::vector<std::string> d3;
  for (const SyncRecord& r : conn.pSyncR)
    if (r.path.rfind("/site/d3/", 0) == 0)
      d3.push_back(r.name + " " + r.date.substr(0, 4));
  EXPECT_EQ(d3, std::vector<std::string>{"m00261 2099"});
  EXPECT_EQ(ModalRecorder::CountHolding("/site/d2"), 1) << Requests();
  EXPECT_EQ(ModalRecorder::Requests().size(), 1u) << Requests();
  EXPECT_TRUE(Logged(conn.log, "Nothing in /site/d2 was uploaded or deleted"));
}

const char* const kCutNames[] = {"partThenResetThen426", "partThen426ThenReset", "resetBeforeAnyByteThen426",
                                 "partThenCloseThen426"};

INSTANTIATE_TEST_SUITE_P(Orders, ListingCutShort,
                         ::testing::Values(Cut::PartThenResetThen426, Cut::PartThen426ThenReset,
                                           Cut::ResetBeforeAnyByteThen426, Cut::PartThenCloseThen426),
                         [](const auto& info) { return std::string(kCutNames[static_cast<int>(info.param)]); });

// ------------------------------------------------------ real servers

// Small socket buffers in this private network keep a real server writing a
// long listing while the client reads it.
void SmallSocketBuffers()
{
  for (const char* buffer : {"/proc/sys/net/ipv4/tcp_rmem", "/proc/sys/net/ipv4/tcp_wmem"})
    std::ofstream(buffer) << "4096 4096 4096";
}

// Waits, one turn of the loop at a time, until folder's listing flows (a
// few milliseconds of pumping could see it to its end); the server's port
// of its data connection, or -1.
int FlowingListingPort(Window1& w, const std::string& folder)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!(w.currentPath == folder && !w.dataSocket.listData.empty())) {
    if (std::chrono::steady_clock::now() > end)
      return -1;
    QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return PassivePort(LastPassiveReply(w.EditField5.Text()));
}

// The process that holds the server's end of a connection on port.
pid_t ServerProcessOn(int port)
{
  std::string out;
  if (FILE* p = ::popen(("ss -t -n -p -H src 127.0.0.1 sport = :" + std::to_string(port)).c_str(), "r")) {
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
      out.append(buf, n);
    ::pclose(p);
  }
  const auto at = out.find("pid=");
  return at == std::string::npos ? -1 : static_cast<pid_t>(std::atoi(out.c_str() + at + 4));
}

// On proftpd the data connection of d2's listing is reset while the server
// still writes it (its own end closed; small socket buffers in this private
// network keep it writing), and proftpd sends what it had left of that
// listing at the start of the next one. d3's newer server files stay after
// "同期", and after a restart on the same settings folder, when d2 goes up
// as it should.
TEST(WindowRoadListing, ResetHalfwayOnProftpdLeavesTheNextFolderAsItIs)
{
  if (!RunInPrivateNetwork())
    return;
  SmallSocketBuffers();
  Road road(FtpServerKind::ProFtpd, true, false);
  const std::string r = road.server.Root() + "/site/";
  constexpr int kFiles = 500;
  for (int i = 0; i < kFiles; ++i) {
    road.server.WriteFile("site/d2/" + Numbered(i), "old");
    site::SetAge(r + "d2/" + Numbered(i), 30);
    road.server.WriteFile("site/d3/" + Numbered(i), "colleague's");
    site::WriteAged(road.local / ("d3/" + Numbered(i)), "mine, older than the colleague's", 5);
  }
  site::WriteAged(road.local / "d2/new.txt", "new", 0);

  Window1* w = road.w;
  w->Toolbar11.Press("ToolItem1");
  const int port = FlowingListingPort(*w, "/site/d2");
  ASSERT_GT(port, 0) << Requests();
  ASSERT_TRUE(CloseSockets("src 127.0.0.1 sport = :" + std::to_string(port))) << "ss -K cannot close sockets here";
  ASSERT_TRUE(PumpUntil([&] { return w->pFin && !w->pSyncRFlg && w->SyncConnectionIdle(); })) << Requests();
  EXPECT_EQ(ModalRecorder::CountHolding("/site/d2"), 1) << Requests();
  EXPECT_EQ(ModalRecorder::Requests().size(), 1u) << Requests();
  for (const SyncRecord& rec : w->pSyncL)
    EXPECT_FALSE(rec.check) << rec.path;
  ASSERT_TRUE(road.Sync());
  EXPECT_NE(w->EditField5.Text().find("Nothing in /site/d2 was uploaded or deleted"), std::string::npos);
  EXPECT_FALSE(road.server.Exists("site/d2/new.txt"));

  ASSERT_TRUE(road.app->Quit());
  road.app.reset();
  road.OpenWindow();
  ASSERT_TRUE(road.ConnectAndSync());
  EXPECT_EQ(ModalRecorder::CountHolding("/site/d2"), 0) << Requests();
  EXPECT_EQ(road.server.ReadFile("site/d2/new.txt"), "new");
  int replaced = 0;
  for (int i = 0; i < kFiles; ++i)
    replaced += road.server.ReadFile("site/d3/" + Numbered(i)) != "colleague's";
  EXPECT_EQ(replaced, 0);
}

// The root listing's data connection reset on proftpd, which answers the
// listing 426 once it notices: the box names the folder, and the 426 only
// goes to the log.
TEST(WindowRoadListing, ResetRootListingOnProftpdGivesOneBox)
{
  if (!RunInPrivateNetwork())
    return;
  SmallSocketBuffers();
  Road road(FtpServerKind::ProFtpd, true, false);
  for (int i = 0; i < 500; ++i)
    road.server.WriteFile("site/" + Numbered(i), "old");
  Window1& w = *road.w;
  w.Toolbar11.Press("ToolItem1");
  const int port = FlowingListingPort(w, "/site");
  ASSERT_GT(port, 0) << Requests();
  // Held while the reset reaches us, so its 426 comes after it, as it does
  // when a reset comes from the network.
  const pid_t session = ServerProcessOn(port);
  ASSERT_GT(session, 0);
  ::kill(session, SIGSTOP);
  const bool closed = CloseSockets("src 127.0.0.1 sport = :" + std::to_string(port));
  const bool told = closed && PumpUntil([&] { return ModalRecorder::CountHolding("The listing of /site failed") == 1; });
  ::kill(session, SIGCONT);
  ASSERT_TRUE(closed) << "ss -K cannot close sockets here";
  ASSERT_TRUE(told) << Requests();
  ASSERT_TRUE(PumpUntil([&] { return w.SyncConnectionIdle(); })) << Requests();
  PumpFor(300);
  EXPECT_EQ(ModalRecorder::Requests().size(), 1u) << Requests();
  EXPECT_NE(w.EditField5.Text().find("426 "), std::string::npos) << w.EditField5.Text();
}

// The passive data connection of a sub-folder's listing refused (the
// server's port closed as its 227 comes): the folder is named in one box
// and left alone, the rest goes up.
TEST(WindowRoadListing, RefusedDataConnectionIsNamedAndItsFolderLeftAlone)
{
  if (!RunInPrivateNetwork())
    return;
  Road road(FtpServerKind::PureFtpd, true, false);
  Window1& w = *road.w;
  road.server.WriteFile("site/d2/a.txt", "server");
  site::SetAge(road.server.Root() + "/site/d2/a.txt", 3);
  site::WriteAged(road.local / "d2/a.txt", "newer local", 0);
  site::WriteAged(road.local / "top.txt", "top", 0);
  const auto log = w.commandSocket.gotResponse;
  w.commandSocket.gotResponse = [&w, log](const std::string& line) {
    log(line);
    if (w.currentPath == "/site/d2" && line.rfind("227 ", 0) == 0)
      CloseSockets("-l src 127.0.0.1 sport = :" + std::to_string(PassivePort(line)));
  };
  ASSERT_TRUE(road.ConnectAndSync());
  EXPECT_EQ(ModalRecorder::CountHolding("/site/d2"), 1) << Requests();
  EXPECT_EQ(ModalRecorder::CountHolding("the data connection could not be made"), 1) << Requests();
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1) << Requests();
  EXPECT_EQ(Boxes(), 2u) << Requests();
  EXPECT_EQ(road.server.ReadFile("site/d2/a.txt"), "server");
  EXPECT_EQ(road.server.ReadFile("site/top.txt"), "top");
}

struct UnreadableCase {
  FtpServerKind server;
  mode_t mode; // of the server's folder d2
  const char* name;
};

void PrintTo(const UnreadableCase& c, std::ostream* os)
{
  *os << c.name;
}

class UnreadableServerFolder : public ::testing::TestWithParam<UnreadableCase> {};

// A server folder its session user may not enter (no permission bits) or
// not read (only x and w): the box names it, the newer local file in it is
// not sent, even ticked by hand, the run's end names it again, and the rest
// goes up.
TEST_P(UnreadableServerFolder, IsNamedAndNothingGoesIntoIt)
{
  if (!RunInPrivateNetwork())
    return;
  const UnreadableCase& c = GetParam();
  Road road(c.server, true, false);
  Window1& w = *road.w;
  const std::string d2 = road.server.Root() + "/site/d2";
  road.server.WriteFile("site/d2/a.txt", "server");
  site::SetAge(d2 + "/a.txt", 3);
  site::WriteAged(road.local / "d2/a.txt", "newer local", 0);
  site::WriteAged(road.local / "top.txt", "top", 0);
  // Nor does an earlier upload of it that was cut short send it now.
  ASSERT_TRUE(UntrustedUploads(road.address, road.server.User()).Add({"/site/d2/a.txt"}));
  ::chmod(d2.c_str(), c.mode);
  ASSERT_TRUE(road.Connect()) << Requests();
  // Nor does a tick by hand on its local twin.
  Road::TickByHand(w.localListBox, "d2");
  ASSERT_TRUE(road.Sync());
  ::chmod(d2.c_str(), 0755);
  EXPECT_EQ(ModalRecorder::CountHolding("/site/d2"), 1) << Requests();
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1) << Requests();
  EXPECT_EQ(Boxes(), 2u) << Requests();
  EXPECT_EQ(road.server.ReadFile("site/d2/a.txt"), "server");
  EXPECT_EQ(road.server.ReadFile("site/top.txt"), "top");
  const std::string log = w.EditField5.Text();
  EXPECT_NE(log.find("Nothing in /site/d2 was uploaded or deleted"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Servers, UnreadableServerFolder,
                         ::testing::Values(UnreadableCase{FtpServerKind::Vsftpd, 0000, "VsftpdNotEnterable"},
                                           UnreadableCase{FtpServerKind::Vsftpd, 0311, "VsftpdNotReadable"},
                                           UnreadableCase{FtpServerKind::PureFtpd, 0000, "PureFtpdNotEnterable"},
                                           UnreadableCase{FtpServerKind::PureFtpd, 0311, "PureFtpdNotReadable"},
                                           UnreadableCase{FtpServerKind::ProFtpd, 0000, "ProFtpdNotEnterable"}),
                         [](const auto& info) { return std::string(info.param.name); });

class MissingRemoteFolder : public ::testing::TestWithParam<bool> {};

// The profile names a remote folder the server does not have: "接続" ends
// with a box naming it and the server's reply, as a refused login does,
// with nothing compared and nothing to send, also on a second start. A row
// of the type table without an extension takes no folder for a file.
TEST_P(MissingRemoteFolder, EndsTheConnectionWithABox)
{
  if (!RunInPrivateNetwork())
    return;
  const bool rowWithoutExtension = GetParam();
  Road road(FtpServerKind::Vsftpd, true, false);
  site::WriteAged(road.local / "index.html", "local", 0);
  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE(start == 0 ? "first start" : "after a restart");
    if (start > 0) {
      ASSERT_TRUE(road.app->Quit());
      road.app.reset();
      road.OpenWindow();
    }
    Window1& w = *road.w;
    if (rowWithoutExtension)
      gFileType.push_back({"", "A"});
    w.EditField4.SetText("/staging");
    w.Toolbar11.Press("ToolItem1");
    ASSERT_TRUE(PumpUntil([&] { return w.pFin && !w.pSyncRFlg && !w.commandSocket.AnswerDue(); })) << Requests();
    ASSERT_EQ(ModalRecorder::Requests().size(), 1u) << Requests();
    const std::string box = ModalRecorder::Requests()[0].message;
    EXPECT_NE(box.find("/staging"), std::string::npos) << box;
    EXPECT_NE(box.find("550 Failed to change directory."), std::string::npos) << box;
    EXPECT_EQ(w.pMode, 2);
    EXPECT_FALSE(w.Toolbar11.ToolItem4.Enabled());
    EXPECT_TRUE(w.ListBox1.Enabled());
    EXPECT_TRUE(w.pSyncL.empty());
    EXPECT_EQ(w.localListBox.ListCount(), 0);
    // The button is off; pressed all the same, it only says why not.
    w.SyncUpload();
    ASSERT_TRUE(PumpUntil([&] { return !w.commandSocket.IsOpen(); }));
    PumpFor(200);
    ASSERT_EQ(ModalRecorder::Requests().size(), 2u) << Requests();
    EXPECT_EQ(ModalRecorder::Requests()[1].message, "The run cannot start now.");
    ModalRecorder::Clear();
  }
}

INSTANTIATE_TEST_SUITE_P(TypeTables, MissingRemoteFolder, ::testing::Bool(), [](const auto& info) {
  return std::string(info.param ? "withARowWithoutExtension" : "plain");
});

} // namespace
