// The profile list and its two pages: listing, showing, editing, saving and
// deleting connection profiles, and the local folder of the one selected.
#include "app/Window1.h"
#include "app/Texts.h"

#include "profiles/ProfileTexts.h"

#include "framework/FileDialogs.h"
#include "settings/Globals.h"
#include "trees/ListingLine.h"

#include <cstdlib>
#include <string>

namespace {
constexpr const char* Yes = "yes";
constexpr const char* No = "no";
constexpr const char* ModeSync = "sync";
constexpr const char* ModeUp = "up";
constexpr const char* NoZone = "0";

// Longest text the "dataset" file keeps behind its one-byte lengths.
constexpr std::size_t ShortStringMax = 255;

// A label's text without its trailing colon ("セット名：" gives "セット名").
std::string withoutColon(std::string label)
{
  for (const std::string colon : {"：", ":"})
    if (label.size() >= colon.size() && label.compare(label.size() - colon.size(), colon.size(), colon) == 0)
      return label.substr(0, label.size() - colon.size());
  return label;
}

bool validIndex(std::int32_t index)
{
  return index >= 0 && static_cast<std::size_t>(index) < gDataset.size();
}

// The profile index a row of the list stands for (its hidden column).
std::int32_t profileOfRow(const ListBox& list, int row)
{
  return static_cast<std::int32_t>(std::strtol(list.Cell(row, 1).c_str(), nullptr, 10));
}
} // namespace

void Window1::SetDataset(std::int32_t index)
{
  if (!validIndex(index))
    return;
  const Dataset& d = gDataset[static_cast<std::size_t>(index)];

  StaticText17.SetText(d.Name);
  StaticText18.SetText(d.Adrs);
  StaticText19.SetText(d.User);
  StaticText20.SetText(std::string(d.Pass.size(), '*')); // one star per byte
  StaticText21.SetText(d.rDir);

  EditField7.SetText(d.Name);
  EditField1.SetText(d.Adrs);
  EditField2.SetText(d.User);
  EditField3.SetText(d.Pass);
  EditField4.SetText(d.rDir);

  const bool passive = d.Pasv == Yes;
  CheckBox2.SetValue(passive);
  CheckBox3.SetValue(passive);

  EditField6.SetText(d.Path);
  StaticText22.SetText(d.Path);

  const int mode = d.Mode == ModeSync ? 1 : 0;
  StaticText24.SetText(PopupMenu1.List(mode));
  PopupMenu1.SetListIndex(mode);

  // The box before the field: ticking it writes the local offset, which the
  // stored hours then replace. Shown as the whole hours used ("-3:30" kept
  // by an earlier version is -4).
  const bool zone = d.Zone != NoZone;
  const std::string hours = zone ? std::to_string(ZoneHours(d.Zone)) : std::string();
  CheckBox4.SetValue(zone);
  CheckBox5.SetValue(zone);
  StaticText25.SetText(zone ? hours + "H" : std::string());
  EditField8.SetText(hours);

  pLocalFolder = LocalFolderNamed(d.Path);
  if (!pLocalFolder || !pLocalFolder->Directory())
    gCautionDlg1(Text::LocalFolderMissing, "", this);
}

std::optional<FolderItem> Window1::LocalFolderNamed(const std::string& path)
{
  // An empty or relative path would otherwise quietly stand for the
  // program's current folder.
  if (path.empty() || path.front() != '/')
    return std::nullopt;
  return GetFolderItem(path);
}

std::int32_t Window1::EditDataset(std::int32_t index)
{
  Dataset* d = nullptr;
  if (index < 0) {
    gDataset.emplace_back();
    d = &gDataset.back();
    d->Eflg = true;
  } else if (validIndex(index)) {
    d = &gDataset[static_cast<std::size_t>(index)];
  } else {
    return index;
  }
  d->Name = EditField7.Text();
  d->Adrs = EditField1.Text();
  d->User = EditField2.Text();
  d->Pass = EditField3.Text();
  d->rDir = EditField4.Text();
  d->Path = EditField6.Text();
  d->Pasv = CheckBox2.Value() ? Yes : No;
  d->Mode = PopupMenu1.ListIndex() == 0 ? ModeUp : ModeSync;
  d->Zone = CheckBox4.Value() && !EditField8.Text().empty() ? EditField8.Text() : std::string(NoZone);
  return index;
}

bool Window1::DelDataset(std::int32_t index)
{
  const std::int32_t answer = gCautionDlg(2, ProfileText::Delete, Text::Cancel, "",
                                          ProfileText::DeleteQuestion, Text::CannotUndo, this);
  if (answer == CautionCancel)
    return false;
  if (answer == CautionAction && validIndex(index))
    gDataset[static_cast<std::size_t>(index)].Eflg = false;
  return true;
}

void Window1::ClearDataset()
{
  for (StaticText* t : {&StaticText17, &StaticText18, &StaticText19, &StaticText20, &StaticText21})
    t->SetText("");
  CheckBox3.SetValue(true);
  CheckBox5.SetValue(false);
  StaticText25.SetText("");
  StaticText22.SetText("");
  StaticText24.SetText(PopupMenu1.List(0));
  for (EditField* f : {&EditField7, &EditField1, &EditField2, &EditField3, &EditField4})
    f->SetText("");
  CheckBox2.SetValue(true);
  CheckBox4.SetValue(false);
  EditField8.SetText("");
  EditField6.SetText("");
  PopupMenu1.SetListIndex(0);
}

void Window1::ListBox1_Change()
{
  if (pMode == 1)
    return;
  const int row = ListBox1.ListIndex();
  if (row < 0) {
    PagePanel1.SetValue(0);
    BevelButton1.SetEnabled(true);
    BevelButton2.SetEnabled(false);
    Toolbar11.ToolItem1.SetEnabled(false);
    return;
  }
  SetDataset(profileOfRow(ListBox1, row));
  PagePanel1.SetValue(1);
  BevelButton1.SetEnabled(false);
  BevelButton2.SetEnabled(true);
  Toolbar11.ToolItem1.SetEnabled(true);
  if (gPref[PrefConnectOnSelect] == 1 && makeConnectionHook)
    makeConnectionHook();
}

void Window1::ListBox1_DoubleClick()
{
  // A double-click beside the rows selects nothing and starts nothing.
  if (ListBox1.ListIndex() < 0)
    return;
  if (makeConnectionHook)
    makeConnectionHook();
}

bool Window1::ListBox1_HeaderPressed(int /*column*/)
{
  gCautionDlg1(Text::NoHeaderSort, "", this);
  return true;
}

bool Window1::ListBox1_CellBackgroundPaint(Graphics& g, int /*row*/, int /*column*/)
{
  g.SetForeColor(Rectangle1.FillColor());
  g.FillRect(0, 0, ListBox1.Width(), ListBox1.Height());
  return false;
}

void Window1::BevelButton1_Action()
{
  ClearDataset();
  PagePanel1.SetValue(2);
  BevelButton1.SetEnabled(false);
  BevelButton2.SetEnabled(false);
}

void Window1::BevelButton2_Action()
{
  const int row = ListBox1.ListIndex();
  if (row < 0)
    return;
  if (!DelDataset(profileOfRow(ListBox1, row)))
    return;
  SaveSet(); // on disk at once: a crash or a kill loses nothing deleted
  InitSetlist();
  ListBox1.SetListIndex(-1);
}

void Window1::BevelButton3_Action()
{
  PagePanel1.SetValue(2);
}

void Window1::BevelButton4_Action()
{
  const std::string chosen = ChooseFolder();
  if (chosen.empty())
    return;
  EditField6.SetText(GetFolderItem(chosen).AbsolutePath());
}

void Window1::BevelButton5_Action()
{
  // A text the file keeps behind a one-byte length must fit it, or the
  // saved profile would come back cut short; the form keeps what was typed.
  const std::pair<const EditField*, std::string> limited[] = {
      {&EditField7, StaticText11.Text()}, {&EditField1, StaticText1.Text()}, {&EditField2, StaticText2.Text()},
      {&EditField3, StaticText3.Text()},  {&EditField4, StaticText4.Text()}};
  for (const auto& [field, label] : limited) {
    if (field->Text().size() > ShortStringMax) {
      gCautionDlg1(ProfileText::TooLongOpen + withoutColon(label) + ProfileText::TooLongClose, "", this);
      return;
    }
  }
  if (CheckBox4.Value() && EditField8.Text().size() > ShortStringMax) {
    gCautionDlg1(ProfileText::TooLongOpen + withoutColon(CheckBox4.Caption()) + ProfileText::TooLongClose, "",
                 this);
    return;
  }

  const int selected = ListBox1.ListIndex();
  const std::int32_t index = selected < 0 ? -1 : profileOfRow(ListBox1, selected);
  const std::int32_t r = EditDataset(index);
  SaveSet(); // on disk at once: a crash or a kill loses nothing saved
  InitSetlist();
  if (r < 0) {
    ListBox1.SetListIndex(ListBox1.ListCount() - 1);
  } else {
    ListBox1.SetListIndex(-1);
    for (int row = 0; row < ListBox1.ListCount(); ++row) {
      if (profileOfRow(ListBox1, row) == r) {
        ListBox1.SetListIndex(row);
        break;
      }
    }
  }
  PagePanel1.SetValue(1);
  BevelButton2.SetEnabled(true);
}

void Window1::SetEditPageEnabled(bool on)
{
  for (Control* c : std::initializer_list<Control*>{&EditField7, &EditField1, &EditField2, &EditField3, &EditField4,
                                                    &CheckBox2, &CheckBox4, &EditField8, &BevelButton4, &PopupMenu1,
                                                    &BevelButton5})
    c->SetEnabled(on);
}

void Window1::CheckBox4_Action()
{
  EditField8.SetText(CheckBox4.Value() ? std::to_string(gTzone) : std::string());
}
