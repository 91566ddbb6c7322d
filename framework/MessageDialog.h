#pragma once
// An alert with a message, a smaller explanation and up to three buttons,
// shown modally through RunModal.

#include <string>

class Window;

class MessageDialogButton {
public:
  std::string Caption;
  bool Visible = false;
  bool Default = false;
  bool Cancel = false;
};

class MessageDialog {
public:
  MessageDialog();

  MessageDialogButton ActionButton;          // shown, "OK"
  MessageDialogButton CancelButton;          // hidden, "Cancel"
  MessageDialogButton AlternateActionButton; // hidden, "Don't Save"
  int Icon = 0; // 0 note, 1 caution, 2 stop
  std::string Title;
  std::string Message;
  std::string Explanation;

  // Shows the alert modally within parent (may be nullptr) and returns the
  // button pressed: &ActionButton, &CancelButton or &AlternateActionButton,
  // or nullptr when it was closed or escaped without a button.
  MessageDialogButton* ShowModalWithin(::Window* parent);
  MessageDialogButton* ShowModal() { return ShowModalWithin(nullptr); }
};
