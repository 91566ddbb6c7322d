#include "Modal.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include <cstdio>
#include <vector>

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
bool& nobodyToAnswer()
{
  static bool nobody = false;
  return nobody;
}

// A plain alert until the window half installs its own presenter.
ModalAnswer showMessageDialog(const ModalRequest& request)
{
  QMessageBox box;
  box.setTextFormat(Qt::PlainText);
  box.setWindowTitle(QString::fromUtf8(request.title));
  box.setText(QString::fromUtf8(request.message));
  box.setInformativeText(QString::fromUtf8(request.explanation));
  box.setIcon(request.icon == 1 ? QMessageBox::Warning : request.icon == 2 ? QMessageBox::Critical
                                                                           : QMessageBox::Information);
  const QMessageBox::ButtonRole roles[3] = {QMessageBox::AcceptRole, QMessageBox::RejectRole,
                                            QMessageBox::DestructiveRole};
  std::vector<QAbstractButton*> made;
  for (std::size_t i = 0; i < request.buttons.size() && i < 3; ++i) {
    QAbstractButton* b = nullptr;
    if (!request.buttons[i].empty())
      b = box.addButton(QString::fromUtf8(request.buttons[i]), roles[i]);
    made.push_back(b);
  }
  if (!made.empty() && made[0])
    box.setDefaultButton(qobject_cast<QPushButton*>(made[0]));
  if (made.size() > 1 && made[1])
    box.setEscapeButton(made[1]);
  box.exec();
  ModalAnswer answer;
  for (std::size_t i = 0; i < made.size(); ++i)
    if (made[i] && box.clickedButton() == made[i])
      answer.button = static_cast<int>(i);
  return answer;
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

void SetNobodyToAnswer(bool nobody)
{
  nobodyToAnswer() = nobody;
}

bool NobodyToAnswer()
{
  return nobodyToAnswer();
}

ModalAnswer RunModal(const ModalRequest& request)
{
  if (nobodyToAnswer()) {
    // Not lost all the same: a session's log keeps the standard error.
    if (request.kind == ModalKind::MessageBox || request.kind == ModalKind::MessageDialog)
      std::fprintf(stderr, "%s%s%s\n", request.message.c_str(), request.explanation.empty() ? "" : "\n",
                   request.explanation.c_str());
    return {};
  }
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
  if (request.kind == ModalKind::MessageDialog && qobject_cast<QApplication*>(QCoreApplication::instance()))
    return showMessageDialog(request);
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
