#include "connection/SyncListDlg.h"
#include "app/Texts.h"

#include "connection/ConnectionTexts.h"

SyncListDlg::SyncListDlg()
{
  SetTitle("");
  SetFrame(SheetFrame);
  SetBounds(Left(), Top(), 474, 310);
  SetResizeable(false);
  StaticText1.SetBounds(55, 20, 140, 20);
  StaticText1.SetText(ConnectionText::UploadHeading);
  StaticText1.SetTextStyle(14, false, false, true);
  StaticText1.SetTextAlign(1);
  Listbox1.SetBounds(10, 40, 454, 210);
  Listbox1.SetHasHeading(false);
  Listbox1.SetTextStyle(12);
  PushButton1.SetBounds(253, 270, 94, 20);
  PushButton1.SetCaption(Text::Cancel);
  PushButton1.SetCancel(true);
  PushButton1.Action = [this] { PushButton1_Action(); };
  PushButton2.SetBounds(360, 270, 94, 20);
  PushButton2.SetCaption(ConnectionText::Execute);
  PushButton2.SetDefault(true);
  PushButton2.Action = [this] { PushButton2_Action(); };
}

void SyncListDlg::PushButton1_Action()
{
  pReturn = false;
  Hide();
}

void SyncListDlg::PushButton2_Action()
{
  pReturn = true;
  Hide();
}
