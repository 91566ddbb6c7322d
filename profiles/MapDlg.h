#pragma once
// The read-only view of the transfer-type table. Not modal: it stays open
// beside the main window until "閉じる" closes (and so destroys) it.

#include "framework/Controls.h"
#include "framework/ListBox.h"
#include "framework/Window.h"

class MapDlg : public Window {
public:
  // The open view, created (and so shown) on first use.
  static MapDlg& Instance();
  // The open view, nullptr when there is none.
  static MapDlg* Current();
  MapDlg();
  ~MapDlg() override;

  // Tells this view from any later one, even at the same address.
  const unsigned serial;

  ListBox localListBox{*this, "localListBox", nullptr, 2, false};
  PushButton PushButton1{*this, "PushButton1"};

  void Layout();
  void CreateControls();
  void PushButton1_Action();
};
