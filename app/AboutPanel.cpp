#include "app/AboutPanel.h"

namespace {
AboutPanel*& instance()
{
  static AboutPanel* p = nullptr;
  return p;
}
} // namespace

AboutPanel& AboutPanel::Instance()
{
  AboutPanel*& p = instance();
  if (!p || p->Closed()) {
    p = new AboutPanel;
    p->Adopt();
    p->Show(); // visible from its creation on
  }
  return *p;
}

bool AboutPanel::Exists()
{
  return instance() && !instance()->Closed();
}

AboutPanel::AboutPanel()
{
  Layout();
  CreateControls();
}

AboutPanel::~AboutPanel()
{
  if (instance() == this)
    instance() = nullptr;
}

void AboutPanel::Layout()
{
  SetTitle("Quillmereについて");
  SetFrame(MovableModalFrame);
  SetSize(420, 260); // default placement
  SetMinSize(64, 64);
  SetMaxSize(32000, 32000);
  SetResizeable(false);
  SetCloseButton(true);
  SetMinimizeButton(true);
  SetMaximizeButton(false);
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
