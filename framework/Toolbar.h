#pragma once
// The window's toolbar (shown in the window's toolbar area, captions under
// the icons) and its items. Items are found by Name, never by position.

#include "framework/Control.h"
#include "framework/Graphics.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class Toolbar;

class ToolItem {
public:
  // Styles: a push button, a separator, a fixed and a flexible space.
  enum Styles { PushButtonStyle = 0, SeparatorStyle = 1, SpaceStyle = 5, FlexibleSpaceStyle = 6 };
  virtual ~ToolItem() = default;
  std::string Name;
  std::string HelpTag;
  int Style() const { return style_; }
  void SetStyle(int style) { style_ = style; }
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& text);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  // The icon with its mask (the picture is copied); nullptr: no icon.
  void SetIcon(Picture* picture);
  bool HasIcon() const { return hasIcon_; }

  // Framework use.
  QAction* Action() const { return action_; }
  void Bind(QAction* action);

private:
  int style_ = PushButtonStyle;
  std::string caption_;
  bool enabled_ = true;
  bool hasIcon_ = false;
  QAction* action_ = nullptr;
};

class ToolButton : public ToolItem {};

class Toolbar {
public:
  explicit Toolbar(Window& window, std::string name);
  virtual ~Toolbar();
  Toolbar(const Toolbar&) = delete;
  Toolbar& operator=(const Toolbar&) = delete;

  const std::string& Name() const { return name_; }
  // Appends an item (not owned: the toolbar's subclass keeps its items).
  void Append(ToolItem* item);
  int Count() const { return static_cast<int>(items_.size()); }
  ToolItem* Item(int index) const { return items_.at(index); }
  ToolItem* ItemNamed(const std::string& name) const;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  // Presses an item as the user would (Action when the item is enabled).
  void Press(const std::string& itemName);

  std::function<void(ToolItem& item)> Action;
  std::function<void()> Open;

  // Framework use.
  QWidget* Widget() const;

private:
  Window& window_;
  std::string name_;
  std::vector<ToolItem*> items_;
  QWidget* bar_ = nullptr; // owned by the window
  bool enabled_ = true, visible_ = true;
};
