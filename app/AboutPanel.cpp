#include "app/AboutPanel.h"

AboutPanel::AboutPanel()
{
  Layout();
  CreateControls();
}

void AboutPanel::Layout()
{
  SetTitle("Quillmereについて");
  SetSize(420, 260); // default placement
  SetFixedDialogFrame(MovableModalFrame);
}

void AboutPanel::CreateControls()
{
  StaticText1.SetBounds(110, 25, 200, 50);
  StaticText1.SetTextStyle(32, false, true);
  StaticText1.SetTextColor(ColorFromHex(0x0000FF));
  StaticText1.SetTextAlign(1);
  StaticText1.SetText("Quillmere");

  StaticText2.SetBounds(50, 110, 340, 130);
  StaticText2.SetTextStyle(10);
  StaticText2.SetTextColor(ColorFromHex(0x330000));
  StaticText2.SetTextAlign(1);
  StaticText2.SetMultiline(true);
  StaticText2.SetText("作者：Quillmere開発チーム\n\n連絡先：README を参照\n\n\n\n開発環境：C++20 / Qt 6\n\n"
                      "© 2026 Quillmere開発チーム");

  StaticText3.SetBounds(160, 80, 100, 14);
  StaticText3.SetTextStyle(11);
  StaticText3.SetTextColor(ColorFromHex(0x003366));
  StaticText3.SetTextAlign(1);
  StaticText3.SetMultiline(true);
  StaticText3.SetText("Ver. 1.0a4");

  // A click on a text hides the panel as a click on its background does.
  for (StaticText* t : {&StaticText1, &StaticText2, &StaticText3})
    t->SetClickThrough(true);
}

bool AboutPanel::Event_MouseDown(int, int)
{
  Hide();
  return false;
}
