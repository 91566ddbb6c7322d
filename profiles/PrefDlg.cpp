#include "profiles/PrefDlg.h"
#include "app/Texts.h"

#include "profiles/ProfileTexts.h"

namespace {
void box(CheckBox& c, int l, int t, int w, int h, const char* caption)
{
  c.SetBounds(l, t, w, h);
  c.SetCaption(caption);
  c.SetTextStyle(12);
  c.SetValue(false);
}
} // namespace

PrefDlg::PrefDlg()
{
  Layout();
  CreateControls();
}

void PrefDlg::Layout()
{
  SetTitle("Untitled");
  SetBounds(Left(), Top(), 400, 260);
  SetFixedDialogFrame(SheetFrame);
}

void PrefDlg::CreateControls()
{
  PushButton1.SetBounds(212, 220, 82, 20);
  PushButton1.SetCaption(Text::Cancel);
  PushButton1.SetTextStyle(12);
  PushButton2.SetBounds(306, 220, 70, 20);
  PushButton2.SetCaption(Text::Save);
  PushButton2.SetTextStyle(12);
  PushButton2.SetDefault(true);
  box(CheckBox1, 30, 40, 238, 20, ProfileText::ConnectOnSelect);
  box(CheckBox2, 30, 70, 249, 20, ProfileText::KeepWindowBounds);
  box(CheckBox3, 30, 100, 250, 20, ProfileText::BeepOnCaution);
  box(CheckBox4, 30, 130, 250, 20, ProfileText::ConfirmSync);
  PushButton1.Action = [this] { PushButton1_Action(); };
  PushButton2.Action = [this] { PushButton2_Action(); };
}

void PrefDlg::PushButton1_Action()
{
  pReturn = false;
  Hide();
}

void PrefDlg::PushButton2_Action()
{
  pReturn = true;
  Hide();
}
