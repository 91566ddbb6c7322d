// Whole runs of the connection against real servers on 127.0.0.1:21, in a
// private network namespace.

#include "HeadlessConnection.h"
#include "PrivateNetwork.h"
#include "SiteFixture.h"

#include "connection/ConnectionTexts.h"

#include "FtpServers.h"
#include "ModalRecorder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct RunCase {
  FtpServerKind server;
  bool passive;
  bool uploadAndDelete;
};

std::string CaseName(const ::testing::TestParamInfo<RunCase>& info)
{
  return std::string(info.param.server == FtpServerKind::Pyftpdlib ? "Pyftpdlib" : "PureFtpd") +
         (info.param.passive ? "Passive" : "Active") + (info.param.uploadAndDelete ? "UploadAndDelete" : "UploadOnly");
}

int Notices(const std::string& message)
{
  int n = 0;
  for (const auto& r : ModalRecorder::Requests())
    if (r.message == message)
      ++n;
  return n;
}

std::string AllRequests()
{
  std::string out;
  for (const auto& r : ModalRecorder::Requests())
    out += "[" + r.message + "] ";
  return out;
}

FtpServerOptions PortOptions()
{
  FtpServerOptions o;
  o.port = 21;
  return o;
}

class Connected {
public:
  Connected(FtpServerKind kind, bool passive, bool uploadAndDelete) : server(kind, PortOptions())
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

  bool Run()
  {
    conn.SyncUpload();
    return PumpUntil([&] { return Notices(ConnectionText::SyncFinished) > 0 || !conn.SyncRunning(); }) &&
           PumpUntil([&] { return conn.Idle(); });
  }

  FtpServerProcess server;
  TempDir local;
  HeadlessConnection conn;
};

class WholeRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(WholeRun, LeavesTheServerFolderAsTheLocalOne)
{
  if (!RunInPrivateNetwork())
    return;
  const RunCase c = GetParam();
  Connected t(c.server, c.passive, c.uploadAndDelete);
  site::BuildLocal(t.local.Path());
  site::BuildRemote(t.server);
  ASSERT_TRUE(t.Connect()) << AllRequests();
  ASSERT_TRUE(t.Run()) << AllRequests();
  EXPECT_EQ(Notices(ConnectionText::SyncFinished), 1) << AllRequests();
  EXPECT_EQ(site::ReadTree(t.server.Root() + "/site"), site::Expected(c.uploadAndDelete));
  // A second run of the same compare has nothing left to do.
  const auto before = t.conn.log.size();
  t.conn.SyncUpload();
  for (int i = 0; i < 20; ++i)
    ProcessPendingEvents(5);
  EXPECT_TRUE(t.conn.pSyncList.empty());
  for (std::size_t i = before; i < t.conn.log.size(); ++i)
    EXPECT_EQ(t.conn.log[i].find("STOR"), std::string::npos) << t.conn.log[i];
}

INSTANTIATE_TEST_SUITE_P(Servers, WholeRun,
                         ::testing::Values(RunCase{FtpServerKind::Pyftpdlib, true, false},
                                           RunCase{FtpServerKind::Pyftpdlib, false, true},
                                           RunCase{FtpServerKind::Pyftpdlib, true, true},
                                           RunCase{FtpServerKind::PureFtpd, true, true},
                                           RunCase{FtpServerKind::PureFtpd, false, false},
                                           RunCase{FtpServerKind::PureFtpd, false, true}),
                         CaseName);

// pure-ftpd works as an unprivileged user, so a folder without write
// permission refuses the upload.
TEST(RunErrors, ReadOnlyRemoteFolderStopsTheRunAtTheError)
{
  if (!RunInPrivateNetwork())
    return;
  Connected t(FtpServerKind::PureFtpd, true, true);
  site::WriteAged(t.local / "ro/a.txt", "a", 0);
  site::WriteAged(t.local / "ro/b.txt", "b", 0);
  site::WriteAged(t.local / "z.txt", "z", 0);
  t.server.MakeFolder("site/ro");
  t.server.WriteFile("site/extra.txt", "stays");
  ::chmod((t.server.Root() + "/site/ro").c_str(), 0555);
  ASSERT_TRUE(t.Connect()) << AllRequests();
  ASSERT_TRUE(t.Run());
  ::chmod((t.server.Root() + "/site/ro").c_str(), 0755);
  EXPECT_EQ(Notices(ConnectionText::SyncFinished), 0);
  EXPECT_FALSE(t.conn.SyncRunning());
  int errors = 0;
  for (const auto& r : ModalRecorder::Requests())
    errors += r.message.rfind("An error occurred: ", 0) == 0;
  EXPECT_EQ(errors, 1) << AllRequests();
  // Nothing after the refused file: no other upload, no removal.
  EXPECT_FALSE(t.server.Exists("site/ro/a.txt"));
  EXPECT_FALSE(t.server.Exists("site/ro/b.txt"));
  EXPECT_FALSE(t.server.Exists("site/z.txt"));
  EXPECT_TRUE(t.server.Exists("site/extra.txt"));
  // What was not carried out is offered again.
  EXPECT_FALSE(t.conn.pSyncL[0].sync && t.conn.pSyncL[1].sync);
}

TEST(RunErrors, QuittingDuringAnUploadAsksFirst)
{
  if (!RunInPrivateNetwork())
    return;
  Connected t(FtpServerKind::Pyftpdlib, true, false);
  std::string big(24 << 20, 'q');
  site::WriteAged(t.local / "big.gif", big, 0);
  ASSERT_TRUE(t.Connect());
  t.conn.SyncUpload();
  ASSERT_TRUE(PumpUntil([&] { return t.conn.dataConnected && t.conn.totalBytes > 0; }))
      << AllRequests() << t.conn.totalBytes << " " << t.conn.dataConnected << " " << t.conn.SyncRunning() << " "
      << t.conn.pSyncList.size() << " " << t.conn.pSyncL.size() << t.server.Log();
  ModalRecorder::PushButton(1); // "キャンセル": keep going
  EXPECT_TRUE(t.conn.ConnectionCancelClose());
  EXPECT_EQ(ModalRecorder::Requests().back().message, ConnectionText::QuitDuringTransfer);
  ASSERT_TRUE(PumpUntil([&] { return Notices(ConnectionText::SyncFinished) == 1; }));
  EXPECT_EQ(t.server.ReadFile("site/big.gif").size(), big.size());
  // Idle and connected: closes without a question.
  const auto asked = ModalRecorder::Requests().size();
  EXPECT_FALSE(t.conn.ConnectionCancelClose());
  EXPECT_EQ(ModalRecorder::Requests().size(), asked);
}

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
  EXPECT_EQ(Notices(ConnectionText::SyncFinished), 0);
  for (const auto& r : ModalRecorder::Requests())
    EXPECT_EQ(r.message.rfind("Error: ", 0), std::string::npos) << r.message;
}

} // namespace
