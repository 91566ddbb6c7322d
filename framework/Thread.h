#pragma once
// A cooperative thread: its body runs on the main OS thread, on a stack of
// its own, and gives way only where it yields. The event loop resumes it, so
// socket, timer and window events are handled while it waits.

#include <memory>

class ThreadEngine;

class Thread {
public:
  enum class ThreadState { NotStarted, Running, Ended };

  Thread();
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts the body (Event_Run) from the event loop, never inside this call.
  // Starting a thread that is still running does nothing.
  void Run();
  ThreadState State() const;

  // Called from the body: give way to the event loop and come back on its
  // next pass (Yield), or after ms milliseconds unless woken sooner (Sleep).
  void YieldToNextThread();
  void Sleep(int milliseconds);
  // Brings a sleeping thread back at the loop's next pass.
  void Wake();

  // The thread whose body is running now, or nullptr on the main stack.
  static Thread* Current();

protected:
  virtual void Event_Run() {}

private:
  friend class ThreadEngine;
  std::unique_ptr<ThreadEngine> engine_;
};

// The user's request to cancel the running operation. Nothing in the
// window sets it; tests and future commands may.
bool UserCancelled();
void SetUserCancelled(bool cancelled);
