#include "app/MenuBar1.h"

#include <memory>

namespace {
template <class Item>
void add(MenuItem& menu, const char* name, const char* text, const char* shortcut)
{
  auto item = std::make_unique<Item>();
  item->SetName(name);
  item->AutoEnable = true;
  item->SetText(text);
  if (shortcut)
    item->SetKeyboardShortcut(shortcut);
  menu.Append(std::move(item));
}
} // namespace

MenuBar1& MenuBar1::Instance()
{
  static MenuBar1* bar = new MenuBar1; // lives for the whole process
  return *bar;
}

MenuBar1::MenuBar1()
{
  Untitled0();
  Untitled1();
}

void MenuBar1::Untitled0()
{
  add<MenuItem>(*this, "FileMenu", "&File", "");
  MenuItem& file = *Child("FileMenu");
  add<MenuItem>(file, "FileSaveLog", "Save Log...", "Cmd+S");
  add<QuitMenuItem>(file, "FileQuit", "&Quit", "Cmd+Q");
}

void MenuBar1::Untitled1()
{
  add<MenuItem>(*this, "EditMenu", "&Edit", "");
  auto edit = [this]() -> MenuItem& { return *Child("EditMenu"); };
  add<MenuItem>(edit(), "EditUndo", "&Undo", "Cmd+Z");
  add<MenuItem>(edit(), "UntitledMenu1", "-", nullptr);
  add<MenuItem>(edit(), "EditCut", "Cu&t", "Cmd+X");
  add<MenuItem>(edit(), "EditCopy", "&Copy", "Cmd+C");
  add<MenuItem>(edit(), "EditPaste", "&Paste", "Cmd+V");
  add<MenuItem>(edit(), "EditClear", "&Delete", "");
  add<MenuItem>(edit(), "UntitledMenu0", "-", nullptr);
  add<MenuItem>(edit(), "EditSelectAll", "Select &All", "Cmd+A");
  add<MenuItem>(edit(), "UntitledSeparator", "-", nullptr);
  add<PrefsMenuItem>(edit(), "EditPreferences", "環境設定...", "");
  add<AppleMenuItem>(edit(), "AppleAbout", "Quillmereについて...", "");
}
