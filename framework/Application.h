#pragma once
// The application object: one per process. Open is raised when the program
// starts (before any window's Open); Quit asks every open window
// (CancelClose), then the application (CancelClose); when nothing refuses,
// the windows close and the event loop ends.
//
// From Open on, the system asking the program to end (SIGTERM, SIGHUP or
// SIGINT, or the desktop session ending) is a Quit with nobody to answer
// (framework/Modal.h): any modal run open is dismissed as by Escape, a
// refusal does not hold the quit, and the process is gone within a few
// seconds even when something else does.

#include "framework/Menu.h"

#include <functional>
#include <memory>
#include <string>

class Window;

class Application {
public:
  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  static Application* Current();

  MenuBar* GetMenuBar() const { return menuBar_; }
  void SetMenuBar(MenuBar* bar) { menuBar_ = bar; }
  void AddMenuHandler(const std::string& itemName, std::function<bool()> handler);
  bool HandleMenu(const std::string& itemName);

  // Raises Open, then runs the event loop until Quit; returns the exit
  // status.
  int Run();
  // Raises Open once, without the loop.
  void Start();
  // Returns False when a window or the application refused.
  bool Quit();
  bool Quitting() const { return quitting_; }
  // The system asked the program to end.
  bool EndingForSystem() const { return endingForSystem_; }

  virtual void Event_Open() {}
  virtual bool Event_CancelClose() { return false; }

private:
  class SystemEnd;
  void endForSystem();

  MenuBar* menuBar_ = nullptr;
  MenuHandlers handlers_;
  bool quitting_ = false;
  bool started_ = false;
  bool endingForSystem_ = false;
  std::unique_ptr<SystemEnd> systemEnd_;
};

// Installs the real dialogs behind the modal point (framework/Modal.h).
void InstallRealDialogs();
