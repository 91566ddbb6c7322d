#pragma once
// The main window. Its state (the properties below) is shared by the shell,
// the tree views, the connection control and the profile pages; each of
// those adds its own methods in its own section below, defined in its own
// folder (trees/, connection/, profiles/).

#include "app/Toolbar1.h"
#include "framework/Controls.h"
#include "framework/Date.h"
#include "framework/FolderItem.h"
#include "framework/ListBox.h"
#include "framework/Timer.h"
#include "framework/Window.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Window1 : public Window {
public:
  // The open main window, created on first use.
  static Window1& Instance();
  static bool Exists();

  Window1();
  ~Window1() override;

  // ---- Properties, in their declared order --------------------------------
  std::int32_t bps = 0;
  std::optional<Date> clock;
  bool closing = false;
  std::string currentPath;
  bool dataConnected = false;
  bool expanding = false;
  bool errorOccurred = false;
  bool getList = false;
  std::vector<std::string> listData{std::string()};
  std::string path;
  std::int32_t totalBytes = 0;
  bool gotList = false;
  bool usePassive = false;
  bool showDots = false;
  bool expandingL = false;
  std::optional<FolderItem> pLocalFolder;
  // pSyncR (std::vector<SyncRecord>): trees section below.
  bool pSyncRFlg = false;
  bool pFin = false;
  std::int32_t pCountR = 0;
  std::int32_t pGroupR = -1;
  // pSyncL (std::vector<SyncRecord>): trees section below.
  std::int32_t pGroupL = -1;
  std::int32_t pUpload = 0;
  std::int32_t pTimerRow = 0;
  std::string pRootR;
  bool pRemove = false;
  std::vector<std::int32_t> pSyncList;
  std::int32_t pMode = 0;
  bool pFin2 = false;
  std::int32_t pSyncListIdx = 0;

  // ---- Controls, in creation order (parents before their children) -------
  GroupBox GroupBox1{*this, "GroupBox1"};
  ProgressBar ProgressBar1{*this, "ProgressBar1", &GroupBox1};
  StaticText tBytesText{*this, "tBytesText", &GroupBox1};
  StaticText bpsText{*this, "bpsText", &GroupBox1};
  StaticText StaticText5{*this, "StaticText5", &GroupBox1};
  StaticText StaticText6{*this, "StaticText6", &GroupBox1};
  Rectangle Rectangle1{*this, "Rectangle1"};
  PagePanel PagePanel1{*this, "PagePanel1", &Rectangle1, 3};
  StaticText StaticText1{*this, "StaticText1", &PagePanel1};
  StaticText StaticText2{*this, "StaticText2", &PagePanel1};
  StaticText StaticText3{*this, "StaticText3", &PagePanel1};
  StaticText StaticText4{*this, "StaticText4", &PagePanel1};
  EditField EditField1{*this, "EditField1", &PagePanel1};
  EditField EditField2{*this, "EditField2", &PagePanel1};
  EditField EditField3{*this, "EditField3", &PagePanel1, EditField::Password};
  EditField EditField4{*this, "EditField4", &PagePanel1};
  StaticText StaticText7{*this, "StaticText7", &PagePanel1};
  EditField EditField6{*this, "EditField6", &PagePanel1, EditField::MultiLine};
  CheckBox CheckBox2{*this, "CheckBox2", &PagePanel1};
  BevelButton BevelButton3{*this, "BevelButton3", &PagePanel1};
  StaticText StaticText11{*this, "StaticText11", &PagePanel1};
  EditField EditField7{*this, "EditField7", &PagePanel1};
  StaticText StaticText8{*this, "StaticText8", &PagePanel1};
  CheckBox CheckBox3{*this, "CheckBox3", &PagePanel1};
  StaticText StaticText12{*this, "StaticText12", &PagePanel1};
  StaticText StaticText13{*this, "StaticText13", &PagePanel1};
  StaticText StaticText14{*this, "StaticText14", &PagePanel1};
  StaticText StaticText15{*this, "StaticText15", &PagePanel1};
  StaticText StaticText16{*this, "StaticText16", &PagePanel1};
  StaticText StaticText17{*this, "StaticText17", &PagePanel1};
  StaticText StaticText18{*this, "StaticText18", &PagePanel1};
  StaticText StaticText19{*this, "StaticText19", &PagePanel1};
  StaticText StaticText20{*this, "StaticText20", &PagePanel1};
  StaticText StaticText21{*this, "StaticText21", &PagePanel1};
  StaticText StaticText22{*this, "StaticText22", &PagePanel1};
  BevelButton BevelButton4{*this, "BevelButton4", &PagePanel1};
  BevelButton BevelButton5{*this, "BevelButton5", &PagePanel1};
  CheckBox CheckBox4{*this, "CheckBox4", &PagePanel1};
  EditField EditField8{*this, "EditField8", &PagePanel1};
  StaticText StaticText23{*this, "StaticText23", &PagePanel1};
  StaticText StaticText24{*this, "StaticText24", &PagePanel1};
  CheckBox CheckBox5{*this, "CheckBox5", &PagePanel1};
  StaticText StaticText25{*this, "StaticText25", &PagePanel1};
  StaticText StaticText26{*this, "StaticText26", &PagePanel1};
  PopupMenu PopupMenu1{*this, "PopupMenu1", &PagePanel1};
  ListBox localListBox{*this, "localListBox", nullptr, 7, true};
  ListBox remoteListBox{*this, "remoteListBox", nullptr, 7, true};
  // commandSocket (FtpCommandSocket) and dataSocket (FtpDataSocket):
  // connection section below, once the FTP client has landed.
  Toolbar1 Toolbar11{*this};
  EditField EditField5{*this, "EditField5", nullptr, EditField::MultiLine};
  ListBox ListBox1{*this, "ListBox1", nullptr, 2, false};
  BevelButton BevelButton1{*this, "BevelButton1"};
  BevelButton BevelButton2{*this, "BevelButton2"};
  Timer Timer1;
  StaticText StaticText27{*this, "StaticText27"};
  StaticText StaticText28{*this, "StaticText28"};
  Timer statusTimer;
  Timer Timer2;

  // ---- Shell: construction, window events, menus, toolbar -----------------
  void Layout();
  void CreateControls();
  void AddMenuHandlers();
  void Event_Open() override;
  void Event_Resizing() override;
  void Event_Resized() override;
  void Event_Moved() override;
  void Event_EnableMenuItems() override;
  bool _FileSaveLog_Action();
  void Toolbar11_Open();
  // The horizontal resize rule shared by Resizing and Resized.
  void ApplyResizeRule();

  // ---- Shell: log pane ----------------------------------------------------
  std::string stripLeadingWhiteSpace(const std::string& text) const;
  void updateStatus(const std::string& line);
  void ClearLog();
  void SaveLog();

  // ---- Start-up of the window and the emptying of both trees -------------
  void InitApp();
  void InitSetlist();
  void ClearVal();

  // ---- Tree views and comparison (trees/) ---------------------------------
  // Declared here by the trees developer: pSyncR, pSyncL, GetCompareList...,
  // the localListBox_/remoteListBox_ handlers, Timer1_Action, Timer2_Action.

  // ---- Connection control and synchronisation run (connection/) ----------
  // Declared here by the connection developer: commandSocket, dataSocket,
  // their handlers, Toolbar11_Action, statusTimer_Action, Event_CancelClose,
  // Event_Close, MakeConnection, CloseConnection, Sync....

  // ---- Profiles, preferences and type table (profiles/) ------------------
  void SetDataset(std::int32_t index);
  std::int32_t EditDataset(std::int32_t index);
  bool DelDataset(std::int32_t index);
  void ClearDataset();
  void ListBox1_Change();
  void ListBox1_DoubleClick();
  bool ListBox1_HeaderPressed(int column);
  bool ListBox1_CellBackgroundPaint(Graphics& g, int row, int column);
  void BevelButton1_Action();
  void BevelButton2_Action();
  void BevelButton3_Action();
  void BevelButton4_Action();
  void BevelButton5_Action();
  void CheckBox4_Action();
  void ShowPrefDlg();
  bool _EditPreferences_Action();
  void ShowMapDlg();
  void InitMap();
  // What selecting or double-clicking a profile starts: the connection
  // control's MakeConnection. Nothing happens while it is unset.
  std::function<void()> makeConnectionHook;

private:
  // Binds each control event to the window method named control_Event.
  void BindEvents();
};
