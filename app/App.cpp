#include "app/App.h"

#include "app/AboutPanel.h"
#include "app/MenuBar1.h"
#include "settings/Globals.h"
#include "app/Window1.h"

#include <algorithm>
#include <stdexcept>

namespace {
App*& instance()
{
  static App* a = nullptr;
  return a;
}
} // namespace

WindowBounds FitSavedBounds(const WindowBounds& saved, const WindowBounds& current,
                            const std::vector<Window::ScreenArea>& screens)
{
  WindowBounds b = current;
  if (saved.left != 0)
    b.left = saved.left;
  if (saved.top != 0)
    b.top = saved.top;
  if (saved.width != 0)
    b.width = saved.width;
  if (saved.height != 0)
    b.height = saved.height;
  // The title strip must lie at least partly on some screen.
  const Window::ScreenArea* on = nullptr;
  for (const auto& s : screens) // the screen holding the top left corner first
    if (!on && b.left >= s.left && b.left < s.left + s.width && b.top >= s.top && b.top < s.top + s.height)
      on = &s;
  for (const auto& s : screens)
    if (!on && b.left < s.left + s.width && b.left + std::max(b.width, 1) > s.left && b.top >= s.top &&
        b.top < s.top + s.height)
      on = &s;
  if (!on && !screens.empty()) {
    b.left = current.left;
    b.top = current.top;
    for (const auto& s : screens)
      if (b.left >= s.left && b.left < s.left + s.width && b.top >= s.top && b.top < s.top + s.height)
        on = &s;
    if (!on)
      on = &screens.front();
  }
  if (on) {
    b.width = std::min(b.width, on->width);
    b.height = std::min(b.height, on->height);
  }
  return b;
}

App& App::Instance()
{
  if (!instance())
    throw std::logic_error("no application object");
  return *instance();
}

App::App()
{
  instance() = this;
  SetMenuBar(&MenuBar1::Instance());
}

App::~App()
{
  if (instance() == this)
    instance() = nullptr;
}

void App::StartUp()
{
  AddMenuHandler("AppleAbout", [] { return App::Instance()._AppleAbout_Action(); });
  Window1::Instance();
  Start();
  Window1::Instance().Show();
}

void App::Event_Open()
{
  InitApp();
}

void App::InitApp()
{
  LoadSettings();
  if (gPref[PrefKeepWindowBounds] == 1)
    RestoreWindowBounds();
}

void App::LoadSettings()
{
  gGetTimeZone();
  InitPref();
  LoadPref();
  if (!LoadFileType())
    InitFileType();
  LoadSet();
  TellUnreadableSettings();
  settingsLoaded_ = true;
}

void App::RestoreWindowBounds()
{
  // All four slots are read before anything moves, and applied in one step
  // while the window is hidden, so no Moved or Resized can overwrite them.
  const WindowBounds saved{gPref[PrefWindowLeft], gPref[PrefWindowTop], gPref[PrefWindowWidth], gPref[PrefWindowHeight]};
  if (saved.left == 0 && saved.top == 0 && saved.width == 0 && saved.height == 0)
    return;
  Window1& w = Window1::Instance();
  const WindowBounds current{w.Left(), w.Top(), w.Width(), w.Height()};
  const WindowBounds b = FitSavedBounds(saved, current, Window::Screens());
  if (b.left == current.left && b.top == current.top)
    w.SetSize(b.width, b.height); // leave the place to the platform
  else
    w.SetBounds(b.left, b.top, b.width, b.height);
}

bool App::Event_CancelClose()
{
  if (settingsLoaded_)
    CloseApp();
  return false;
}

bool App::_AppleAbout_Action()
{
  AboutPanel::Instance().Show();
  return true;
}
