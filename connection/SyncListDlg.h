#pragma once
// The confirmation list of a run's uploads or removals.

#include "framework/Controls.h"
#include "framework/ListBox.h"
#include "framework/Window.h"

class SyncListDlg : public SharedWindow<SyncListDlg> {
public:
  SyncListDlg();

  bool pReturn = false; // "実行" pressed

  StaticText StaticText1{*this, "StaticText1"};
  ListBox Listbox1{*this, "Listbox1", nullptr, 1, false};
  PushButton PushButton1{*this, "PushButton1"};
  PushButton PushButton2{*this, "PushButton2"};

  void PushButton1_Action();
  void PushButton2_Action();
};
