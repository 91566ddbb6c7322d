#include "Thread.h"

#include <QObject>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <ucontext.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace {
// Handlers raised on the thread may open modal loops and dialogs, which need
// a deep stack; pages are only taken when touched.
constexpr std::size_t kStackSize = 8u << 20;
constexpr std::size_t kGuardSize = 64u << 10;

Thread*& CurrentThread()
{
  static Thread* current = nullptr;
  return current;
}

bool& CancelFlag()
{
  static bool cancelled = false;
  return cancelled;
}

// The address sanitizer must be told of every stack switch, or it takes an
// exception unwound on the thread's stack for a stack overflow of the caller.
struct StackSwitch {
#if defined(__SANITIZE_ADDRESS__)
  void* fake = nullptr;
  void Start(const void* bottom, std::size_t size) { __sanitizer_start_switch_fiber(&fake, bottom, size); }
  void Leave(const void* bottom, std::size_t size) { __sanitizer_start_switch_fiber(nullptr, bottom, size); }
  void Finish(const void** fromBottom, std::size_t* fromSize) { __sanitizer_finish_switch_fiber(fake, fromBottom, fromSize); }
#else
  void Start(const void*, std::size_t) {}
  void Leave(const void*, std::size_t) {}
  void Finish(const void**, std::size_t*) {}
#endif
};
} // namespace

class ThreadEngine {
public:
  explicit ThreadEngine(Thread& owner) : owner_(owner)
  {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this]() { Resume(); });
  }

  ~ThreadEngine()
  {
    if (stack_)
      ::munmap(stack_, kStackSize + kGuardSize);
  }

  Thread& owner_;
  QTimer timer_;
  Thread::ThreadState state_ = Thread::ThreadState::NotStarted;
  bool onStack_ = false;  // the body is executing (not suspended)
  bool sleeping_ = false;
  void* stack_ = nullptr;
  ucontext_t threadContext_{};
  ucontext_t callerContext_{};
  StackSwitch toThread_;          // switches from the caller's stack
  StackSwitch toCaller_;          // switches from the thread's stack
  const void* callerBottom_ = nullptr;
  std::size_t callerSize_ = 0;

  static void Entry(unsigned hi, unsigned lo)
  {
    auto* self = reinterpret_cast<ThreadEngine*>((static_cast<std::uintptr_t>(hi) << 32) | lo);
    self->toCaller_ = StackSwitch{};
    self->toCaller_.Finish(&self->callerBottom_, &self->callerSize_);
    try {
      self->owner_.Event_Run();
    } catch (...) {
      // The body reports its own failures; nothing may unwind past here.
      std::fputs("Thread body ended by an exception\n", stderr);
    }
    self->state_ = Thread::ThreadState::Ended;
    self->onStack_ = false;
    CurrentThread() = nullptr;
    self->toCaller_.Leave(self->callerBottom_, self->callerSize_);
    ::setcontext(&self->callerContext_);
  }

  void Start()
  {
    if (!stack_) {
      void* mem = ::mmap(nullptr, kStackSize + kGuardSize, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
      if (mem == MAP_FAILED)
        std::abort();
      ::mprotect(mem, kGuardSize, PROT_NONE); // stacks grow down onto the guard
      stack_ = mem;
    }
    ::getcontext(&threadContext_);
    threadContext_.uc_stack.ss_sp = static_cast<char*>(stack_) + kGuardSize;
    threadContext_.uc_stack.ss_size = kStackSize;
    threadContext_.uc_link = nullptr;
    const auto p = reinterpret_cast<std::uintptr_t>(this);
    ::makecontext(&threadContext_, reinterpret_cast<void (*)()>(&ThreadEngine::Entry), 2,
                  static_cast<unsigned>(p >> 32), static_cast<unsigned>(p & 0xffffffffu));
    state_ = Thread::ThreadState::Running;
    timer_.start(0);
  }

  void Resume()
  {
    if (state_ != Thread::ThreadState::Running || onStack_)
      return;
    sleeping_ = false;
    Thread* previous = CurrentThread();
    CurrentThread() = &owner_;
    onStack_ = true;
    toThread_.Start(static_cast<char*>(stack_) + kGuardSize, kStackSize);
    ::swapcontext(&callerContext_, &threadContext_);
    toThread_.Finish(nullptr, nullptr);
    CurrentThread() = previous;
  }

  void SwitchOut(int milliseconds)
  {
    timer_.start(milliseconds);
    onStack_ = false;
    toCaller_.Start(callerBottom_, callerSize_);
    ::swapcontext(&threadContext_, &callerContext_);
    // Resumed, perhaps from another caller's stack.
    toCaller_.Finish(&callerBottom_, &callerSize_);
  }
};

Thread::Thread() : engine_(std::make_unique<ThreadEngine>(*this)) {}

Thread::~Thread() = default;

void Thread::Run()
{
  if (engine_->state_ == ThreadState::Running)
    return;
  engine_->Start();
}

Thread::ThreadState Thread::State() const
{
  return engine_->state_;
}

void Thread::YieldToNextThread()
{
  if (CurrentThread() != this || !engine_->onStack_)
    return; // only the body itself can give way
  engine_->SwitchOut(0);
}

void Thread::Sleep(int milliseconds)
{
  if (CurrentThread() != this || !engine_->onStack_)
    return;
  engine_->sleeping_ = true;
  engine_->SwitchOut(milliseconds < 0 ? 0 : milliseconds);
}

void Thread::Wake()
{
  if (engine_->sleeping_ && !engine_->onStack_) {
    engine_->sleeping_ = false;
    engine_->timer_.start(0);
  }
}

Thread* Thread::Current()
{
  return CurrentThread();
}

bool UserCancelled()
{
  return CancelFlag();
}

void SetUserCancelled(bool cancelled)
{
  CancelFlag() = cancelled;
}
