// The real dialogs behind the modal point, answered by synthetic input.
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/MessageDialog.h"
#include "framework/Modal.h"
#include "framework/Window.h"
#include "ModalRecorder.h"
#include "RealDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace {

ModalRequest question()
{
  ModalRequest r;
  r.kind = ModalKind::MessageDialog;
  r.message = "<b>Sure?</b>";
  r.explanation = "explanation";
  r.buttons = {"Go", "Stop", ""};
  return r;
}
} // namespace

TEST(RealDialogs, EscapeAnswersMinusOne)
{
  RealDialogs real;
  WhenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  EXPECT_EQ(RunModal(question()).button, -1);
}

TEST(RealDialogs, ButtonsAnswerTheirIndexAndTextStaysPlain)
{
  RealDialogs real;
  QString shown;
  WhenModal([&](QWidget* w) {
    auto* box = static_cast<QMessageBox*>(w);
    shown = box->text();
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    for (QAbstractButton* b : box->buttons())
      if (b->text() == "Stop")
        b->click();
  });
  EXPECT_EQ(RunModal(question()).button, 1);
  EXPECT_EQ(shown, "<b>Sure?</b>");
}

TEST(RealDialogs, ModalWindowRunsUntilHidden)
{
  RealDialogs real;
  struct Dlg : Window {
    PushButton ok{*this, "ok"};
    Dlg()
    {
      ok.SetDefault(true);
      ok.Action = [this] { Hide(); };
    }
  } d;
  WhenModal([&](QWidget*) { d.ok.Push(); });
  d.ShowModal();
  EXPECT_FALSE(d.Visible());
}

// An alert given a window is modal to that window, not to whichever window
// happens to be active.
TEST(RealDialogs, AlertIsModalToItsOwnWindow)
{
  RealDialogs real;
  Window owner;
  Window other;
  owner.Show();
  other.Show();
  other.TopLevel()->activateWindow();
  QWidget* parent = nullptr;
  Qt::WindowModality modality = Qt::NonModal;
  WhenModal([&](QWidget* w) {
    parent = w->parentWidget();
    modality = w->windowModality();
    QTest::keyClick(w, Qt::Key_Escape);
  });
  MessageDialog alert;
  alert.ShowModalWithin(&owner);
  EXPECT_EQ(parent, owner.TopLevel());
  EXPECT_EQ(modality, Qt::WindowModal);
}
