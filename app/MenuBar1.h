#pragma once
// The one menu bar, shared by the application object and the main window.

#include "framework/Menu.h"

class MenuBar1 : public MenuBar {
public:
  static MenuBar1& Instance();
  MenuBar1();

private:
  void Untitled0(); // File menu
  void Untitled1(); // Edit menu
};
