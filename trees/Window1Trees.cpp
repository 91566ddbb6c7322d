// The main window's side of the folder trees: the handlers of the two tree
// views and their timers, the three events that drive the remote walk, and
// the hooks through which the walk reaches the window.
#include "app/Window1.h"
#include "app/Texts.h"

#include "framework/Graphics.h"
#include "settings/Globals.h"

#include <algorithm>

void Window1::BindTreeEvents()
{
  localListBox.CellBackgroundPaint = [this](Graphics& g, int row, int column) {
    return localListBox_CellBackgroundPaint(g, row, column);
  };
  remoteListBox.CellBackgroundPaint = [this](Graphics& g, int row, int column) {
    return remoteListBox_CellBackgroundPaint(g, row, column);
  };
  localListBox.ExpandRow = [this](int row) { localListBox_ExpandRow(row); };
  remoteListBox.ExpandRow = [this](int row) { remoteListBox_ExpandRow(row); };
  localListBox.CollapseRow = [this](int row) { localListBox_CollapseRow(row); };
  remoteListBox.CollapseRow = [this](int row) { remoteListBox_CollapseRow(row); };
  localListBox.CellClick = [this](int row, int column, int x, int y) {
    return localListBox_CellClick(row, column, x, y);
  };
  remoteListBox.CellClick = [this](int row, int column, int x, int y) {
    return remoteListBox_CellClick(row, column, x, y);
  };
  localListBox.CellAction = [this](int row, int column) { localListBox_CellAction(row, column); };
  remoteListBox.CellAction = [this](int row, int column) { remoteListBox_CellAction(row, column); };
  localListBox.HeaderPressed = [this](int column) { return localListBox_HeaderPressed(column); };
  remoteListBox.HeaderPressed = [this](int column) { return remoteListBox_HeaderPressed(column); };
  Timer1.Action = [this] { Timer1_Action(); };
  Timer2.Action = [this] { Timer2_Action(); };
}

// ---- the walk's events ------------------------------------------------------

void Window1::commandSocket_loggedIn(const std::string& reply)
{
  RemoteWalkLoggedIn(path, reply);
}

void Window1::commandSocket_remoteDirChanged(const std::string& reply)
{
  if (RemoteWalkDirChanged(reply))
    TreesGetList(); // the listing, with the busy bar
}

void Window1::dataSocket_gotList(const std::string& listing)
{
  dataConnected = false;
  TakeListing(listing);
  gotList = true;
  ProgressBar1.SetMaximum(1);
  if (RemoteWalkAwaitsListing())
    GetCompareList2r();
}

// ---- the views' events --------------------------------------------------------

bool Window1::localListBox_CellBackgroundPaint(Graphics& g, int row, int column)
{
  return TreeRowBand(localListBox, g, row, column);
}

bool Window1::remoteListBox_CellBackgroundPaint(Graphics& g, int row, int column)
{
  return TreeRowBand(remoteListBox, g, row, column);
}

bool Window1::TreeRowBand(const ListBox& list, Graphics& g, int row, int /*column*/)
{
  if (row % 2 == 1) {
    g.SetForeColor(RGB(237, 243, 254));
    // Rows may be taller than 24 pixels here: the band covers the cell.
    g.FillRect(0, 0, std::max(list.Width(), g.Width()), std::max(24, g.Height()));
  }
  return false;
}

void Window1::localListBox_ExpandRow(int row)
{
  TreeExpandRow(true, row);
  Timer2.SetMode(Timer::ModeSingle);
}

void Window1::remoteListBox_ExpandRow(int row)
{
  TreeExpandRow(false, row);
  Timer2.SetMode(Timer::ModeSingle);
}

void Window1::localListBox_CollapseRow(int /*row*/)
{
  Timer2.SetMode(Timer::ModeSingle);
}

void Window1::remoteListBox_CollapseRow(int /*row*/)
{
  Timer2.SetMode(Timer::ModeSingle);
}

bool Window1::localListBox_CellClick(int row, int /*column*/, int /*x*/, int /*y*/)
{
  TreeCellClick(true, row);
  Timer1.SetMode(Timer::ModeSingle);
  return false;
}

bool Window1::remoteListBox_CellClick(int row, int /*column*/, int /*x*/, int /*y*/)
{
  TreeCellClick(false, row);
  Timer1.SetMode(Timer::ModeSingle);
  return false;
}

// Every change of a box, by mouse or keyboard, reaches its record at once.
void Window1::localListBox_CellAction(int row, int column)
{
  if (column == 0)
    TreeTickChanged(true, row);
}

void Window1::remoteListBox_CellAction(int row, int column)
{
  if (column == 0)
    TreeTickChanged(false, row);
}

bool Window1::localListBox_HeaderPressed(int /*column*/)
{
  gCautionDlg1(Text::NoHeaderSort, "", this);
  return true;
}

bool Window1::remoteListBox_HeaderPressed(int column)
{
  return localListBox_HeaderPressed(column);
}

void Window1::Timer1_Action()
{
  TreeCopyPendingTick();
}

void Window1::Timer2_Action()
{
  for (ListBox* list : {&localListBox, &remoteListBox}) {
    list->SetListIndex(0);
    list->SetListIndex(-1);
  }
}

// ---- the views the fill writes to ---------------------------------------------

TreeView* Window1::TreesView(bool local)
{
  if (local)
    return &localTreeView_;
  return &remoteTreeView_;
}
