#include "profiles/MapDlg.h"

#include "profiles/ProfileTexts.h"

namespace {
unsigned nextSerial()
{
  static unsigned n = 0;
  return ++n;
}
} // namespace

MapDlg::MapDlg() : serial(nextSerial())
{
  Layout();
  CreateControls();
}

void MapDlg::Layout()
{
  SetTitle("Untitled");
  SetBounds(Left(), Top(), 300, 300);
  SetFixedDialogFrame(SheetFrame);
}

void MapDlg::CreateControls()
{
  localListBox.SetBounds(10, 10, 280, 240);
  localListBox.SetTextStyle(12);
  localListBox.SetHasHeading(true);
  localListBox.SetHeading(0, ProfileText::Extension);
  localListBox.SetHeading(1, ProfileText::Type);
  localListBox.SetColumnsResizable(false);
  PushButton1.SetBounds(206, 260, 70, 20);
  PushButton1.SetCaption(ProfileText::Close);
  PushButton1.SetTextStyle(12);
  PushButton1.SetDefault(true);
  PushButton1.Action = [this] { PushButton1_Action(); };
}

void MapDlg::PushButton1_Action()
{
  Close();
}
