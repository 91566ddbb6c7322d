#include "Menu.h"

#include "Application.h"
#include "Controls.h"
#include "Events.h"
#include "Window.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

void MenuHandlers::Add(const std::string& itemName, std::function<bool()> handler)
{
  handlers_.emplace_back(itemName, std::move(handler));
}

bool MenuHandlers::Handle(const std::string& itemName)
{
  for (auto& [name, handler] : handlers_)
    if (name == itemName && handler) {
      bool handled = false;
      DeliverEvent([&] { handled = handler(); });
      return handled;
    }
  return false;
}

namespace {
Window* frontWindow()
{
  QWidget* active = QApplication::activeWindow();
  Window* firstVisible = nullptr;
  for (Window* w : Window::OpenWindows()) {
    if (w->TopLevel() == active)
      return w;
    if (!firstVisible && w->Visible() && w->FrameKind() == Window::DocumentFrame)
      firstVisible = w;
  }
  return firstVisible;
}

// The platform's own editing on the focused text field.
bool standardEdit(const std::string& name)
{
  Window* w = frontWindow();
  auto* field = w ? dynamic_cast<EditField*>(w->FocusedControl()) : nullptr;
  if (!field)
    return false;
  if (name == "EditUndo")
    field->Undo();
  else if (name == "EditCut")
    field->Cut();
  else if (name == "EditCopy")
    field->Copy();
  else if (name == "EditPaste")
    field->Paste();
  else if (name == "EditClear")
    field->Clear();
  else if (name == "EditSelectAll")
    field->SelectAll();
  else
    return false;
  return true;
}
} // namespace

MenuItem::MenuItem() : action_(std::make_unique<QAction>())
{
  QObject::connect(action_.get(), &QAction::triggered, [this] { Choose(); });
}

MenuItem::~MenuItem() = default;

void MenuItem::SetText(const std::string& text)
{
  text_ = text;
  Sync();
}

void MenuItem::SetKeyboardShortcut(const std::string& shortcut)
{
  shortcut_ = shortcut;
  Sync();
}

std::string MenuItem::QtShortcut() const
{
  std::string s = shortcut_;
  if (s.rfind("Cmd+", 0) == 0)
    s = "Ctrl+" + s.substr(4);
  return s;
}

void MenuItem::SetEnabled(bool on)
{
  enabled_ = on;
  Action()->setEnabled(on);
}

void MenuItem::Sync()
{
  action_->setSeparator(IsSeparator());
  // A separator shows no text; some styles would draw the "-" as a label.
  action_->setText(IsSeparator() ? QString() : QString::fromStdString(text_));
  action_->setShortcut(QKeySequence(QString::fromStdString(QtShortcut())));
  if (menu_)
    menu_->setTitle(QString::fromStdString(text_));
}

QMenu* MenuItem::Menu() const
{
  if (!menu_) {
    auto* self = const_cast<MenuItem*>(this);
    self->menu_ = std::make_unique<QMenu>();
    self->menu_->setTitle(QString::fromStdString(text_));
    QObject::connect(self->menu_.get(), &QMenu::aboutToShow, [] {
      if (Window* w = frontWindow())
        DeliverEvent([w] { w->Event_EnableMenuItems(); });
    });
  }
  return menu_.get();
}

QAction* MenuItem::Action() const
{
  return menu_ ? menu_->menuAction() : action_.get();
}

void MenuItem::Append(std::unique_ptr<MenuItem> item)
{
  MenuItem* raw = item.get();
  children_.push_back(std::move(item));
  if (dynamic_cast<MenuBar*>(this))
    raw->Menu(); // a menu of the bar
  else
    Menu()->addAction(raw->Action());
}

MenuItem* MenuItem::Child(const std::string& name) const
{
  for (auto& c : children_)
    if (c->name_ == name)
      return c.get();
  return nullptr;
}

MenuItem* MenuItem::Lookup(const std::string& name)
{
  if (name_ == name)
    return this;
  for (auto& c : children_)
    if (MenuItem* m = c->Lookup(name))
      return m;
  return nullptr;
}

void MenuItem::Choose()
{
  if (!enabled_ || IsSeparator())
    return;
  Window* w = frontWindow();
  if (w && w->HandleMenu(name_))
    return;
  Application* app = Application::Current();
  if (app && app->HandleMenu(name_))
    return;
  if (dynamic_cast<QuitMenuItem*>(this)) {
    if (app)
      DeliverEvent([app] { app->Quit(); });
    return;
  }
  standardEdit(name_);
}

std::unique_ptr<QMenuBar> MenuBar::MakeQtMenuBar(QWidget* parent) const
{
  auto bar = std::make_unique<QMenuBar>(parent);
  bar->setNativeMenuBar(false);
  for (int i = 0; i < Count(); ++i)
    bar->addMenu(Item(i)->Menu());
  return bar;
}
