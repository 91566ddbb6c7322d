#include "Globals.h"

#include "framework/MessageDialog.h"
#include "framework/Modal.h"

std::int32_t gCautionDlg(std::int32_t buttons, const std::string& actionCaption, const std::string& cancelCaption,
                         const std::string& altCaption, const std::string& message, const std::string& explanation,
                         ::Window* parentWindow)
{
  MessageDialog d;
  if (gPref[PrefBeepOnCaution] == 1)
    Beep();
  d.Icon = 1;
  d.ActionButton.Caption = actionCaption;
  if (buttons > 1) {
    d.CancelButton.Visible = true;
    d.CancelButton.Caption = cancelCaption;
  }
  if (buttons > 2) {
    d.AlternateActionButton.Visible = true;
    d.AlternateActionButton.Caption = altCaption;
  }
  d.Message = message;
  d.Explanation = explanation;
  const MessageDialogButton* pressed = d.ShowModalWithin(parentWindow);
  if (pressed == &d.ActionButton)
    return CautionAction;
  if (pressed == &d.AlternateActionButton)
    return CautionAlternate;
  return CautionCancel;
}

void gCautionDlg1(const std::string& message, const std::string& explanation, ::Window* parentWindow)
{
  gCautionDlg(1, "OK", "", "", message, explanation, parentWindow);
}
