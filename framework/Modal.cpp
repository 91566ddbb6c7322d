#include "Modal.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace {
ModalResponder& responder()
{
  static ModalResponder r;
  return r;
}
ModalPresenter& presenter()
{
  static ModalPresenter p;
  return p;
}
int& beeps()
{
  static int n = 0;
  return n;
}
} // namespace

void SetModalResponder(ModalResponder r)
{
  responder() = std::move(r);
}

bool HasModalResponder()
{
  return static_cast<bool>(responder());
}

void SetModalPresenter(ModalPresenter p)
{
  presenter() = std::move(p);
}

ModalAnswer RunModal(const ModalRequest& request)
{
  if (responder())
    return responder()(request);
  if (presenter())
    return presenter()(request);
  // Minimal fallback before the window half installs its presenter.
  if (request.kind == ModalKind::MessageBox && qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QMessageBox box;
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromUtf8(request.message));
    box.exec();
  }
  return {};
}

void MsgBox(const std::string& text)
{
  ModalRequest r;
  r.kind = ModalKind::MessageBox;
  r.message = text;
  RunModal(r);
}

void Beep()
{
  ++beeps();
  if (!HasModalResponder())
    QApplication::beep();
}

int BeepCount()
{
  return beeps();
}
