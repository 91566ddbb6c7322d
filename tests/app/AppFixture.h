#pragma once
// A started application with its main window, quit again after each test.

#include "app/App.h"
#include "app/Settings.h"
#include "app/Window1.h"
#include "framework/Events.h"
#include "ModalRecorder.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>

inline bool PumpUntil(const std::function<bool()>& done, int seconds = 20)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    ProcessPendingEvents(20);
  }
  return true;
}

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
    app->Quit();
    ProcessPendingEvents(50); // the closed windows are deleted from the loop
    app.reset();
    ModalRecorder::Clear();
  }
  std::unique_ptr<App> app;
  Window1* w = nullptr;
};
