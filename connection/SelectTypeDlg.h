#pragma once
// The question for the transfer type of a file whose extension is not in
// the type table. A new one for every question.

#include "framework/Controls.h"
#include "framework/Window.h"

class Graphics;

class SelectTypeDlg : public Window {
public:
  SelectTypeDlg();

  std::string pRetString; // "A", "I", "C"; empty until a button is pressed

  StaticText StaticText1{*this, "StaticText1"};
  StaticText StaticText2{*this, "StaticText2"};
  Canvas Canvas1{*this, "Canvas1"};
  PushButton PushButton1{*this, "PushButton1"};
  PushButton PushButton2{*this, "PushButton2"};
  RadioButton RadioButton1{*this, "RadioButton1"};
  RadioButton RadioButton2{*this, "RadioButton2"};

  void Layout();
  void CreateControls();
  void Canvas1_Paint(Graphics& g);
  void PushButton1_Action();
  void PushButton2_Action();
};
