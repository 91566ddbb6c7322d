#pragma once
// Menus. A menu bar holds menus, a menu holds items; items are named and
// found by name anywhere in the tree. A chosen item runs the handler of
// its name registered on the front window, else on the application; without
// one, the quit item quits and the standard edit items (EditUndo, EditCut,
// EditCopy, EditPaste, EditClear, EditSelectAll) act on the focused text
// field. Shortcuts are written "Cmd+S" and mean Ctrl+S here.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The menu handlers of a window or of the application, by item name.
class MenuHandlers {
public:
  void Add(const std::string& itemName, std::function<bool()> handler);
  // Runs the handler of that name through the event delivery; True when
  // there is one and it handled the item.
  bool Handle(const std::string& itemName);

private:
  std::vector<std::pair<std::string, std::function<bool()>>> handlers_;
};

class MenuItem {
public:
  MenuItem();
  virtual ~MenuItem();
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  std::string Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  std::string Text() const { return text_; }
  void SetText(const std::string& text); // "-" is a separator
  std::string KeyboardShortcut() const { return shortcut_; }
  void SetKeyboardShortcut(const std::string& shortcut);
  bool AutoEnable = true;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  void Enable() { SetEnabled(true); }
  bool IsSeparator() const { return text_ == "-"; }

  // Takes ownership.
  void Append(std::unique_ptr<MenuItem> item);
  int Count() const { return static_cast<int>(children_.size()); }
  MenuItem* Item(int index) const { return children_.at(index).get(); }
  // A direct child by name.
  MenuItem* Child(const std::string& name) const;
  // This item or any item below it, by name.
  MenuItem* Lookup(const std::string& name);

  // Chooses the item as the user would.
  void Choose();

  // The Qt shortcut text ("Ctrl+S"), empty for none.
  std::string QtShortcut() const;
  QAction* Action() const;
  QMenu* Menu() const;

private:
  void Sync();
  std::string name_, text_, shortcut_;
  bool enabled_ = true;
  std::vector<std::unique_ptr<MenuItem>> children_;
  std::unique_ptr<QAction> action_;
  std::unique_ptr<QMenu> menu_;
};

class QuitMenuItem : public MenuItem {};
class PrefsMenuItem : public MenuItem {};
class AppleMenuItem : public MenuItem {};

class MenuBar : public MenuItem {
public:
  // Framework use: a Qt menu bar showing this bar's menus (one per window).
  std::unique_ptr<QMenuBar> MakeQtMenuBar(QWidget* parent) const;
};
