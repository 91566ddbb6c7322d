#include "connection/PassDlg.h"
#include "app/Texts.h"

#include "connection/ConnectionTexts.h"

PassDlg::PassDlg()
{
  SetTitle(ConnectionText::Untitled);
  SetFrame(SheetFrame);
  SetBounds(Left(), Top(), 260, 120);
  SetResizeable(false);
  StaticText1.SetBounds(30, 20, 200, 20);
  StaticText1.SetText(ConnectionText::PasswordPrompt);
  StaticText1.SetTextAlign(1);
  StaticText1.SetTextStyle(12);
  EditField1.SetBounds(30, 40, 200, 22);
  EditField1.SetTextStyle(12);
  PushButton1.SetBounds(72, 80, 82, 20);
  PushButton1.SetCaption(Text::Cancel);
  PushButton1.SetCancel(true);
  PushButton1.SetTextStyle(12);
  PushButton2.SetBounds(166, 80, 70, 20);
  PushButton2.SetCaption(ConnectionText::Enter);
  PushButton2.SetDefault(true);
  PushButton2.SetTextStyle(12);
  PushButton1.Action = [this] { PushButton1_Action(); };
  PushButton2.Action = [this] { PushButton2_Action(); };
}

void PassDlg::PushButton1_Action()
{
  pReturn = false;
  Hide();
}

void PassDlg::PushButton2_Action()
{
  pReturn = true;
  Hide();
}
