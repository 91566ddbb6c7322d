#include "Control.h"

#include "Controls.h"
#include "Display.h"
#include "Window.h"

#include <QFont>
#include <QPalette>
#include <QWidget>

Control::Control(Window& window, std::string name, Control* parent)
    : window_(window), name_(std::move(name)), parent_(parent)
{
  window_.RegisterControl(this);
}

Control::~Control()
{
  display::Forget(this);
  window_.UnregisterControl(this);
  if (panel_)
    panel_->RemoveMember(this);
  delete widget_; // children (declared later) are gone already
}

void Control::Init(QWidget* widget)
{
  widget_ = widget;
  widget_->setParent(parent_ ? parent_->ChildArea() : window_.Content());
  widget_->show();
}

QWidget* Control::ChildArea() const { return widget_; }

void Control::DisplayChanged() { display::Schedule(this); }

int Control::ParentLeft() const { return parent_ ? parent_->Left() : 0; }
int Control::ParentTop() const { return parent_ ? parent_->Top() : 0; }

int Control::Left() const { return ParentLeft() + widget_->x(); }
int Control::Top() const { return ParentTop() + widget_->y(); }
int Control::Width() const { return widget_->width(); }
int Control::Height() const { return widget_->height(); }

void Control::SetLeft(int left) { widget_->move(left - ParentLeft(), widget_->y()); }
void Control::SetTop(int top) { widget_->move(widget_->x(), top - ParentTop()); }
void Control::SetWidth(int width) { widget_->resize(width, widget_->height()); }

void Control::SetHeight(int height)
{
  const int old = widget_->height();
  widget_->resize(widget_->width(), height);
  if (old != height)
    for (Control* c : window_.Controls())
      if (c->parent_ == this)
        c->ParentResized(old, height);
}

void Control::SetBounds(int left, int top, int width, int height)
{
  widget_->move(left - ParentLeft(), top - ParentTop());
  SetWidth(width);
  SetHeight(height);
}

void Control::SetLocks(bool top, bool bottom)
{
  lockTop_ = top;
  lockBottom_ = bottom;
}

void Control::ParentResized(int oldHeight, int newHeight)
{
  const int d = newHeight - oldHeight;
  if (!lockBottom_ || d == 0)
    return;
  if (lockTop_)
    SetHeight(Height() + d);
  else
    widget_->move(widget_->x(), widget_->y() + d);
}

void Control::SetEnabled(bool on)
{
  enabled_ = on;
  widget_->setEnabled(on);
}

void Control::SetVisible(bool on)
{
  visible_ = on;
  ApplyVisibility();
}

void Control::SetPanel(PagePanel* panel, int tabPanelIndex)
{
  panel_ = panel;
  panelIndex_ = tabPanelIndex;
  if (panel)
    panel->AddMember(this);
  ApplyVisibility();
}

bool Control::Shown() const
{
  if (!visible_ || (panel_ && panel_->Value() + 1 != panelIndex_))
    return false;
  return !parent_ || parent_->Shown();
}

void Control::ApplyVisibility()
{
  widget_->setVisible(visible_ && !(panel_ && panel_->Value() + 1 != panelIndex_));
}

void Control::SetTextStyle(int size, bool bold, bool italic, bool underline)
{
  QFont f = widget_->font();
  if (size > 0)
    f.setPixelSize(size); // the layout's pixel bounds were drawn for 1 pt = 1 px
  f.setBold(bold);
  f.setItalic(italic);
  f.setUnderline(underline);
  widget_->setFont(f);
}

void Control::SetTextColor(Color c)
{
  QPalette p = widget_->palette();
  p.setColor(QPalette::WindowText, QColor(c.r, c.g, c.b));
  p.setColor(QPalette::Text, QColor(c.r, c.g, c.b));
  widget_->setPalette(p);
}

void Control::SetFocus()
{
  widget_->setFocus();
}

void Control::SetClickThrough(bool on)
{
  widget_->setAttribute(Qt::WA_TransparentForMouseEvents, on);
}
