#pragma once
// A started application with its main window, quit again after each test.

#include "app/App.h"
#include "settings/Globals.h"
#include "app/Window1.h"
#include "framework/Events.h"
#include "profiles/PrefDlg.h"
#include "ModalRecorder.h"
#include "Pump.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>

class AppFixture : public ::testing::Test {
protected:
  void SetUp() override
  {
    ModalRecorder::Clear();
    gDataset.clear();
    gFileType.clear(); // each start-up loads the table again
    app = std::make_unique<App>();
  }
  void StartUp()
  {
    app->StartUp();
    w = &Window1::Instance();
  }
  void TearDown() override
  {
    Quit();
    ModalRecorder::Clear();
  }
  // Quits through the normal path, which writes the settings.
  void Quit()
  {
    if (!app)
      return;
    app->Quit();
    ProcessPendingEvents(50); // the closed windows are deleted from the loop
    app.reset();
    w = nullptr;
  }
  // 環境設定: 同期前に確認 turned off, 保存.
  void TurnConfirmOffInPreferences()
  {
    ModalRecorder::Push([](const ModalRequest& r) {
      auto* dlg = dynamic_cast<PrefDlg*>(r.window);
      dlg->CheckBox4.SetValue(false);
      dlg->PushButton2.Push();
      return ModalAnswer{};
    });
    w->Toolbar11.Press("ToolItem10");
  }
  std::unique_ptr<App> app;
  Window1* w = nullptr;
};
