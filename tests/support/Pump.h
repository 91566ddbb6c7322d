#pragma once
// Runs the event loop for tests and benchmarks that wait on sockets,
// timers and posted events.

#include "framework/Events.h"

#include <chrono>
#include <functional>

// Until done() holds (true) or the deadline passes (false).
inline bool PumpUntil(const std::function<bool()>& done, int seconds = 30)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    ProcessPendingEvents(5);
  }
  return true;
}

// For a while, so that anything late would have arrived.
inline void PumpFor(int milliseconds)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end)
    ProcessPendingEvents(5);
}
