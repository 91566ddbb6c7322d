// The main window's two dialogs of settings: the preferences and the view
// of the transfer-type table, and the table's defaults.
#include "app/Window1.h"

#include "profiles/MapDlg.h"
#include "profiles/PrefDlg.h"

#include "framework/Events.h"
#include "settings/Globals.h"

void Window1::ShowPrefDlg()
{
  // A new dialog for every call, gone when the call returns.
  PrefDlg dlg;
  dlg.CheckBox1.SetValue(gConvIB(gPref[PrefConnectOnSelect]));
  dlg.CheckBox2.SetValue(gConvIB(gPref[PrefKeepWindowBounds]));
  dlg.CheckBox3.SetValue(gConvIB(gPref[PrefBeepOnCaution]));
  dlg.CheckBox4.SetValue(gConvIB(gPref[PrefConfirmSync]));
  dlg.ShowModal();
  if (dlg.pReturn) {
    gPref[PrefConnectOnSelect] = gConvBI(dlg.CheckBox1.Value());
    gPref[PrefKeepWindowBounds] = gConvBI(dlg.CheckBox2.Value());
    gPref[PrefBeepOnCaution] = gConvBI(dlg.CheckBox3.Value());
    gPref[PrefConfirmSync] = gConvBI(dlg.CheckBox4.Value());
    SavePref(); // on disk at once, as the profiles are
  }
  dlg.Close();
}

bool Window1::_EditPreferences_Action()
{
  ShowPrefDlg();
  return true;
}

void Window1::ShowMapDlg()
{
  // Asked again while open: the view already holds the whole table.
  if (MapDlg* open = MapDlg::Current()) {
    open->BringToFront();
    return;
  }
  unsigned serial = 0;
  for (std::size_t i = 0; i < gFileType.size(); ++i) {
    MapDlg* dlg = nullptr;
    if (serial == 0) {
      dlg = &MapDlg::Instance();
      dlg->Show();
      serial = dlg->serial;
    } else {
      dlg = MapDlg::Current();
      if (!dlg || dlg->serial != serial)
        return; // closed while it was filling
    }
    dlg->localListBox.AddRow(gFileType[i].ext);
    dlg->localListBox.SetCell(dlg->localListBox.LastIndex(), 1, gFileType[i].bin);
    ProcessPendingEvents(0);
  }
}

void Window1::InitMap()
{
  InitFileType();
}
