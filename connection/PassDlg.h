#pragma once
// The password prompt of a profile stored without a password.

#include "framework/Controls.h"
#include "framework/Window.h"

class PassDlg : public Window {
public:
  // The shared instance: created on first use, a new one after Close.
  static PassDlg& Instance();

  PassDlg();
  ~PassDlg() override;

  bool pReturn = false; // "入力" pressed

  StaticText StaticText1{*this, "StaticText1"};
  EditField EditField1{*this, "EditField1", nullptr, EditField::Password};
  PushButton PushButton1{*this, "PushButton1"};
  PushButton PushButton2{*this, "PushButton2"};

  void PushButton1_Action();
  void PushButton2_Action();
};
