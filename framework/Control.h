#pragma once
// Base of every visible control. Geometry is in the window's content-area
// pixels, also for a control that sits inside a group box, rectangle or page
// panel (its parent); a control moves with its parent. LockTop/LockBottom
// keep a control's top and/or bottom edge at its distance from its parent's
// edges when the parent's height changes (both: it grows).

#include "framework/Graphics.h"

#include <functional>
#include <string>

class QWidget;
class Window;
class PagePanel;

class Control {
public:
  Control(Window& window, std::string name, Control* parent);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  Control* Parent() const { return parent_; }

  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int left);
  void SetTop(int top);
  void SetWidth(int width);
  void SetHeight(int height);
  void SetBounds(int left, int top, int width, int height);
  void SetLocks(bool top, bool bottom);
  bool LockTop() const { return lockTop_; }
  bool LockBottom() const { return lockBottom_; }

  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool on);
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  // Shown on the page panel's page (TabPanelIndex - 1); a control not on a
  // page panel has index 0.
  void SetPanel(PagePanel* panel, int tabPanelIndex);
  int TabPanelIndex() const { return panelIndex_; }
  // Visible and on the page shown (whether or not the window is shown).
  bool Shown() const;

  // Font size in points, drawn as that many pixels so texts fit the
  // controls' pixel bounds (0: the framework's default), bold, italic,
  // underline.
  void SetTextStyle(int size, bool bold = false, bool italic = false, bool underline = false);
  void SetTextColor(Color c);
  void SetFocus();
  // Mouse clicks pass through to what lies beneath (the window).
  void SetClickThrough(bool on);

  // Framework use.
  QWidget* Widget() const { return widget_; }
  QWidget* ChildArea() const; // where this control's own children go
  void ApplyVisibility();
  void ParentResized(int oldHeight, int newHeight);
  // Hands what changed since the last frame to the widget (Display.h).
  virtual void ApplyDisplay() {}

protected:
  // Subclasses create their widget and hand it over once.
  void Init(QWidget* widget);
  // Asks for ApplyDisplay at the next frame.
  void DisplayChanged();

private:
  int ParentLeft() const;
  int ParentTop() const;
  Window& window_;
  std::string name_;
  Control* parent_;
  QWidget* widget_ = nullptr;
  PagePanel* panel_ = nullptr;
  int panelIndex_ = 0;
  bool lockTop_ = false, lockBottom_ = false;
  bool enabled_ = true, visible_ = true;
};
