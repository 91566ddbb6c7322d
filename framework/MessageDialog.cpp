#include "MessageDialog.h"

#include "Modal.h"

MessageDialog::MessageDialog()
{
  ActionButton.Caption = "OK";
  ActionButton.Visible = true;
  ActionButton.Default = true;
  CancelButton.Caption = "Cancel";
  CancelButton.Cancel = true;
  AlternateActionButton.Caption = "Don't Save";
}

MessageDialogButton* MessageDialog::ShowModalWithin(::Window* parent)
{
  ModalRequest request;
  request.kind = ModalKind::MessageDialog;
  request.title = Title;
  request.message = Message;
  request.explanation = Explanation;
  request.icon = Icon;
  request.parent = parent;
  MessageDialogButton* const order[3] = {&ActionButton, &CancelButton, &AlternateActionButton};
  for (MessageDialogButton* b : order)
    request.buttons.push_back(b->Visible ? b->Caption : std::string());
  const ModalAnswer answer = RunModal(request);
  if (answer.button < 0 || answer.button > 2 || !order[answer.button]->Visible)
    return nullptr;
  return order[answer.button];
}
