#include "connection/SelectTypeDlg.h"
#include "app/Texts.h"

#include "connection/ConnectionTexts.h"

#include "framework/Graphics.h"

SelectTypeDlg::SelectTypeDlg()
{
  Layout();
  CreateControls();
}

void SelectTypeDlg::Layout()
{
  SetTitle("");
  SetBounds(Left(), Top(), 474, 144);
  SetFixedDialogFrame(MovableModalFrame);
}

void SelectTypeDlg::CreateControls()
{
  StaticText1.SetBounds(103, 13, 352, 25);
  StaticText1.SetText(ConnectionText::UnknownFileType);
  StaticText1.SetTextStyle(13, true);
  StaticText2.SetBounds(103, 38, 352, 20);
  StaticText2.SetText(ConnectionText::ChooseAsciiOrBinary);
  StaticText2.SetTextStyle(12);
  Canvas1.SetBounds(26, 17, 64, 64);
  Canvas1.Paint = [this](Graphics& g) { Canvas1_Paint(g); };
  PushButton1.SetBounds(253, 104, 94, 20);
  PushButton1.SetCaption(Text::Cancel);
  PushButton1.SetCancel(true);
  PushButton1.SetTextStyle(12);
  PushButton1.Action = [this] { PushButton1_Action(); };
  PushButton2.SetBounds(360, 104, 94, 20);
  PushButton2.SetCaption(ConnectionText::Execute);
  PushButton2.SetDefault(true);
  PushButton2.SetTextStyle(12);
  PushButton2.Action = [this] { PushButton2_Action(); };
  RadioButton1.SetBounds(113, 58, 100, 20);
  RadioButton1.SetCaption(ConnectionText::Ascii);
  RadioButton1.SetTextStyle(12);
  RadioButton2.SetBounds(113, 79, 100, 20);
  RadioButton2.SetCaption(ConnectionText::Binary);
  RadioButton2.SetTextStyle(12);
  // Both are created selected, the second last: "Binary" is the answer
  // until the user picks "Ascii".
  RadioButton1.SetValue(true);
  RadioButton2.SetValue(true);
}

void SelectTypeDlg::Canvas1_Paint(Graphics& g)
{
  g.DrawCautionIcon(0, 0);
}

void SelectTypeDlg::PushButton1_Action()
{
  pRetString = "C";
  Hide();
}

void SelectTypeDlg::PushButton2_Action()
{
  pRetString = RadioButton1.Value() ? "A" : "I";
  Hide();
}
