#pragma once
// A top-level window. Its content area holds the controls, placed in
// content-area pixels. Left and Top are the window's place on the screen
// (the top left of its frame); Width and Height
// are the content area's size (menu bar and toolbar not counted).
//
// Events are virtuals a subclass overrides. Open is raised once, the first
// time the window is shown, after its controls' own Open events. Closing a
// window (close button or Close) raises CancelClose, then Close. Closing the
// last document window quits the application through its normal quit path.

#include "framework/Graphics.h"
#include "framework/Menu.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class Control;
class Toolbar;
class WindowImpl;

class Window {
public:
  // Codes as the layouts give them; every kind other than a document is a
  // dialog window here (a sheet is a dialog of its own).
  enum Frame { DocumentFrame = 0, MovableModalFrame = 1, ModalFrame = 2, SheetFrame = 8 };

  Window();
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  void SetTitle(const std::string& title);
  std::string Title() const;

  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int left);
  void SetTop(int top);
  void SetWidth(int width);
  void SetHeight(int height);
  // Applies a whole place and size in one step (no Moved or Resized from it
  // while the window is hidden).
  void SetBounds(int left, int top, int width, int height);
  // The size alone, in one step; the place stays the platform's choice.
  void SetSize(int width, int height);
  void SetMinSize(int width, int height);
  void SetMaxSize(int width, int height);
  void SetResizeable(bool on);
  void SetFrame(Frame frame);
  Frame FrameKind() const { return frame_; }
  void SetBackColor(Color c);
  void SetCloseButton(bool on);
  void SetMinimizeButton(bool on);
  void SetMaximizeButton(bool on);
  // A dialog of that frame, with close and minimise buttons and no maximise
  // button, fixed at its present size (so set the size first).
  void SetFixedDialogFrame(Frame frame);

  void SetMenuBar(MenuBar* bar);
  MenuBar* GetMenuBar() const { return menuBar_; }
  // Registers a menu handler of this window for the item of that name
  // (True from the handler: handled).
  void AddMenuHandler(const std::string& itemName, std::function<bool()> handler);
  bool HandleMenu(const std::string& itemName);

  void Show();
  void Hide();
  bool Visible() const;
  // Raises CancelClose (True refuses), then Close, hides the window and
  // drops it from the open windows; the object is deleted from the event
  // loop when the framework owns it (see Adopt).
  bool Close();
  bool Closed() const { return closed_; }
  // Close without asking (the application quitting): Close, hide, drop.
  void CloseNow();
  // Runs the window modally until it is hidden or closed, through the one
  // modal point (tests answer it).
  void ShowModal();
  void ShowModalWithin(Window& parent);
  void BringToFront();

  // The control that has the keyboard focus, nullptr when none of ours.
  Control* FocusedControl() const;

  // The screens' usable areas, in the coordinates of Left and Top.
  struct ScreenArea {
    int left, top, width, height;
  };
  static std::vector<ScreenArea> Screens();

  // Windows that are open (created and not closed), oldest first.
  static std::vector<Window*> OpenWindows();
  // Hands the object to the framework: Close deletes it later.
  void Adopt() { adopted_ = true; }

  virtual void Event_Open() {}
  virtual void Event_Close() {}
  virtual bool Event_CancelClose(bool /*appQuitting*/) { return false; }
  virtual void Event_Resizing() {}
  virtual void Event_Resized() {}
  virtual void Event_Moved() {}
  virtual void Event_EnableMenuItems() {}
  virtual bool Event_MouseDown(int /*x*/, int /*y*/) { return false; }

  // Framework use.
  QWidget* Content() const;
  QWidget* TopLevel() const;
  WindowImpl& Impl() const { return *impl_; }
  void RegisterControl(Control* c);
  void UnregisterControl(Control* c);
  void AttachToolbar(Toolbar* bar);
  const std::vector<Control*>& Controls() const { return controls_; }
  void PressDefaultButton(bool cancel);
  void RaiseResizing();
  void RaiseResized();
  void RaiseMoved();
  void RaiseMouseDown(int x, int y);
  void UserClose();
  bool geometryEventsOn = true;

private:
  void OpenOnce();
  std::unique_ptr<WindowImpl> impl_;
  MenuBar* menuBar_ = nullptr;
  Toolbar* toolbar_ = nullptr;
  std::vector<Control*> controls_;
  MenuHandlers menuHandlers_;
  Frame frame_ = DocumentFrame;
  bool opened_ = false;
  bool closed_ = false;
  bool adopted_ = false;
};

// A window class with one open window at a time: Instance creates it (handed
// to the framework, see Adopt) on first use and again once it was closed.
template <class W>
class SharedWindow : public Window {
public:
  static W& Instance()
  {
    if (!Current()) {
      slot() = new W;
      slot()->Adopt();
    }
    return *slot();
  }
  // The open one, nullptr when there is none.
  static W* Current()
  {
    W* w = slot();
    return w && !w->Closed() ? w : nullptr;
  }

protected:
  ~SharedWindow() override
  {
    if (slot() == this)
      slot() = nullptr;
  }

private:
  static W*& slot()
  {
    static W* w = nullptr;
    return w;
  }
};
