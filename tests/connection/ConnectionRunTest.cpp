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

} // namespace
