#include "app/Window1.h"
#include "app/Texts.h"

#include "settings/Globals.h"
#include "framework/AtomicFile.h"
#include "framework/BinaryStream.h"
#include "framework/FileDialogs.h"
#include "framework/Modal.h"

#include <string>

std::string Window1::stripLeadingWhiteSpace(const std::string& text) const
{
  const auto first = text.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : text.substr(first);
}

void Window1::updateStatus(const std::string& line)
{
  EditField5.AppendText(line + "\n");
}

void Window1::ClearLog()
{
  const int answer = gCautionDlg(2, Text::Clear, Text::Cancel, "", "本当にクリアしますか？", Text::CannotUndo, this);
  if (answer == CautionCancel) {
    // The toolbar item was disabled on the way in; nothing was cleared.
    Toolbar11.ToolItem6.SetEnabled(true);
    return;
  }
  EditField5.SetText("");
  ClearVal();
  pMode = 0;
}

void Window1::SaveLog()
{
  const std::string chosen = ChooseSaveFile();
  if (chosen.empty())
    return;
  // Through a temporary file, so an existing file stays whole on failure.
  AtomicFile out(GetFolderItem(chosen), 0644);
  if (BinaryStream* stream = out.Binary())
    stream->Write(EditField5.Text());
  if (!out.Commit())
    MsgBox("The log could not be saved to \"" + chosen + "\": " + out.Error() + ".");
}
