#pragma once
// The simple controls. Every text a control shows is plain text: nothing is
// ever taken as markup. Events are public std::function members; one left
// empty does nothing. An event caused by code runs at once. What a static
// text, the log's appended text and a progress bar show reaches the screen
// at the next frame (Display.h); reading them back gives the new value at once.

#include "framework/Control.h"

#include <functional>
#include <string>
#include <vector>

class StaticText : public Control {
public:
  StaticText(Window& w, std::string name, Control* parent = nullptr);
  std::string Text() const { return text_; }
  void SetText(const std::string& text);
  // 0 left, 1 centre, 2 right.
  void SetTextAlign(int align);
  void SetMultiline(bool on);
  void SetEnabled(bool on) override;
  void ApplyDisplay() override;

private:
  std::string text_;
};

// Single-line, password (masked) or multi-line text field.
class EditField : public Control {
public:
  enum Kind { SingleLine, Password, MultiLine };
  EditField(Window& w, std::string name, Control* parent = nullptr, Kind kind = SingleLine);
  Kind FieldKind() const { return kind_; }
  std::string Text() const;
  void SetText(const std::string& text);
  // Adds text at the very end, whatever is selected; the selection is not
  // restored. A multi-line field shows what was added at the next frame.
  void AppendText(const std::string& text);
  void SetReadOnly(bool on);
  bool ReadOnly() const;
  void SetScrollbarVertical(bool on);
  void SetUseFocusRing(bool on);
  // Selection in characters.
  int SelStart() const;
  int SelLength() const;
  void SetSelection(int start, int length);
  std::string SelText() const;

  // Standard editing on this field (menu Edit items).
  void Undo();
  void Cut();
  void Copy();
  void Paste();
  void Clear();
  void SelectAll();

  std::function<void()> TextChange;
  void ApplyDisplay() override { FlushAppended(); }

private:
  // Puts the text appended since the last frame into the widget; everything
  // that reads or changes the widget's text does this first.
  void FlushAppended() const;
  Kind kind_;
  mutable std::string appended_;
};

// What a check box and a radio button share: a caption and an on/off value.
class ToggleButton : public Control {
public:
  std::string Caption() const;
  void SetCaption(const std::string& text);
  bool Value() const;
  // Raises Action when the value changes (by code too); a radio button's
  // only when it turns on.
  void SetValue(bool on);
  std::function<void()> Action;

protected:
  using Control::Control;
};

class CheckBox : public ToggleButton {
public:
  CheckBox(Window& w, std::string name, Control* parent = nullptr);
};

class RadioButton : public ToggleButton {
public:
  RadioButton(Window& w, std::string name, Control* parent = nullptr);
};

class PopupMenu : public Control {
public:
  PopupMenu(Window& w, std::string name, Control* parent = nullptr);
  // Items separated by CR or LF.
  void SetInitialValue(const std::string& items);
  void AddRow(const std::string& text);
  void DeleteAllRows();
  int ListCount() const;
  std::string List(int index) const;
  int ListIndex() const;
  void SetListIndex(int index); // raises Change when it changes
  std::string Text() const;
  std::function<void()> Change;
};

class PushButton : public Control {
public:
  PushButton(Window& w, std::string name, Control* parent = nullptr);
  std::string Caption() const;
  void SetCaption(const std::string& text);
  // Default answers Return, Cancel answers Escape, in this window.
  void SetDefault(bool on);
  void SetCancel(bool on);
  bool IsDefault() const { return default_; }
  bool IsCancel() const { return cancel_; }
  // Presses the button as the user would (raises Action when enabled).
  void Push();
  std::function<void()> Action;

private:
  bool default_ = false, cancel_ = false;
};

class BevelButton : public Control {
public:
  BevelButton(Window& w, std::string name, Control* parent = nullptr);
  std::string Caption() const;
  void SetCaption(const std::string& text);
  void Push();
  std::function<void()> Action;
};

// A Maximum of 0 shows an indeterminate (busy) bar.
class ProgressBar : public Control {
public:
  ProgressBar(Window& w, std::string name, Control* parent = nullptr);
  int Maximum() const { return maximum_; }
  void SetMaximum(int maximum);
  int Value() const { return value_; }
  void SetValue(int value);
  void ApplyDisplay() override;

private:
  void Apply();
  int maximum_ = 100, value_ = 0;
};

class GroupBox : public Control {
public:
  GroupBox(Window& w, std::string name, Control* parent = nullptr);
  std::string Caption() const;
  void SetCaption(const std::string& text);
};

// A filled frame.
class Rectangle : public Control {
public:
  Rectangle(Window& w, std::string name, Control* parent = nullptr);
  void SetFillColor(Color c);
  void SetBorderColors(Color topLeft, Color bottomRight);
  void SetBorderWidth(int width);
  Color FillColor() const;
};

// Pages of controls; a control shows only on its own page (SetPanel).
class PagePanel : public Control {
public:
  PagePanel(Window& w, std::string name, Control* parent = nullptr, int panelCount = 1);
  int PanelCount() const { return count_; }
  int Value() const { return value_; }
  void SetValue(int page);
  void AddMember(Control* c) { members_.push_back(c); }
  void RemoveMember(Control* c);
  std::function<void()> Change;

private:
  int count_;
  int value_ = 0;
  std::vector<Control*> members_;
};

// A surface program code draws on in its Paint event.
class Canvas : public Control {
public:
  Canvas(Window& w, std::string name, Control* parent = nullptr);
  // Repaints (Paint runs from the event loop).
  void Refresh();
  std::function<void(Graphics& g)> Paint;
};
