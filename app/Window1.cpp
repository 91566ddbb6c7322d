#include "app/Window1.h"
#include "app/Texts.h"

#include "app/MenuBar1.h"
#include "settings/Globals.h"
#include "framework/Events.h"

namespace {
// The edit page and the view page show the same labels.
constexpr const char* kSetName = "セット名：";
constexpr const char* kAddress = "アドレス：";
constexpr const char* kUser = "ユーザ：";
constexpr const char* kPassword = "パスワード：";
constexpr const char* kDirectory = "ディレクトリ：";
constexpr const char* kPassive = "パッシブモード";
constexpr const char* kZone = "タイムゾーン補正";
constexpr const char* kLocalFolder = "ローカルフォルダ：";
constexpr const char* kMode = "モード：";

void label(StaticText& t, int l, int top, int w, int h, const char* text, int size, int align = 0)
{
  t.SetBounds(l, top, w, h);
  t.SetText(text);
  t.SetTextStyle(size);
  t.SetTextAlign(align);
}

void field(EditField& f, int l, int t, int w, int h, int size)
{
  f.SetBounds(l, t, w, h);
  f.SetTextStyle(size);
}

void bevel(BevelButton& b, int l, int t, int w, int h, const char* caption, int size)
{
  b.SetBounds(l, t, w, h);
  b.SetCaption(caption);
  b.SetTextStyle(size);
}

void box(CheckBox& c, int l, int t, int w, int h, const char* caption, int size, bool value)
{
  c.SetBounds(l, t, w, h);
  c.SetCaption(caption);
  c.SetTextStyle(size);
  c.SetValue(value);
}
} // namespace

Window1::Window1()
{
  Layout();
  CreateControls();
  AddMenuHandlers();
}

void Window1::Layout()
{
  SetMenuBar(&MenuBar1::Instance());
  SetTitle("Quillmere");
  SetFrame(DocumentFrame);
  SetMinSize(800, 600);
  SetMaxSize(32000, 32000);
  SetSize(800, 600); // default placement
  SetBackColor(ColorFromHex(0xA5A5A5));
  SetResizeable(true);
  SetCloseButton(true);
  SetMaximizeButton(true);
  SetMinimizeButton(true);
}

void Window1::CreateControls()
{
  // Transfer area.
  GroupBox1.SetBounds(211, 436, 293, 152);
  GroupBox1.SetLocks(false, true);
  GroupBox1.SetTextStyle(12);
  ProgressBar1.SetBounds(257, 460, 200, 18);
  ProgressBar1.SetMaximum(100);
  ProgressBar1.SetValue(0);
  label(tBytesText, 337, 480, 100, 20, "0", 10);
  label(bpsText, 337, 495, 100, 20, "0", 10);
  label(StaticText5, 257, 480, 80, 20, "転送サイズ：", 10, 2);
  label(StaticText6, 257, 495, 80, 20, "転送レート：", 10, 2);

  // Profile frame and its pages.
  Rectangle1.SetBounds(-1, 150, 211, 429);
  Rectangle1.SetLocks(false, true);
  Rectangle1.SetFillColor(ColorFromHex(0xD7DDE5));
  Rectangle1.SetBorderColors(ColorFromHex(0xB2B2B2), ColorFromHex(0xB2B2B2));
  Rectangle1.SetBorderWidth(1);
  PagePanel1.SetBounds(2, 155, 204, 420);
  PagePanel1.SetValue(0);

  // Edit page (page 2).
  label(StaticText1, 18, 199, 100, 20, kAddress, 10);
  label(StaticText2, 18, 239, 100, 20, kUser, 10);
  label(StaticText3, 18, 279, 100, 20, kPassword, 10);
  label(StaticText4, 18, 319, 100, 20, kDirectory, 10);
  field(EditField1, 18, 214, 170, 22, 12);
  field(EditField2, 18, 254, 120, 22, 12);
  field(EditField3, 18, 294, 120, 22, 12);
  field(EditField4, 18, 334, 120, 22, 12);
  label(StaticText7, 18, 417, 120, 20, kLocalFolder, 10);
  field(EditField6, 18, 433, 170, 65, 10);
  EditField6.SetReadOnly(true);
  EditField6.SetScrollbarVertical(false);
  box(CheckBox2, 18, 363, 120, 20, kPassive, 10, true);
  label(StaticText11, 18, 159, 100, 20, kSetName, 10);
  field(EditField7, 18, 172, 120, 22, 12);
  bevel(BevelButton4, 148, 414, 40, 18, "選択...", 10);
  bevel(BevelButton5, 145, 552, 40, 20, Text::Save, 12);
  box(CheckBox4, 18, 389, 105, 20, kZone, 10, false);
  field(EditField8, 126, 389, 30, 20, 10);
  label(StaticText26, 18, 507, 100, 20, kMode, 10);
  PopupMenu1.SetBounds(13, 521, 150, 20);
  PopupMenu1.SetTextStyle(12);
  PopupMenu1.SetInitialValue("アップロードのみ\rアップロード＆削除");
  PopupMenu1.SetListIndex(0);
  for (Control* c : std::initializer_list<Control*>{
           &StaticText11, &EditField7, &StaticText1, &EditField1, &StaticText2, &EditField2, &StaticText3,
           &EditField3, &StaticText4, &EditField4, &CheckBox2, &CheckBox4, &EditField8, &StaticText7,
           &BevelButton4, &EditField6, &StaticText26, &PopupMenu1, &BevelButton5})
    c->SetPanel(&PagePanel1, 3);

  // View page (page 1): labels where the edit page has them, values disabled.
  label(StaticText8, 18, 417, 120, 20, kLocalFolder, 10);
  box(CheckBox3, 18, 363, 120, 20, kPassive, 10, true);
  CheckBox3.SetEnabled(false);
  label(StaticText12, 18, 159, 100, 20, kSetName, 10);
  label(StaticText13, 18, 199, 100, 20, kAddress, 10);
  label(StaticText14, 18, 239, 100, 20, kUser, 10);
  label(StaticText15, 18, 279, 100, 20, kPassword, 10);
  label(StaticText16, 18, 319, 100, 20, kDirectory, 10);
  label(StaticText17, 22, 177, 100, 20, "Untitled", 12);
  label(StaticText18, 22, 217, 100, 20, "Untitled", 12);
  label(StaticText19, 22, 257, 100, 20, "Untitled", 12);
  label(StaticText20, 22, 297, 100, 20, "Untitled", 12);
  label(StaticText21, 22, 337, 100, 20, "Untitled", 12);
  label(StaticText22, 22, 437, 160, 60, "Untitled", 10);
  StaticText22.SetMultiline(true);
  label(StaticText23, 18, 507, 100, 20, kMode, 10);
  label(StaticText24, 22, 525, 150, 20, "Untitled", 12);
  box(CheckBox5, 18, 389, 105, 20, kZone, 10, false);
  CheckBox5.SetEnabled(false);
  label(StaticText25, 130, 391, 40, 20, "Untitled", 10);
  bevel(BevelButton3, 145, 552, 40, 20, "編集", 12);
  BevelButton3.SetLocks(false, true);
  for (StaticText* t : {&StaticText17, &StaticText18, &StaticText19, &StaticText20, &StaticText21, &StaticText22,
                        &StaticText24, &StaticText25})
    t->SetEnabled(false);
  for (Control* c : std::initializer_list<Control*>{
           &StaticText12, &StaticText17, &StaticText13, &StaticText18, &StaticText14, &StaticText19,
           &StaticText15, &StaticText20, &StaticText16, &StaticText21, &CheckBox3, &CheckBox5, &StaticText25,
           &StaticText8, &StaticText22, &StaticText23, &StaticText24, &BevelButton3})
    c->SetPanel(&PagePanel1, 2);

  // Folder trees.
  for (ListBox* tree : {&localListBox, &remoteListBox}) {
    tree->SetLocks(true, true);
    tree->SetInitialValue("名前\tサイズ\t修正日");
    tree->SetColumnWidths("45%,22%,*,0,0,0,0");
    tree->SetColumnsResizable(true);
    tree->SetTextStyle(12);
  }
  localListBox.SetBounds(210, 0, 295, 414);
  remoteListBox.SetBounds(505, 0, 295, 414);

  // Log pane.
  EditField5.SetBounds(505, 436, 296, 150);
  EditField5.SetLocks(false, true);
  EditField5.SetReadOnly(true);
  EditField5.SetUseFocusRing(false);
  EditField5.SetTextStyle(10);

  // Profile list and its buttons.
  ListBox1.SetBounds(0, 0, 210, 150);
  ListBox1.SetLocks(true, true);
  ListBox1.SetHeading(0, "セットリスト");
  ListBox1.SetTextStyle(12);
  bevel(BevelButton1, 5, 580, 22, 18, "＋", 12);
  BevelButton1.SetLocks(false, true);
  bevel(BevelButton2, 27, 580, 22, 18, "ー", 12);
  BevelButton2.SetLocks(false, true);
  BevelButton2.SetEnabled(false);

  Timer1.SetPeriod(100);
  Timer1.SetMode(Timer::ModeOff);
  label(StaticText27, 310, 418, 95, 20, "ローカル", 12, 1);
  StaticText27.SetLocks(false, true);
  label(StaticText28, 605, 418, 95, 20, "サーバ", 12, 1);
  StaticText28.SetLocks(false, true);
  statusTimer.SetPeriod(500);
  statusTimer.SetMode(Timer::ModeMultiple);
  Timer2.SetPeriod(100);
  Timer2.SetMode(Timer::ModeOff);

  BindEvents();
}

void Window1::BindEvents()
{
  Toolbar11.Open = [this] { Toolbar11_Open(); };
  BindConnectionEvents();
  BindTreeEvents();
  Toolbar11.Action = [this](ToolItem& item) { Toolbar11_Action(item); };
  statusTimer.Action = [this] { statusTimer_Action(); };
  makeConnectionHook = [this] { MakeConnection(); };

  // Profiles.
  ListBox1.Change = [this] { ListBox1_Change(); };
  ListBox1.DoubleClick = [this] { ListBox1_DoubleClick(); };
  ListBox1.HeaderPressed = [this](int column) { return ListBox1_HeaderPressed(column); };
  ListBox1.CellBackgroundPaint = [this](Graphics& g, int row, int column) {
    return ListBox1_CellBackgroundPaint(g, row, column);
  };
  BevelButton1.Action = [this] { BevelButton1_Action(); };
  BevelButton2.Action = [this] { BevelButton2_Action(); };
  BevelButton3.Action = [this] { BevelButton3_Action(); };
  BevelButton4.Action = [this] { BevelButton4_Action(); };
  BevelButton5.Action = [this] { BevelButton5_Action(); };
  CheckBox4.Action = [this] { CheckBox4_Action(); };
}

void Window1::AddMenuHandlers()
{
  AddMenuHandler("FileSaveLog", [this] { return _FileSaveLog_Action(); });
  AddMenuHandler("EditPreferences", [this] { return _EditPreferences_Action(); });
}

void Window1::Event_EnableMenuItems()
{
  if (MenuItem* m = GetMenuBar()->Lookup("FileSaveLog"))
    m->Enable();
  if (MenuItem* m = GetMenuBar()->Lookup("EditPreferences"))
    m->Enable();
}

bool Window1::_FileSaveLog_Action()
{
  SaveLog();
  return true;
}

void Window1::Toolbar11_Open()
{
  const std::pair<Picture* (*)(), ToolItem*> icons[] = {
      {button1, &Toolbar11.ToolItem1}, {button2, &Toolbar11.ToolItem2}, {button3, &Toolbar11.ToolItem4},
      {button4, &Toolbar11.ToolItem6}, {button5, &Toolbar11.ToolItem8}, {button6, &Toolbar11.ToolItem10}};
  for (const auto& [source, item] : icons) {
    Picture icon(41, 38, 32);
    Picture* src = source();
    icon.Draw([&](Graphics& g) { g.DrawPicture(src, 0, 0); });
    Picture* mask = anyMask();
    icon.Mask().Draw([&](Graphics& g) { g.DrawPicture(mask, 0, 0); });
    item->SetIcon(&icon);
  }
  Toolbar11.ToolItem1.SetEnabled(false);
  Toolbar11.ToolItem2.SetEnabled(false);
  Toolbar11.ToolItem4.SetEnabled(false);
  Toolbar11.ToolItem6.SetEnabled(false);
}

void Window1::Event_Open()
{
  InitApp();
}

void Window1::InitApp()
{
  getList = false;
  closing = false;
  ListBox1.SetColumnWidths("100%,0");
  InitSetlist();
}

void Window1::InitSetlist()
{
  ListBox1.DeleteAllRows();
  for (std::size_t i = 0; i < gDataset.size(); ++i) {
    if (gDataset[i].Eflg) {
      ListBox1.AddRow(gDataset[i].Name);
      ListBox1.SetCell(ListBox1.LastIndex(), 1, std::to_string(i));
    }
    ProcessPendingEvents(0);
  }
}

void Window1::ClearVal()
{
  localListBox.DeleteAllRows();
  remoteListBox.DeleteAllRows();
  pGroupL = -1;
  pGroupR = -1;
  pUpload = 0;
  pRemove = false;
  getList = false;
  expanding = false;
  expandingL = false;
}
