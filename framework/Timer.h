#pragma once
// A timer owned by its window. Its Action is raised from the event loop,
// never inside the call that armed it.

#include <functional>
#include <memory>

class QTimer;

class Timer {
public:
  enum Modes { ModeOff = 0, ModeSingle = 1, ModeMultiple = 2 };
  Timer();
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  int Period() const { return period_; }
  void SetPeriod(int milliseconds);
  int Mode() const { return mode_; }
  // ModeSingle fires once, Period after it was set, and turns itself off;
  // ModeMultiple fires every Period; setting a mode restarts the period.
  void SetMode(int mode);
  // Restarts the period of a running timer.
  void Reset();

  std::function<void()> Action;

private:
  void Apply();
  std::unique_ptr<QTimer> timer_;
  int period_ = 1000;
  int mode_ = ModeOff;
};
