#pragma once
// The one point every modal run goes through: message boxes, caution
// dialogs, modal windows and file/folder choosers. Tests install a responder
// and answer instead of a person, so nothing ever blocks on a dialog.

#include <functional>
#include <string>
#include <vector>

class Window;

enum class ModalKind {
  MessageBox,    // one text, "OK"
  MessageDialog, // message, explanation, up to three buttons
  Window,        // a window shown with ShowModal
  SaveFile,      // save-file chooser
  SelectFolder,  // folder chooser
};

struct ModalRequest {
  ModalKind kind = ModalKind::MessageBox;
  std::string title;
  std::string message;     // MessageBox text; MessageDialog message
  std::string explanation; // MessageDialog explanation
  // MessageDialog buttons, in the order action, cancel, alternate; an empty
  // caption is a button that is not shown.
  std::vector<std::string> buttons;
  int icon = 0;               // MessageDialog: 0 note, 1 caution, 2 stop
  ::Window* parent = nullptr; // MessageBox, MessageDialog: the window it is modal within
  ::Window* window = nullptr; // ModalKind::Window
  std::string suggestedName;  // SaveFile: proposed file name
  std::string initialFolder;  // choosers: folder to start in
};

struct ModalAnswer {
  // MessageDialog: index into buttons of the button pressed, or -1 for
  // Escape / closing the dialog. Unused otherwise.
  int button = -1;
  // Choosers: the chosen absolute path, empty when cancelled.
  std::string path;
};

using ModalResponder = std::function<ModalAnswer(const ModalRequest&)>;

// Installs a responder (tests). An empty function restores the real dialogs.
void SetModalResponder(ModalResponder responder);
bool HasModalResponder();

// Runs the request: through the responder when one is set, else as a real
// modal dialog. For ModalKind::Window the window's own ShowModal calls this;
// the responder may press the window's buttons and returns when done.
ModalAnswer RunModal(const ModalRequest& request);

// A plain message box with "OK" (English error texts and the like).
void MsgBox(const std::string& text);

// While the system ends the program nobody is there to answer: nothing is
// shown, the text of a box goes to the standard error, a question gets the
// answer of Escape (-1), a modal window returns at once and a chooser
// chooses nothing. Tests' responders are not asked either.
void SetNobodyToAnswer(bool nobody);
bool NobodyToAnswer();

// The system beep; tests can count calls.
void Beep();
int BeepCount();

// How real dialogs are shown; set by the window half of the framework.
// Returns the answer of a real modal run of the request.
using ModalPresenter = std::function<ModalAnswer(const ModalRequest&)>;
void SetModalPresenter(ModalPresenter presenter);
