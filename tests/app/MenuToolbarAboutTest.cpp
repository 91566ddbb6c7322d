#include "AppFixture.h"

#include "app/AboutPanel.h"
#include "app/MenuBar1.h"

#include <QApplication>

struct Entry {
  const char* menu;
  const char* name;
  const char* text;
  const char* shortcut;
};

TEST(MenuBar1, ItemsTextsAndShortcutsInOrder)
{
  const Entry entries[] = {
      {"FileMenu", "FileSaveLog", "Save Log...", "Ctrl+S"},
      {"FileMenu", "FileQuit", "&Quit", "Ctrl+Q"},
      {"EditMenu", "EditUndo", "&Undo", "Ctrl+Z"},
      {"EditMenu", "UntitledMenu1", "-", ""},
      {"EditMenu", "EditCut", "Cu&t", "Ctrl+X"},
      {"EditMenu", "EditCopy", "&Copy", "Ctrl+C"},
      {"EditMenu", "EditPaste", "&Paste", "Ctrl+V"},
      {"EditMenu", "EditClear", "&Delete", ""},
      {"EditMenu", "UntitledMenu0", "-", ""},
      {"EditMenu", "EditSelectAll", "Select &All", "Ctrl+A"},
      {"EditMenu", "UntitledSeparator", "-", ""},
      {"EditMenu", "EditPreferences", "環境設定...", ""},
      {"EditMenu", "AppleAbout", "Quillmereについて...", ""},
  };
  MenuBar1& bar = MenuBar1::Instance();
  ASSERT_EQ(bar.Count(), 2);
  EXPECT_EQ(bar.Item(0)->Text(), "&File");
  EXPECT_EQ(bar.Item(1)->Text(), "&Edit");
  int pos[2] = {0, 0};
  for (const Entry& e : entries) {
    const int m = std::string(e.menu) == "FileMenu" ? 0 : 1;
    MenuItem* item = bar.Child(e.menu)->Item(pos[m]++);
    EXPECT_EQ(item->Name(), e.name);
    EXPECT_EQ(item->Text(), e.text);
    EXPECT_EQ(item->QtShortcut(), e.shortcut) << e.name;
    EXPECT_TRUE(item->AutoEnable);
    EXPECT_EQ(bar.Lookup(e.name), item);
  }
  EXPECT_EQ(pos[0], bar.Child("FileMenu")->Count());
  EXPECT_EQ(pos[1], bar.Child("EditMenu")->Count());
  EXPECT_NE(dynamic_cast<QuitMenuItem*>(bar.Lookup("FileQuit")), nullptr);
  EXPECT_NE(dynamic_cast<PrefsMenuItem*>(bar.Lookup("EditPreferences")), nullptr);
  EXPECT_NE(dynamic_cast<AppleMenuItem*>(bar.Lookup("AppleAbout")), nullptr);
}

TEST_F(AppFixture, EnableMenuItemsEnablesSaveLogAndPreferences)
{
  StartUp();
  MenuBar& bar = *w->GetMenuBar();
  bar.Lookup("FileSaveLog")->SetEnabled(false);
  bar.Lookup("EditPreferences")->SetEnabled(false);
  w->Event_EnableMenuItems();
  EXPECT_TRUE(bar.Lookup("FileSaveLog")->Enabled());
  EXPECT_TRUE(bar.Lookup("EditPreferences")->Enabled());
}

TEST_F(AppFixture, QuitItemQuitsThroughTheApplication)
{
  StartUp();
  w->GetMenuBar()->Lookup("FileQuit")->Choose();
  EXPECT_TRUE(app->Quitting());
}

TEST_F(AppFixture, StandardEditItemsActOnTheFocusedField)
{
  StartUp();
  w->PagePanel1.SetValue(2);
  w->EditField1.SetText("ftp.example.org");
  w->EditField1.SetFocus();
  ProcessPendingEvents(20);
  if (w->FocusedControl() != &w->EditField1)
    GTEST_SKIP() << "no keyboard focus on this platform";
  w->GetMenuBar()->Lookup("EditSelectAll")->Choose();
  EXPECT_EQ(w->EditField1.SelText(), "ftp.example.org");
  w->GetMenuBar()->Lookup("EditClear")->Choose();
  EXPECT_EQ(w->EditField1.Text(), "");
  w->GetMenuBar()->Lookup("EditUndo")->Choose();
  EXPECT_EQ(w->EditField1.Text(), "ftp.example.org");
}

TEST_F(AppFixture, ToolbarItemsInDisplayOrderWithOnlyTwoEnabledAtOpen)
{
  StartUp();
  const std::pair<const char*, const char*> items[] = {
      {"ToolItem1", "接続"},     {"ToolItem4", "同期"},   {"ToolItem2", "切断"},
      {"ToolItem5", "Untitled"}, {"ToolItem6", "クリア"}, {"ToolItem3", "Untitled"},
      {"ToolItem8", "タイプリスト"}, {"ToolItem9", "Untitled"}, {"ToolItem10", "環境設定"}};
  ASSERT_EQ(w->Toolbar11.Count(), 9);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(w->Toolbar11.Item(i)->Name, items[i].first);
    EXPECT_EQ(w->Toolbar11.Item(i)->Caption(), items[i].second);
    EXPECT_EQ(w->Toolbar11.Item(i)->HelpTag, "");
  }
  for (const char* name : {"ToolItem1", "ToolItem2", "ToolItem4", "ToolItem6"})
    EXPECT_FALSE(w->Toolbar11.ItemNamed(name)->Enabled()) << name;
  for (const char* name : {"ToolItem8", "ToolItem10"}) {
    EXPECT_TRUE(w->Toolbar11.ItemNamed(name)->Enabled()) << name;
    EXPECT_TRUE(w->Toolbar11.ItemNamed(name)->HasIcon()) << name;
  }
  EXPECT_EQ(w->Toolbar11.ItemNamed("ToolItem5")->Style(), ToolItem::SeparatorStyle);
  EXPECT_FALSE(w->Toolbar11.ItemNamed("ToolItem3")->HasIcon());
}

TEST(ToolbarPictures, SixIconsAndTheMaskAreInTheResources)
{
  for (Picture* (*p)() : {button1, button2, button3, button4, button5, button6, anyMask}) {
    Picture* pic = p();
    ASSERT_NE(pic, nullptr);
    EXPECT_LE(pic->Width(), 41);
    EXPECT_LE(pic->Height(), 38);
    EXPECT_EQ(p(), pic); // kept after the first load
  }
}

TEST_F(AppFixture, AboutPanelIsShownHiddenByAClickAndShownAgainAsTheSamePanel)
{
  StartUp();
  EXPECT_TRUE(app->HandleMenu("AppleAbout"));
  AboutPanel* first = &AboutPanel::Instance();
  EXPECT_TRUE(first->Visible());
  EXPECT_EQ(first->Title(), "Quillmereについて");
  EXPECT_EQ(first->Width(), 420);
  EXPECT_EQ(first->Height(), 260);
  EXPECT_EQ(first->StaticText1.Text(), "Quillmere");
  EXPECT_EQ(first->StaticText3.Text(), "Ver. 1.0a4");
  EXPECT_EQ(first->StaticText2.Text(), "作者：Quillmere開発チーム\n\n連絡先：README を参照\n\n\n\n"
                                       "開発環境：C++20 / Qt 6\n\n© 2026 Quillmere開発チーム");
  first->RaiseMouseDown(5, 5);
  EXPECT_FALSE(first->Visible());
  EXPECT_TRUE(app->HandleMenu("AppleAbout"));
  EXPECT_EQ(&AboutPanel::Instance(), first);
  EXPECT_TRUE(first->Visible());
  EXPECT_TRUE(app->HandleMenu("AppleAbout")); // while shown: still one panel
  EXPECT_EQ(&AboutPanel::Instance(), first);
  first->UserClose(); // the close button: the panel goes, the program stays
  EXPECT_FALSE(app->Quitting());
  EXPECT_EQ(AboutPanel::Current(), nullptr);
  ProcessPendingEvents(50);
  EXPECT_TRUE(app->HandleMenu("AppleAbout"));
  ASSERT_NE(AboutPanel::Current(), nullptr);
  EXPECT_TRUE(AboutPanel::Instance().Visible());
}

TEST_F(AppFixture, AnExceptionInAHandlerIsReportedAndTheProgramGoesOn)
{
  StartUp();
  w->BevelButton1.Action = [] { throw std::runtime_error("boom"); };
  w->BevelButton1.Push();
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].kind, ModalKind::MessageBox);
  EXPECT_NE(ModalRecorder::Requests()[0].message.find("boom"), std::string::npos);
  EXPECT_TRUE(w->Visible());
}
