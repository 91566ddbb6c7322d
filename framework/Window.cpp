#include "Window.h"

#include "Application.h"
#include "Control.h"
#include "Controls.h"
#include "Display.h"
#include "Events.h"
#include "Menu.h"
#include "Modal.h"
#include "Toolbar.h"
#include "WindowImpl.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QToolBar>

#include <algorithm>

namespace {
std::vector<Window*>& registry()
{
  static std::vector<Window*> r;
  return r;
}
} // namespace

WindowContent::WindowContent(Window& o) : owner(o) {}

void WindowContent::resizeEvent(QResizeEvent* e)
{
  QWidget::resizeEvent(e);
  auto& impl = owner.Impl();
  const int oldH = impl.contentH;
  impl.contentW = width();
  impl.contentH = height();
  if (oldH != impl.contentH)
    for (Control* c : owner.Controls())
      if (!c->Parent())
        c->ParentResized(oldH, impl.contentH);
  if (owner.geometryEventsOn && impl.isVisible()) {
    owner.RaiseResizing();
    impl.settle.start();
  }
}

void WindowContent::mousePressEvent(QMouseEvent* e)
{
  owner.RaiseMouseDown(e->position().toPoint().x(), e->position().toPoint().y());
  QWidget::mousePressEvent(e);
}

WindowImpl::WindowImpl(Window& o) : owner(o)
{
  content = new WindowContent(o);
  setCentralWidget(content);
  settle.setSingleShot(true);
  settle.setInterval(150);
  QObject::connect(&settle, &QTimer::timeout, [this] { owner.RaiseResized(); });
}

int WindowImpl::Chrome()
{
  int h = 0;
  if (qtMenuBar)
    h += qtMenuBar->sizeHint().height();
  for (QToolBar* t : findChildren<QToolBar*>(Qt::FindDirectChildrenOnly))
    if (!t->isHidden())
      h += t->sizeHint().height();
  return h;
}

void WindowImpl::ApplySize(int w, int h)
{
  w = std::clamp(w, minW, maxW);
  h = std::clamp(h, minH, maxH);
  const int oldH = contentH;
  resize(w, h + Chrome());
  if (isVisible() && content->height() != h) // the bars' real height, once laid out
    resize(w, height() + (h - content->height()));
  if (!isVisible())
    content->resize(w, h);
  // A shown window's resize event has moved the locked controls already.
  const int seenH = isVisible() ? contentH : oldH;
  contentW = w;
  contentH = h;
  if (seenH != h)
    for (Control* c : owner.Controls())
      if (!c->Parent())
        c->ParentResized(seenH, h);
}

void WindowImpl::ApplySizeLimits()
{
  const int chrome = Chrome();
  if (!resizeable) {
    setFixedSize(contentW, contentH + chrome);
    return;
  }
  setMinimumSize(minW, minH + chrome);
  setMaximumSize(std::min(maxW, QWIDGETSIZE_MAX), std::min(maxH + chrome, QWIDGETSIZE_MAX));
}

void WindowImpl::closeEvent(QCloseEvent* e)
{
  e->ignore();
  DeliverEvent([this] { owner.UserClose(); });
}

void WindowImpl::moveEvent(QMoveEvent* e)
{
  QMainWindow::moveEvent(e);
  if (owner.geometryEventsOn && isVisible())
    owner.RaiseMoved();
}

void WindowImpl::keyPressEvent(QKeyEvent* e)
{
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
    owner.PressDefaultButton(false);
  else if (e->key() == Qt::Key_Escape)
    owner.PressDefaultButton(true);
  else
    QMainWindow::keyPressEvent(e);
}

Window::Window() : impl_(std::make_unique<WindowImpl>(*this))
{
  registry().push_back(this);
  impl_->setAttribute(Qt::WA_QuitOnClose, false);
  impl_->ApplySize(800, 600);
}

Window::~Window()
{
  auto& r = registry();
  r.erase(std::remove(r.begin(), r.end(), this), r.end());
  // Controls are members of subclasses and are gone already; the widgets
  // they made are children of the content and go with it.
}

void Window::SetTitle(const std::string& title)
{
  impl_->setWindowTitle(QString::fromStdString(title));
}

std::string Window::Title() const
{
  return impl_->windowTitle().toStdString();
}

int Window::Left() const { return impl_->x(); }
int Window::Top() const { return impl_->y(); }
int Window::Width() const { return impl_->contentW; }
int Window::Height() const { return impl_->contentH; }

void Window::SetLeft(int left) { impl_->move(left, Top()); }
void Window::SetTop(int top) { impl_->move(Left(), top); }
void Window::SetWidth(int width) { impl_->ApplySize(width, Height()); }
void Window::SetHeight(int height) { impl_->ApplySize(Width(), height); }

void Window::SetBounds(int left, int top, int width, int height)
{
  const bool was = geometryEventsOn;
  geometryEventsOn = false;
  impl_->ApplySize(width, height);
  impl_->move(left, top);
  geometryEventsOn = was;
}

void Window::SetSize(int width, int height)
{
  const bool was = geometryEventsOn;
  geometryEventsOn = false;
  impl_->ApplySize(width, height);
  geometryEventsOn = was;
}

void Window::SetMinSize(int width, int height)
{
  impl_->minW = width;
  impl_->minH = height;
  impl_->ApplySizeLimits();
}

void Window::SetMaxSize(int width, int height)
{
  impl_->maxW = width;
  impl_->maxH = height;
  impl_->ApplySizeLimits();
}

void Window::SetResizeable(bool on)
{
  impl_->resizeable = on;
  impl_->ApplySizeLimits();
}

void Window::SetFrame(Frame frame)
{
  frame_ = frame;
  Qt::WindowFlags f = impl_->windowFlags() & ~Qt::WindowType_Mask;
  f |= frame == DocumentFrame ? Qt::Window : Qt::Dialog;
  impl_->setWindowFlags(f);
}

void Window::SetBackColor(Color c)
{
  QPalette p = impl_->content->palette();
  p.setColor(QPalette::Window, QColor(c.r, c.g, c.b));
  impl_->content->setPalette(p);
  impl_->content->setAutoFillBackground(true);
}

static void setFlag(QWidget* w, Qt::WindowType flag, bool on)
{
  Qt::WindowFlags f = w->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  f.setFlag(flag, on);
  w->setWindowFlags(f);
}

void Window::SetCloseButton(bool on) { setFlag(impl_.get(), Qt::WindowCloseButtonHint, on); }
void Window::SetMinimizeButton(bool on) { setFlag(impl_.get(), Qt::WindowMinimizeButtonHint, on); }
void Window::SetMaximizeButton(bool on) { setFlag(impl_.get(), Qt::WindowMaximizeButtonHint, on); }

void Window::SetFixedDialogFrame(Frame frame)
{
  SetFrame(frame);
  SetMinSize(64, 64);
  SetMaxSize(32000, 32000);
  SetResizeable(false);
  SetCloseButton(true);
  SetMinimizeButton(true);
  SetMaximizeButton(false);
}

void Window::SetMenuBar(MenuBar* bar)
{
  menuBar_ = bar;
  if (!bar)
    return;
  auto qbar = bar->MakeQtMenuBar(impl_.get());
  impl_->qtMenuBar = qbar.get();
  impl_->setMenuBar(qbar.release());
  impl_->ApplySize(Width(), Height());
  impl_->ApplySizeLimits();
}

void Window::AttachToolbar(Toolbar* bar)
{
  toolbar_ = bar;
  impl_->addToolBar(static_cast<QToolBar*>(bar->Widget()));
  impl_->ApplySize(Width(), Height());
  impl_->ApplySizeLimits();
}

void Window::AddMenuHandler(const std::string& itemName, std::function<bool()> handler)
{
  menuHandlers_.Add(itemName, std::move(handler));
}

bool Window::HandleMenu(const std::string& itemName) { return menuHandlers_.Handle(itemName); }

void Window::OpenOnce()
{
  if (opened_)
    return;
  opened_ = true;
  if (toolbar_ && toolbar_->Open)
    DeliverEvent(toolbar_->Open);
  DeliverEvent([this] { Event_Open(); });
}

void Window::Show()
{
  if (closed_)
    return;
  OpenOnce();
  if (closed_)
    return;
  const bool first = !impl_->isVisible();
  if (first)
    UpdateDisplayNow(); // shown with what its controls were given, not a frame later
  const bool was = geometryEventsOn;
  geometryEventsOn = false; // the show's own move and resize store nothing
  const int wantW = impl_->contentW, wantH = impl_->contentH;
  impl_->ApplySizeLimits();
  impl_->show();
  // The bars' height is known only now: keep the content at its size.
  if (impl_->content->width() != wantW || impl_->content->height() != wantH)
    impl_->resize(impl_->width() + wantW - impl_->content->width(),
                  impl_->height() + wantH - impl_->content->height());
  impl_->ApplySizeLimits();
  impl_->raise();
  geometryEventsOn = was;
  if (first)
    DeliverEvent([this] { Event_Resizing(); }); // lay out for the size shown
}

void Window::Hide()
{
  impl_->hide();
}

bool Window::Visible() const
{
  return impl_->isVisible();
}

void Window::BringToFront()
{
  impl_->raise();
  impl_->activateWindow();
}

bool Window::Close()
{
  if (closed_)
    return true;
  bool refused = false;
  DeliverEvent([&] { refused = Event_CancelClose(false); });
  if (refused)
    return false;
  CloseNow();
  return true;
}

void Window::CloseNow()
{
  if (closed_)
    return;
  closed_ = true;
  DeliverEvent([this] { Event_Close(); });
  impl_->settle.stop();
  impl_->hide();
  if (adopted_)
    PostEvent([this] { delete this; });
}

std::vector<Window::ScreenArea> Window::Screens()
{
  std::vector<ScreenArea> out;
  for (QScreen* s : QGuiApplication::screens()) {
    const QRect r = s->availableGeometry();
    out.push_back({r.x(), r.y(), r.width(), r.height()});
  }
  return out;
}

void Window::UserClose()
{
  if (closed_)
    return;
  if (frame_ == DocumentFrame && Application::Current()) {
    bool otherDocument = false;
    for (Window* w : OpenWindows())
      if (w != this && w->frame_ == DocumentFrame && w->Visible())
        otherDocument = true;
    if (!otherDocument) {
      Application::Current()->Quit();
      return;
    }
  }
  Close();
}

void Window::ShowModal()
{
  OpenOnce();
  ModalRequest r;
  r.kind = ModalKind::Window;
  r.title = Title();
  r.window = this;
  RunModal(r);
}

void Window::ShowModalWithin(Window& /*parent*/)
{
  ShowModal();
}

Control* Window::FocusedControl() const
{
  QWidget* f = impl_->focusWidget(); // also while another app is in front
  if (!f)
    return nullptr;
  for (Control* c : controls_)
    if (c->Widget() == f)
      return c;
  Control* inner = nullptr; // the innermost control holding the focus
  for (Control* c : controls_)
    if (c->Widget()->isAncestorOf(f) && (!inner || inner->Widget()->isAncestorOf(c->Widget())))
      inner = c;
  return inner;
}

std::vector<Window*> Window::OpenWindows()
{
  std::vector<Window*> out;
  for (Window* w : registry())
    if (!w->closed_)
      out.push_back(w);
  return out;
}

QWidget* Window::Content() const { return impl_->content; }
QWidget* Window::TopLevel() const { return impl_.get(); }

void Window::RegisterControl(Control* c) { controls_.push_back(c); }

void Window::UnregisterControl(Control* c)
{
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
}

void Window::PressDefaultButton(bool cancel)
{
  for (Control* c : controls_)
    if (auto* b = dynamic_cast<PushButton*>(c))
      if ((cancel ? b->IsCancel() : b->IsDefault()) && b->Enabled() && b->Shown()) {
        b->Push();
        return;
      }
}

void Window::RaiseResizing() { DeliverEvent([this] { Event_Resizing(); }); }
void Window::RaiseResized() { DeliverEvent([this] { Event_Resized(); }); }
void Window::RaiseMoved() { DeliverEvent([this] { Event_Moved(); }); }
void Window::RaiseMouseDown(int x, int y)
{
  DeliverEvent([=, this] { Event_MouseDown(x, y); });
}
