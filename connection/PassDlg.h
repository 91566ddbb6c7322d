#pragma once
// The password prompt of a profile stored without a password.

#include "framework/Controls.h"
#include "framework/Window.h"

class PassDlg : public SharedWindow<PassDlg> {
public:
  PassDlg();

  bool pReturn = false; // "入力" pressed

  StaticText StaticText1{*this, "StaticText1"};
  EditField EditField1{*this, "EditField1", nullptr, EditField::Password};
  PushButton PushButton1{*this, "PushButton1"};
  PushButton PushButton2{*this, "PushButton2"};

  void PushButton1_Action();
  void PushButton2_Action();
};
