#include "Timer.h"

#include "Events.h"

#include <QTimer>

Timer::Timer() : timer_(std::make_unique<QTimer>())
{
  QObject::connect(timer_.get(), &QTimer::timeout, [this] {
    if (mode_ == ModeSingle) {
      mode_ = ModeOff;
      timer_->stop();
    }
    DeliverEvent(Action); // from the event loop, never inside the caller
  });
}

Timer::~Timer() = default;

void Timer::SetPeriod(int milliseconds)
{
  period_ = milliseconds;
  if (mode_ != ModeOff)
    Apply();
}

void Timer::SetMode(int mode)
{
  mode_ = mode;
  Apply();
}

void Timer::Reset()
{
  if (mode_ != ModeOff)
    Apply();
}

void Timer::Apply()
{
  timer_->stop();
  if (mode_ == ModeOff)
    return;
  timer_->setSingleShot(mode_ == ModeSingle);
  timer_->start(period_);
}
