#include "Display.h"

#include "Control.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {
class Pacer {
public:
  Pacer()
  {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Flush(); });
    sinceFlush_.start();
  }

  void Schedule(Control* c)
  {
    if (std::find(pending_.begin(), pending_.end(), c) != pending_.end())
      return;
    pending_.push_back(c);
    if (!timer_.isActive()) // a first change after a quiet spell shows at once
      timer_.start(static_cast<int>(std::max<qint64>(0, display::kFrameMs - sinceFlush_.elapsed())));
  }

  void Forget(Control* c) { pending_.erase(std::remove(pending_.begin(), pending_.end(), c), pending_.end()); }

  void Flush()
  {
    timer_.stop();
    sinceFlush_.restart();
    // One at a time off the list, so a control that goes away meanwhile is
    // already off it.
    while (!pending_.empty()) {
      Control* c = pending_.front();
      pending_.erase(pending_.begin());
      c->ApplyDisplay();
    }
  }

private:
  QTimer timer_;
  QElapsedTimer sinceFlush_;
  std::vector<Control*> pending_; // in the order asked
};

// Made on first use (after the application object) and kept to the end.
Pacer& ThePacer()
{
  static Pacer* pacer = new Pacer;
  return *pacer;
}
} // namespace

void display::Schedule(Control* control) { ThePacer().Schedule(control); }
void display::Forget(Control* control) { ThePacer().Forget(control); }
void UpdateDisplayNow() { ThePacer().Flush(); }
