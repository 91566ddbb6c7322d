#pragma once
// The main window's toolbar class: six command items and three gaps, in
// display order. Items are identified by Name everywhere.

#include "framework/Toolbar.h"

class Picture;

class Toolbar1 : public Toolbar {
public:
  explicit Toolbar1(Window& window, std::string name = "Toolbar11");

  ToolButton ToolItem1; // 接続
  ToolButton ToolItem4; // 同期
  ToolButton ToolItem2; // 切断
  ToolButton ToolItem5; // separator
  ToolButton ToolItem6; // クリア
  ToolButton ToolItem3; // fixed space
  ToolButton ToolItem8; // タイプリスト
  ToolButton ToolItem9; // flexible space
  ToolButton ToolItem10; // 環境設定
};

// The toolbar pictures, loaded from the application's resources on first
// use and kept; nullptr (and asked again next time) when missing.
Picture* button1();
Picture* button2();
Picture* button3();
Picture* button4();
Picture* button5();
Picture* button6();
Picture* anyMask();
