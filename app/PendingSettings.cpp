#include "app/PendingSettings.h"

#include "framework/Modal.h"

std::array<std::int32_t, 51> gPref{};
std::vector<Dataset> gDataset;
int gTzone = 0;

void gGetTimeZone() {}

void InitPref()
{
  for (int i = 0; i <= 20; ++i)
    gPref[static_cast<std::size_t>(i)] = (i >= 10 && i <= 19) ? 1 : 0;
}

void LoadPref() {}
bool LoadFileType() { return false; }
void InitFileType() {}
void LoadSet() {}
void CloseApp() {}

int gCautionDlg(int buttons, const std::string& actionCaption, const std::string& cancelCaption,
                const std::string& altCaption, const std::string& message, const std::string& explanation,
                Window& parentWindow)
{
  if (gPref[10] == 1)
    Beep();
  ModalRequest r;
  r.kind = ModalKind::MessageDialog;
  r.message = message;
  r.explanation = explanation;
  r.buttons = {actionCaption, buttons > 1 ? cancelCaption : "", buttons > 2 ? altCaption : ""};
  r.window = &parentWindow;
  const int b = RunModal(r).button;
  return b == 0 ? CautionAction : b == 2 ? CautionAlternate : CautionCancel;
}

void gCautionDlg1(const std::string& message, const std::string& explanation, Window& parentWindow)
{
  gCautionDlg(1, "OK", "", "", message, explanation, parentWindow);
}
