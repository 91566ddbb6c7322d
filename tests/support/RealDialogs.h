#pragma once
// The real dialogs behind the modal point for one test (the recorder again
// afterwards), and a way to act on the modal window once it shows.

#include "framework/Modal.h"
#include "ModalRecorder.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

struct RealDialogs {
  RealDialogs()
  {
    SetModalResponder(nullptr);
    InstallRealDialogs();
  }
  ~RealDialogs() { ModalRecorder::Install(); }
  RealDialogs(const RealDialogs&) = delete;
  RealDialogs& operator=(const RealDialogs&) = delete;
};

// Acts on the modal window as soon as one shows.
inline void WhenModal(std::function<void(QWidget*)> act)
{
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (QWidget* top = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      act(top);
    }
  });
  timer->start(10);
}
