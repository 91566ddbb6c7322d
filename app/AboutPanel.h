#pragma once
// The About panel: shown by the About command, hidden by a click in it.

#include "framework/Controls.h"
#include "framework/Window.h"

class AboutPanel : public SharedWindow<AboutPanel> {
public:
  AboutPanel();

  StaticText StaticText1{*this, "StaticText1"};
  StaticText StaticText2{*this, "StaticText2"};
  StaticText StaticText3{*this, "StaticText3"};

  void Layout();
  void CreateControls();
  bool Event_MouseDown(int x, int y) override;
};
