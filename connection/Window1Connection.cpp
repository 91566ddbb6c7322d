// The main window's side of the connection: its close events, the toolbar,
// the dialogs, and the hooks that tie the connection and the run to its
// controls.

#include "app/Window1.h"

#include "connection/PassDlg.h"
#include "connection/SelectTypeDlg.h"
#include "connection/SyncListDlg.h"

#include "trees/ListingLine.h"

bool Window1::Event_CancelClose(bool /*appQuitting*/)
{
  return ConnectionCancelClose();
}

void Window1::Event_Close()
{
  ConnectionClose();
}

void Window1::Toolbar11_Action(ToolItem& item)
{
  const std::string& name = item.Name;
  if (name == "ToolItem1") {
    MakeConnection();
  } else if (name == "ToolItem2") {
    CloseConnection();
  } else if (name == "ToolItem4") {
    SyncUpload();
  } else if (name == "ToolItem6") {
    Toolbar11.ToolItem6.SetEnabled(false);
    ClearLog();
  } else if (name == "ToolItem8") {
    ShowMapDlg();
  } else if (name == "ToolItem10") {
    ShowPrefDlg();
  }
}

std::string Window1::GenSelectDlg(const std::string& name)
{
  SelectTypeDlg dialog;
  dialog.SetTitle(name);
  dialog.ShowModal();
  const std::string answer = dialog.pRetString;
  dialog.Close();
  return answer;
}

bool Window1::SyncListConfirm(const std::string& heading, const std::vector<std::string>& rows)
{
  SyncListDlg& dialog = SyncListDlg::Instance();
  dialog.Listbox1.DeleteAllRows();
  for (const std::string& row : rows)
    dialog.Listbox1.AddRow(row);
  dialog.StaticText1.SetText(heading);
  dialog.ShowModalWithin(*this);
  const bool answer = dialog.pReturn;
  dialog.Close();
  return answer;
}

bool Window1::ConnAskPassword(std::string& password)
{
  PassDlg& dialog = PassDlg::Instance();
  dialog.ShowModal();
  const bool answer = dialog.pReturn;
  password = dialog.EditField1.Text();
  dialog.Close();
  return answer;
}

std::string Window1::ConnHost() const
{
  return EditField1.Text();
}

std::string Window1::ConnUser() const
{
  return EditField2.Text();
}

std::string Window1::ConnPassword() const
{
  return EditField3.Text();
}

bool Window1::ConnPassive() const
{
  return CheckBox2.Value();
}

std::optional<FolderItem> Window1::ConnLocalFolder() const
{
  return LocalFolderNamed(EditField6.Text());
}

void Window1::ConnUseLocalFolder(const FolderItem& folder)
{
  pLocalFolder = folder;
}

void Window1::ConnClearResults()
{
  EditField5.SetText("");
  ClearVal();
}

void Window1::ConnShowConnected()
{
  Toolbar11.ToolItem2.SetEnabled(true);
  Toolbar11.ToolItem4.SetEnabled(true);
  Toolbar11.ToolItem6.SetEnabled(false);
  ListBox1.SetEnabled(false);
  BevelButton2.SetEnabled(false);
  BevelButton3.SetEnabled(false);
  SetEditPageEnabled(false);
  // The hours the compare goes by, whole: a half hour typed is rounded down.
  if (!EditField8.Text().empty())
    EditField8.SetText(std::to_string(ZoneHours(EditField8.Text())));
}

void Window1::ConnShowDisconnected()
{
  Toolbar11.ToolItem2.SetEnabled(false);
  Toolbar11.ToolItem4.SetEnabled(false);
  Toolbar11.ToolItem6.SetEnabled(true);
  ListBox1.SetEnabled(true);
  if (ListBox1.ListIndex() >= 0)
    BevelButton2.SetEnabled(true);
  BevelButton3.SetEnabled(true);
  SetEditPageEnabled(true);
}

void Window1::ConnLog(const std::string& line)
{
  updateStatus(line);
}

void Window1::ConnProgressMaximum(int maximum)
{
  ProgressBar1.SetMaximum(maximum);
}

void Window1::ConnProgressValue(int value)
{
  ProgressBar1.SetValue(value);
}

void Window1::ConnSizeText(const std::string& text)
{
  tBytesText.SetText(text);
}

void Window1::ConnRateText(const std::string& text)
{
  bpsText.SetText(text);
}

bool Window1::SyncUploadAndDelete() const
{
  return PopupMenu1.ListIndex() == 1;
}

std::string Window1::TreesRemoteFolderText() const
{
  return EditField4.Text();
}

std::string Window1::TreesZoneText() const
{
  return EditField8.Text();
}

const FolderItem* Window1::TreesLocalFolder() const
{
  return pLocalFolder ? &*pLocalFolder : nullptr;
}
