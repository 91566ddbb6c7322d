#include "Controls.h"

#include "Events.h"
#include "Window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QToolButton>

#include <algorithm>

namespace {
QString q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string s(const QString& t) { return t.toUtf8().toStdString(); }
} // namespace

// StaticText ---------------------------------------------------------------

namespace {
// A label whose wrapped lines also break inside a word too long for the
// width (a folder path has no spaces), rather than cutting the word off.
class WrapLabel : public QLabel {
protected:
  void paintEvent(QPaintEvent* e) override
  {
    if (!wordWrap()) {
      QLabel::paintEvent(e);
      return;
    }
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, foregroundRole()));
    QTextOption opt(alignment());
    opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    p.drawText(QRectF(contentsRect()), text(), opt);
  }
};
} // namespace

StaticText::StaticText(Window& w, std::string name, Control* parent) : Control(w, std::move(name), parent)
{
  auto* l = new WrapLabel;
  l->setTextFormat(Qt::PlainText);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Init(l);
}

void StaticText::SetText(const std::string& text)
{
  if (text == text_)
    return;
  text_ = text;
  DisplayChanged();
}

void StaticText::ApplyDisplay() { static_cast<QLabel*>(Widget())->setText(q(text_)); }

void StaticText::SetTextAlign(int align)
{
  Qt::Alignment a = align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignLeft;
  static_cast<QLabel*>(Widget())->setAlignment(a | Qt::AlignTop);
}

void StaticText::SetMultiline(bool on) { static_cast<QLabel*>(Widget())->setWordWrap(on); }
void StaticText::SetEnabled(bool on) { Control::SetEnabled(on); }

// EditField ----------------------------------------------------------------

namespace {
class PlainEdit : public QPlainTextEdit {
public:
  PlainEdit() { setTabChangesFocus(true); }
};
} // namespace

EditField::EditField(Window& w, std::string name, Control* parent, Kind kind)
    : Control(w, std::move(name), parent), kind_(kind)
{
  if (kind == MultiLine) {
    auto* e = new PlainEdit;
    e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QObject::connect(e, &QPlainTextEdit::textChanged, [this] { DeliverEvent(TextChange); });
    Init(e);
  } else {
    auto* e = new QLineEdit;
    if (kind == Password)
      e->setEchoMode(QLineEdit::Password);
    QObject::connect(e, &QLineEdit::textChanged, [this] { DeliverEvent(TextChange); });
    Init(e);
  }
}

void EditField::FlushAppended() const
{
  if (appended_.empty())
    return;
  auto* e = static_cast<QPlainTextEdit*>(Widget());
  const QSignalBlocker block(e); // TextChange was raised as each text came
  QTextCursor c(e->document());
  c.movePosition(QTextCursor::End);
  c.insertText(q(appended_)); // plain text, never markup
  appended_.clear();
  QTextCursor end(e->document());
  end.movePosition(QTextCursor::End);
  e->setTextCursor(end);
  e->ensureCursorVisible();
}

std::string EditField::Text() const
{
  FlushAppended();
  if (kind_ == MultiLine)
    return s(static_cast<QPlainTextEdit*>(Widget())->toPlainText());
  return s(static_cast<QLineEdit*>(Widget())->text());
}

void EditField::SetText(const std::string& text)
{
  appended_.clear();
  if (kind_ == MultiLine)
    static_cast<QPlainTextEdit*>(Widget())->setPlainText(q(text));
  else
    static_cast<QLineEdit*>(Widget())->setText(q(text));
}

void EditField::AppendText(const std::string& text)
{
  if (kind_ != MultiLine) {
    auto* e = static_cast<QLineEdit*>(Widget());
    e->setText(e->text() + q(text));
    e->end(false);
    return;
  }
  if (text.empty())
    return;
  appended_ += text;
  DeliverEvent(TextChange);
  DisplayChanged();
}

void EditField::SetReadOnly(bool on)
{
  if (kind_ == MultiLine) {
    auto* e = static_cast<QPlainTextEdit*>(Widget());
    e->setReadOnly(on);
    // Only code changes a read-only field: Undo must not take any of it back.
    e->setUndoRedoEnabled(!on);
  } else
    static_cast<QLineEdit*>(Widget())->setReadOnly(on);
}

bool EditField::ReadOnly() const
{
  if (kind_ == MultiLine)
    return static_cast<QPlainTextEdit*>(Widget())->isReadOnly();
  return static_cast<QLineEdit*>(Widget())->isReadOnly();
}

void EditField::SetScrollbarVertical(bool on)
{
  if (kind_ == MultiLine)
    static_cast<QPlainTextEdit*>(Widget())->setVerticalScrollBarPolicy(on ? Qt::ScrollBarAsNeeded
                                                                         : Qt::ScrollBarAlwaysOff);
}

void EditField::SetUseFocusRing(bool on) { Widget()->setAttribute(Qt::WA_MacShowFocusRect, on); }

int EditField::SelStart() const
{
  FlushAppended();
  if (kind_ == MultiLine)
    return static_cast<QPlainTextEdit*>(Widget())->textCursor().selectionStart();
  auto* e = static_cast<QLineEdit*>(Widget());
  return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}

int EditField::SelLength() const
{
  FlushAppended();
  if (kind_ == MultiLine) {
    auto c = static_cast<QPlainTextEdit*>(Widget())->textCursor();
    return c.selectionEnd() - c.selectionStart();
  }
  return static_cast<int>(static_cast<QLineEdit*>(Widget())->selectedText().size());
}

void EditField::SetSelection(int start, int length)
{
  FlushAppended();
  if (kind_ == MultiLine) {
    auto* e = static_cast<QPlainTextEdit*>(Widget());
    QTextCursor c(e->document());
    c.setPosition(start);
    c.setPosition(start + length, QTextCursor::KeepAnchor);
    e->setTextCursor(c);
  } else {
    static_cast<QLineEdit*>(Widget())->setSelection(start, length);
  }
}

std::string EditField::SelText() const
{
  FlushAppended();
  if (kind_ == MultiLine)
    return s(static_cast<QPlainTextEdit*>(Widget())->textCursor().selectedText().replace(QChar(0x2029), '\n'));
  return s(static_cast<QLineEdit*>(Widget())->selectedText());
}

#define EDIT_OP(op, lineOp, plainOp)                                                                                   \
  void EditField::op()                                                                                                 \
  {                                                                                                                    \
    FlushAppended();                                                                                                   \
    if (kind_ == MultiLine)                                                                                            \
      static_cast<QPlainTextEdit*>(Widget())->plainOp();                                                               \
    else                                                                                                               \
      static_cast<QLineEdit*>(Widget())->lineOp();                                                                     \
  }
EDIT_OP(Undo, undo, undo)
EDIT_OP(Cut, cut, cut)
EDIT_OP(Copy, copy, copy)
EDIT_OP(Paste, paste, paste)
EDIT_OP(SelectAll, selectAll, selectAll)
#undef EDIT_OP

void EditField::Clear()
{
  FlushAppended();
  if (kind_ == MultiLine) {
    auto* e = static_cast<QPlainTextEdit*>(Widget());
    if (!e->isReadOnly())
      e->textCursor().removeSelectedText();
  } else {
    static_cast<QLineEdit*>(Widget())->del();
  }
}

// CheckBox / RadioButton ---------------------------------------------------

std::string ToggleButton::Caption() const { return s(static_cast<QAbstractButton*>(Widget())->text()); }
void ToggleButton::SetCaption(const std::string& text) { static_cast<QAbstractButton*>(Widget())->setText(q(text)); }
bool ToggleButton::Value() const { return static_cast<QAbstractButton*>(Widget())->isChecked(); }
void ToggleButton::SetValue(bool on) { static_cast<QAbstractButton*>(Widget())->setChecked(on); }

CheckBox::CheckBox(Window& w, std::string name, Control* parent) : ToggleButton(w, std::move(name), parent)
{
  auto* b = new QCheckBox;
  QObject::connect(b, &QCheckBox::toggled, [this](bool) { DeliverEvent(Action); });
  Init(b);
}

RadioButton::RadioButton(Window& w, std::string name, Control* parent) : ToggleButton(w, std::move(name), parent)
{
  auto* b = new QRadioButton;
  QObject::connect(b, &QRadioButton::toggled, [this](bool on) {
    if (on)
      DeliverEvent(Action);
  });
  Init(b);
}

// PopupMenu ----------------------------------------------------------------

PopupMenu::PopupMenu(Window& w, std::string name, Control* parent) : Control(w, std::move(name), parent)
{
  auto* c = new QComboBox;
  QObject::connect(c, &QComboBox::currentIndexChanged, [this](int) { DeliverEvent(Change); });
  Init(c);
}

void PopupMenu::SetInitialValue(const std::string& items)
{
  DeleteAllRows();
  std::string item;
  for (char ch : items) {
    if (ch == '\r' || ch == '\n') {
      AddRow(item);
      item.clear();
    } else {
      item += ch;
    }
  }
  if (!item.empty())
    AddRow(item);
}

void PopupMenu::AddRow(const std::string& text)
{
  auto* c = static_cast<QComboBox*>(Widget());
  const QSignalBlocker block(c); // adding rows raises no Change
  c->addItem(q(text));
}

void PopupMenu::DeleteAllRows() { static_cast<QComboBox*>(Widget())->clear(); }
int PopupMenu::ListCount() const { return static_cast<QComboBox*>(Widget())->count(); }
std::string PopupMenu::List(int index) const { return s(static_cast<QComboBox*>(Widget())->itemText(index)); }
int PopupMenu::ListIndex() const { return static_cast<QComboBox*>(Widget())->currentIndex(); }
void PopupMenu::SetListIndex(int index) { static_cast<QComboBox*>(Widget())->setCurrentIndex(index); }
std::string PopupMenu::Text() const { return s(static_cast<QComboBox*>(Widget())->currentText()); }

// Buttons ------------------------------------------------------------------

PushButton::PushButton(Window& w, std::string name, Control* parent) : Control(w, std::move(name), parent)
{
  auto* b = new QPushButton;
  b->setAutoDefault(false);
  QObject::connect(b, &QPushButton::clicked, [this] { DeliverEvent(Action); });
  Init(b);
}
std::string PushButton::Caption() const { return s(static_cast<QPushButton*>(Widget())->text()); }
void PushButton::SetCaption(const std::string& text) { static_cast<QPushButton*>(Widget())->setText(q(text)); }
void PushButton::SetDefault(bool on)
{
  default_ = on;
  static_cast<QPushButton*>(Widget())->setDefault(on);
}
void PushButton::SetCancel(bool on) { cancel_ = on; }
void PushButton::Push()
{
  if (Enabled())
    DeliverEvent(Action);
}

BevelButton::BevelButton(Window& w, std::string name, Control* parent) : Control(w, std::move(name), parent)
{
  auto* b = new QToolButton;
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  b->setFocusPolicy(Qt::NoFocus);
  QObject::connect(b, &QToolButton::clicked, [this] { DeliverEvent(Action); });
  Init(b);
}
std::string BevelButton::Caption() const { return s(static_cast<QToolButton*>(Widget())->text()); }
void BevelButton::SetCaption(const std::string& text) { static_cast<QToolButton*>(Widget())->setText(q(text)); }
void BevelButton::Push()
{
  if (Enabled())
    DeliverEvent(Action);
}

// ProgressBar --------------------------------------------------------------

ProgressBar::ProgressBar(Window& w, std::string name, Control* parent) : Control(w, std::move(name), parent)
{
  auto* p = new QProgressBar;
  p->setTextVisible(false);
  Init(p);
  Apply();
}

void ProgressBar::SetMaximum(int maximum)
{
  maximum_ = maximum;
  DisplayChanged();
}

void ProgressBar::SetValue(int value)
{
  value_ = value;
  DisplayChanged();
}

void ProgressBar::ApplyDisplay()
{
  // The bar paints itself at once on a visible change; it is left to the
  // window's next paint instead.
  QWidget* w = Widget();
  w->setUpdatesEnabled(false);
  Apply();
  w->setUpdatesEnabled(true);
}

void ProgressBar::Apply()
{
  auto* p = static_cast<QProgressBar*>(Widget());
  p->setRange(0, std::max(0, maximum_)); // 0..0 is the busy bar
  if (maximum_ > 0)
    p->setValue(std::clamp(value_, 0, maximum_));
}

// GroupBox / Rectangle / PagePanel ----------------------------------------

GroupBox::GroupBox(Window& w, std::string name, Control* parent) : Control(w, std::move(name), parent)
{
  Init(new QGroupBox);
}
std::string GroupBox::Caption() const { return s(static_cast<QGroupBox*>(Widget())->title()); }
void GroupBox::SetCaption(const std::string& text) { static_cast<QGroupBox*>(Widget())->setTitle(q(text)); }

namespace {
class RectWidget : public QWidget {
public:
  QColor fill{255, 255, 255}, topLeft{0, 0, 0}, bottomRight{0, 0, 0};
  int border = 1;

protected:
  void paintEvent(QPaintEvent*) override
  {
    QPainter p(this);
    p.fillRect(rect(), fill);
    for (int i = 0; i < border; ++i) {
      p.setPen(topLeft);
      p.drawLine(i, i, width() - 1 - i, i);
      p.drawLine(i, i, i, height() - 1 - i);
      p.setPen(bottomRight);
      p.drawLine(i, height() - 1 - i, width() - 1 - i, height() - 1 - i);
      p.drawLine(width() - 1 - i, i, width() - 1 - i, height() - 1 - i);
    }
  }
};
} // namespace

Rectangle::Rectangle(Window& w, std::string name, Control* parent) : Control(w, std::move(name), parent)
{
  Init(new RectWidget);
}

void Rectangle::SetFillColor(Color c)
{
  static_cast<RectWidget*>(Widget())->fill = QColor(c.r, c.g, c.b);
  Widget()->update();
}

Color Rectangle::FillColor() const
{
  const QColor c = static_cast<RectWidget*>(Widget())->fill;
  return RGB(c.red(), c.green(), c.blue());
}

void Rectangle::SetBorderColors(Color topLeft, Color bottomRight)
{
  auto* r = static_cast<RectWidget*>(Widget());
  r->topLeft = QColor(topLeft.r, topLeft.g, topLeft.b);
  r->bottomRight = QColor(bottomRight.r, bottomRight.g, bottomRight.b);
  r->update();
}

void Rectangle::SetBorderWidth(int width)
{
  static_cast<RectWidget*>(Widget())->border = width;
  Widget()->update();
}

PagePanel::PagePanel(Window& w, std::string name, Control* parent, int panelCount)
    : Control(w, std::move(name), parent), count_(panelCount)
{
  auto* p = new QWidget;
  p->setAttribute(Qt::WA_TranslucentBackground);
  Init(p);
}

void PagePanel::SetValue(int page)
{
  if (page < 0 || page >= count_)
    return;
  const bool changed = page != value_;
  value_ = page;
  for (Control* c : members_)
    c->ApplyVisibility();
  if (changed)
    DeliverEvent(Change);
}

void PagePanel::RemoveMember(Control* c)
{
  members_.erase(std::remove(members_.begin(), members_.end(), c), members_.end());
}

// Canvas ----------------------------------------------------------------------

namespace {
class CanvasWidget : public QWidget {
public:
  explicit CanvasWidget(Canvas& c) : canvas(c) {}
  Canvas& canvas;

protected:
  void paintEvent(QPaintEvent*) override
  {
    if (!canvas.Paint)
      return;
    QPainter p(this);
    Graphics g(p, width(), height());
    DeliverEvent([&] { canvas.Paint(g); });
  }
};
} // namespace

Canvas::Canvas(Window& w, std::string name, Control* parent) : Control(w, std::move(name), parent)
{
  auto* c = new CanvasWidget(*this);
  c->setFocusPolicy(Qt::NoFocus);
  Init(c);
}

void Canvas::Refresh() { Widget()->update(); }
