#pragma once
// The read-only view of the transfer-type table. Not modal: it stays open
// beside the main window until "閉じる" closes (and so destroys) it.

#include "framework/Controls.h"
#include "framework/ListBox.h"
#include "framework/Window.h"

class MapDlg : public SharedWindow<MapDlg> {
public:
  MapDlg();

  // Tells this view from any later one, even at the same address.
  const unsigned serial;

  ListBox localListBox{*this, "localListBox", nullptr, 2, false};
  PushButton PushButton1{*this, "PushButton1"};

  void Layout();
  void CreateControls();
  void PushButton1_Action();
};
