#include "Toolbar.h"

#include "Events.h"
#include "Window.h"

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QToolBar>

void ToolItem::SetCaption(const std::string& text)
{
  caption_ = text;
  if (action_ && style_ == PushButtonStyle)
    action_->setText(QString::fromStdString(text));
}

void ToolItem::SetEnabled(bool on)
{
  enabled_ = on;
  if (action_)
    action_->setEnabled(on);
}

void ToolItem::SetIcon(Picture* picture)
{
  hasIcon_ = picture != nullptr;
  if (!action_)
    return;
  if (!picture) {
    action_->setIcon(QIcon());
    return;
  }
  QImage img = picture->Image().convertToFormat(QImage::Format_ARGB32);
  if (picture->HasMask()) {
    const QImage& mask = picture->Mask().Image();
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        const int alpha = x < mask.width() && y < mask.height() ? 255 - qGray(mask.pixel(x, y)) : 0;
        QColor c = img.pixelColor(x, y);
        c.setAlpha(alpha);
        img.setPixelColor(x, y, c);
      }
  }
  action_->setIcon(QIcon(QPixmap::fromImage(img)));
}

void ToolItem::Bind(QAction* action)
{
  action_ = action;
  action_->setEnabled(enabled_);
  if (style_ == PushButtonStyle)
    action_->setText(QString::fromStdString(caption_));
}

Toolbar::Toolbar(Window& window, std::string name) : window_(window), name_(std::move(name))
{
  auto* bar = new QToolBar;
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(41, 38));
  bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  bar->toggleViewAction()->setEnabled(false);
  bar_ = bar;
  window_.AttachToolbar(this);
}

Toolbar::~Toolbar() = default;

QWidget* Toolbar::Widget() const { return bar_; }

void Toolbar::Append(ToolItem* item)
{
  auto* bar = static_cast<QToolBar*>(bar_);
  items_.push_back(item);
  QAction* a = nullptr;
  switch (item->Style()) {
  case ToolItem::SeparatorStyle:
    a = bar->addSeparator();
    break;
  case ToolItem::SpaceStyle:
  case ToolItem::FlexibleSpaceStyle: {
    auto* gap = new QWidget;
    if (item->Style() == ToolItem::SpaceStyle)
      gap->setFixedWidth(16);
    else
      gap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    a = bar->addWidget(gap);
    break;
  }
  default:
    a = bar->addAction(QString());
    QObject::connect(a, &QAction::triggered, [this, item] {
      if (item->Enabled() && enabled_ && Action)
        DeliverEvent([&] { Action(*item); });
    });
    break;
  }
  item->Bind(a);
}

ToolItem* Toolbar::ItemNamed(const std::string& name) const
{
  for (ToolItem* i : items_)
    if (i->Name == name)
      return i;
  return nullptr;
}

void Toolbar::SetEnabled(bool on)
{
  enabled_ = on;
  bar_->setEnabled(on);
}

void Toolbar::SetVisible(bool on)
{
  visible_ = on;
  bar_->setVisible(on);
}

void Toolbar::Press(const std::string& itemName)
{
  ToolItem* i = ItemNamed(itemName);
  if (i && i->Action() && i->Style() == ToolItem::PushButtonStyle && i->Enabled())
    i->Action()->trigger();
}
