#pragma once
// Event delivery: every framework event reaches program code through these,
// so an exception escaping a handler is reported instead of ending the program.

#include <functional>

// Runs handler now (a control's event caused by code runs at once).
void DeliverEvent(const std::function<void()>& handler);

// Queues handler to run from the event loop, never inside the caller
// (socket and timer events).
void PostEvent(std::function<void()> handler);

// Runs the event loop until QuitEventLoop; returns its exit code.
int RunEventLoop();
void QuitEventLoop(int code = 0);

// Handles pending events once, then returns (tests and modal waits).
void ProcessPendingEvents(int maxMilliseconds = 10);

// Runs the event loop as RunEventLoop does, sleeping until each event comes,
// until done() holds (true) or maxMilliseconds pass (false). done() is
// looked at each time the loop turns. For benchmarks, which must pay the
// wake-ups the program pays.
bool RunEventLoopUntil(const std::function<bool()>& done, int maxMilliseconds);

// Creates the framework's application object once (GUI or not); program and
// tests call it first.
void InitFramework(int& argc, char** argv);
