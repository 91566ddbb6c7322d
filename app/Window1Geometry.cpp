#include "app/Window1.h"

#include "settings/Globals.h"

namespace {
// Halves as a real and converts back by truncation, the same for all three.
int half(double v) { return static_cast<int>(v / 2.0); }
} // namespace

void Window1::ApplyResizeRule()
{
  localListBox.SetWidth(half(Width() - ListBox1.Width()));
  remoteListBox.SetWidth(localListBox.Width());
  GroupBox1.SetWidth(localListBox.Width() - 2);
  EditField5.SetWidth(localListBox.Width());
  remoteListBox.SetLeft(ListBox1.Width() + localListBox.Width());
  StaticText27.SetLeft(static_cast<int>(localListBox.Left() + (localListBox.Width() - StaticText27.Width()) / 2.0));
  StaticText28.SetLeft(static_cast<int>(remoteListBox.Left() + (remoteListBox.Width() - StaticText28.Width()) / 2.0));
  EditField5.SetLeft(remoteListBox.Left() + 1);
}

void Window1::Event_Resizing()
{
  ApplyResizeRule();
}

void Window1::Event_Resized()
{
  if (gPref[PrefKeepWindowBounds] == 1) {
    gPref[PrefWindowWidth] = Width();
    gPref[PrefWindowHeight] = Height();
  }
  ApplyResizeRule();
}

void Window1::Event_Moved()
{
  if (gPref[PrefKeepWindowBounds] != 1)
    return;
  gPref[PrefWindowLeft] = Left();
  gPref[PrefWindowTop] = Top();
}
