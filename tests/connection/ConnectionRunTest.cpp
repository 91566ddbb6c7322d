// The connection without its window against a real server on
// 127.0.0.1:21, in a private network namespace.

#include "HeadlessConnection.h"
#include "PrivateNetwork.h"
#include "SiteFixture.h"

#include "connection/ConnectionTexts.h"

#include "FtpServers.h"
#include "ModalRecorder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

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
