// From a fresh start: a profile made in the window connects, syncs, is
// written at quit and found again at the next start.
#include "PrivateNetwork.h"
#include "SiteFixture.h"

#include "app/App.h"
#include "app/Window1.h"
#include "framework/Events.h"
#include "settings/Globals.h"

#include "FtpServers.h"
#include "Pump.h"
#include "ModalRecorder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <memory>


TEST(ProfileRoad, FreshStartProfileConnectsSyncsAndComesBack)
{
  if (!RunInPrivateNetwork())
    return;
  TempDir home;
  EnvGuard config("XDG_CONFIG_HOME", home / "config");
  FtpServerProcess server(FtpServerKind::Pyftpdlib, site::OnPort21());
  server.MakeFolder("site");
  TempDir local;
  local.Write("a.txt", "hello\n");
  gDataset.clear();
  gFileType.clear();
  ModalRecorder::Clear();

  auto app = std::make_unique<App>();
  app->StartUp();
  Window1* w = &Window1::Instance();
  gPref[PrefBeepOnCaution] = 0;
  w->BevelButton1.Push();
  w->EditField7.SetText("site");
  w->EditField1.SetText("127.0.0.1");
  w->EditField2.SetText(server.User());
  w->EditField3.SetText(server.Password());
  w->EditField4.SetText("/site");
  ModalRecorder::PushPath(local.Path());
  w->BevelButton4.Push();
  w->BevelButton5.Push();
  ASSERT_EQ(w->ListBox1.ListIndex(), 0);
  ASSERT_TRUE(w->Toolbar11.ToolItem1.Enabled());
  w->Toolbar11.Press("ToolItem1");
  ASSERT_TRUE(PumpUntil([&] { return w->pFin && !w->pSyncRFlg && w->SyncConnectionIdle(); }));
  site::AnswerGoAhead(3);
  w->Toolbar11.Press("ToolItem4");
  ASSERT_TRUE(PumpUntil([&] { return server.Exists("site/a.txt") && w->SyncConnectionIdle() && !w->SyncRunning(); }));
  w->Toolbar11.Press("ToolItem2");
  ASSERT_TRUE(PumpUntil([&] { return !w->commandSocket.IsOpen(); }));
  app->Quit();
  ProcessPendingEvents(50);
  app.reset();

  gDataset.clear();
  gFileType.clear();
  gPref.fill(0);
  app = std::make_unique<App>();
  app->StartUp();
  w = &Window1::Instance();
  w->makeConnectionHook = [w] { w->MakeConnection(); };
  ASSERT_EQ(w->ListBox1.ListCount(), 1);
  EXPECT_EQ(w->ListBox1.Cell(0, 0), "site");
  gPref[PrefConnectOnSelect] = 1;
  ModalRecorder::Clear();
  w->ListBox1.SetListIndex(0);
  EXPECT_EQ(w->pMode, 1);
  ASSERT_TRUE(PumpUntil([&] { return w->pFin && !w->pSyncRFlg && w->SyncConnectionIdle(); }));
  EXPECT_EQ(w->pSyncR.size(), 1u);
  EXPECT_TRUE(ModalRecorder::Requests().empty());
  app->Quit();
  ProcessPendingEvents(50);
  app.reset();
}
