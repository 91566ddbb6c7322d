#include "profiles/MapDlg.h"

#include "profiles/ProfileTexts.h"

namespace {
MapDlg*& instance()
{
  static MapDlg* d = nullptr;
  return d;
}

unsigned nextSerial()
{
  static unsigned n = 0;
  return ++n;
}
} // namespace

MapDlg& MapDlg::Instance()
{
  MapDlg*& d = instance();
  if (!d || d->Closed()) {
    d = new MapDlg;
    d->Adopt();
    d->Show(); // visible from its creation on
  }
  return *d;
}

MapDlg* MapDlg::Current()
{
  MapDlg* d = instance();
  return d && !d->Closed() ? d : nullptr;
}

MapDlg::MapDlg() : serial(nextSerial())
{
  Layout();
  CreateControls();
}

MapDlg::~MapDlg()
{
  if (instance() == this)
    instance() = nullptr;
}

void MapDlg::Layout()
{
  SetTitle("Untitled");
  SetFrame(SheetFrame);
  SetBounds(Left(), Top(), 300, 300);
  SetMinSize(64, 64);
  SetMaxSize(32000, 32000);
  SetResizeable(false);
  SetCloseButton(true);
  SetMinimizeButton(true);
  SetMaximizeButton(false);
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
