#pragma once
// The application object: one per process. Open is raised when the program
// starts (before any window's Open); Quit asks every open window
// (CancelClose), then the application (CancelClose); when nothing refuses,
// the windows close and the event loop ends.

#include "framework/Menu.h"

#include <functional>
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

  virtual void Event_Open() {}
  virtual bool Event_CancelClose() { return false; }

private:
  MenuBar* menuBar_ = nullptr;
  MenuHandlers handlers_;
  bool quitting_ = false;
  bool started_ = false;
};

// Installs the real dialogs behind the modal point (framework/Modal.h).
void InstallRealDialogs();
