#pragma once
// The main window. Its state (the properties below) is shared by the shell,
// the tree views, the connection control and the profile pages; each of
// those adds its own methods in its own section below, defined in its own
// folder (trees/, connection/, profiles/).

#include "app/Toolbar1.h"
#include "connection/ConnectionControl.h"
#include "framework/Controls.h"
#include "framework/Date.h"
#include "framework/FolderItem.h"
#include "framework/ListBox.h"
#include "framework/Timer.h"
#include "framework/Window.h"
#include "trees/ListBoxTreeView.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Window1 : public SharedWindow<Window1>, public ConnectionControl {
public:
  Window1();

  // ---- Properties, in their declared order --------------------------------
  // bps, clock, closing, dataConnected, getList, path, totalBytes,
  // usePassive, pUpload, pRemove, pSyncList, pMode, pFin2, pSyncListIdx:
  // ConnectionControl and SyncRun (connection/). currentPath, expanding,
  // listData, expandingL, pSyncR, pSyncRFlg, pFin, pCountR, pGroupR, pSyncL,
  // pGroupL, pTimerRow, pRootR: TreeLists (trees/).
  bool errorOccurred = false;
  bool gotList = false;
  bool showDots = false;
  std::optional<FolderItem> pLocalFolder;

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
  // ConnectionControl (connection/).
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
  // The records, the walk, the comparison and the fill come from TreeLists
  // (pSyncR, pSyncL, pGroupR, pGroupL, pRootR, currentPath, pSyncRFlg,
  // pCountR, pFin, listData, pTimerRow, expanding, expandingL and the
  // GetCompareList... steps); these are the window's handlers and hooks.
  void commandSocket_loggedIn(const std::string& reply) override;
  void commandSocket_remoteDirChanged(const std::string& reply) override;
  void dataSocket_gotList(const std::string& listing) override;
  bool localListBox_CellBackgroundPaint(Graphics& g, int row, int column);
  bool remoteListBox_CellBackgroundPaint(Graphics& g, int row, int column);
  void localListBox_ExpandRow(int row);
  void remoteListBox_ExpandRow(int row);
  void localListBox_CollapseRow(int row);
  void remoteListBox_CollapseRow(int row);
  bool localListBox_CellClick(int row, int column, int x, int y);
  bool remoteListBox_CellClick(int row, int column, int x, int y);
  void localListBox_CellAction(int row, int column);
  void remoteListBox_CellAction(int row, int column);
  bool localListBox_HeaderPressed(int column);
  bool remoteListBox_HeaderPressed(int column);
  void Timer1_Action();
  void Timer2_Action();

protected:
  TreeView* TreesView(bool local) override;

private:
  void BindTreeEvents();
  static bool TreeRowBand(const ListBox& list, Graphics& g, int row, int column);
  ListBoxTreeView localTreeView_{localListBox};
  ListBoxTreeView remoteTreeView_{remoteListBox};

public:

  // ---- Connection control and synchronisation run (connection/) ----------
  // The sockets, their handlers, MakeConnection, EnableConnect,
  // makeConnection2, CloseConnection, statusTimer_Action and the run's
  // Sync... methods come from ConnectionControl and SyncRun; the window adds
  // its close events, the toolbar, the dialogs and the hooks to its controls.
  bool Event_CancelClose(bool appQuitting) override;
  void Event_Close() override;
  void Toolbar11_Action(ToolItem& item);
  std::string GenSelectDlg(const std::string& name) override;
  // Hooks of the connection, the run and the walk to this window's controls.
  std::string ConnHost() const override;
  std::string ConnUser() const override;
  std::string ConnPassword() const override;
  bool ConnPassive() const override;
  std::optional<FolderItem> ConnLocalFolder() const override;
  void ConnUseLocalFolder(const FolderItem& folder) override;
  bool ConnAskPassword(std::string& password) override;
  void ConnClearResults() override;
  void ConnShowConnected() override;
  void ConnShowDisconnected() override;
  void ConnLog(const std::string& line) override;
  void ConnProgressMaximum(int maximum) override;
  void ConnProgressValue(int value) override;
  void ConnSizeText(const std::string& text) override;
  void ConnRateText(const std::string& text) override;
  bool SyncUploadAndDelete() const override;
  bool SyncListConfirm(const std::string& heading, const std::vector<std::string>& rows) override;
  ::Window* SyncParentWindow() override { return this; }
  std::string TreesRemoteFolderText() const override;
  std::string TreesZoneText() const override;
  const FolderItem* TreesLocalFolder() const override;

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
  // The folder a local-folder text names; only an absolute path names one.
  static std::optional<FolderItem> LocalFolderNamed(const std::string& path);
  // While a connection uses the edit page's values, nothing there changes.
  void SetEditPageEnabled(bool on);
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
