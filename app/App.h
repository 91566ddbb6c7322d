#pragma once
// The application object: reads the settings at start, puts the main window
// back at its saved place and size, and writes the settings at quit.

#include "framework/Application.h"

#include <vector>

#include "framework/Window.h"

// Place and size of the main window; 0 means "not stored" for each part.
struct WindowBounds {
  int left = 0, top = 0, width = 0, height = 0;
};

// The bounds to apply at start from the saved ones: a part that is 0 keeps
// the current value; a place on no screen keeps the current place; a size
// larger than the screen is cut to it.
WindowBounds FitSavedBounds(const WindowBounds& saved, const WindowBounds& current,
                            const std::vector<Window::ScreenArea>& screens);

class App : public Application {
public:
  static App& Instance();
  App();
  ~App() override;

  // The start-up sequence up to the event loop: menu bar, About handler,
  // the main window, Open, the main window shown.
  void StartUp();

  void Event_Open() override;
  bool Event_CancelClose() override;
  bool _AppleAbout_Action();
  void InitApp();
  // The settings loading steps, in their order.
  virtual void LoadSettings();
  // False when loading stopped on an error: the quit then writes nothing,
  // so files that could not be read completely are not replaced.
  bool SettingsLoaded() const { return settingsLoaded_; }
  // Slots 1 to 4 applied to the main window (only when slot 11 is 1).
  void RestoreWindowBounds();

private:
  bool settingsLoaded_ = false;
};
