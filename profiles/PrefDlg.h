#pragma once
// The preferences dialog: four switches of the preference slots, written
// back by the caller only when the user confirms with "保存".

#include "framework/Controls.h"
#include "framework/Window.h"

class PrefDlg : public Window {
public:
  PrefDlg();

  // True once "保存" was pressed.
  bool pReturn = false;

  PushButton PushButton1{*this, "PushButton1"};
  PushButton PushButton2{*this, "PushButton2"};
  CheckBox CheckBox1{*this, "CheckBox1"};
  CheckBox CheckBox2{*this, "CheckBox2"};
  CheckBox CheckBox3{*this, "CheckBox3"};
  CheckBox CheckBox4{*this, "CheckBox4"};

  void Layout();
  void CreateControls();
  void PushButton1_Action();
  void PushButton2_Action();
};
