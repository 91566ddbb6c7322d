#include "Events.h"

#include "Modal.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <exception>
#include <string>

void DeliverEvent(const std::function<void()>& handler)
{
  if (!handler)
    return;
  try {
    handler();
  } catch (const std::exception& e) {
    MsgBox(std::string("An unexpected error occurred: ") + e.what());
  } catch (...) {
    MsgBox("An unexpected error occurred.");
  }
}

void PostEvent(std::function<void()> handler)
{
  QCoreApplication* app = QCoreApplication::instance();
  if (!app)
    return;
  QMetaObject::invokeMethod(
      app, [h = std::move(handler)]() { DeliverEvent(h); }, Qt::QueuedConnection);
}

int RunEventLoop()
{
  return QCoreApplication::exec();
}

void QuitEventLoop(int code)
{
  QCoreApplication::exit(code);
}

void ProcessPendingEvents(int maxMilliseconds)
{
  QCoreApplication::processEvents(QEventLoop::AllEvents, maxMilliseconds);
}

bool RunEventLoopUntil(const std::function<bool()>& done, int maxMilliseconds)
{
  if (done())
    return true;
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  // Emitted as each turn of the loop begins, before it may sleep.
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
    if (done())
      loop.quit();
  });
  deadline.start(maxMilliseconds);
  loop.exec();
  return done();
}

void InitFramework(int& argc, char** argv)
{
  if (QCoreApplication::instance())
    return;
  new QApplication(argc, argv); // lives for the whole process
  // Quitting is the application's decision (its quit path saves the
  // settings); a message box closing with no parent window must not end it.
  QApplication::setQuitOnLastWindowClosed(false);
}
