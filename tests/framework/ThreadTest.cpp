// The cooperative thread runs only from the loop and gives way only where
// its body yields.
#include "framework/Events.h"
#include "framework/Thread.h"
#include "Pump.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

class ScriptThread : public Thread {
public:
  std::function<void(ScriptThread&)> body;

protected:
  void Event_Run() override { body(*this); }
};

TEST(Thread, RunsFromTheLoopAndInterleavesOnlyAtYields)
{
  std::vector<std::string> order;
  ScriptThread t;
  t.body = [&](ScriptThread& self) {
    order.push_back("a1");
    PostEvent([&] { order.push_back("event"); });
    order.push_back("a2");
    self.YieldToNextThread();
    order.push_back("a3");
    EXPECT_EQ(Thread::Current(), &self);
  };
  t.Run();
  order.push_back("caller");
  ASSERT_TRUE(PumpUntil([&] { return t.State() == Thread::ThreadState::Ended; }));
  ProcessPendingEvents(10);
  ASSERT_EQ(order.size(), 5u);
  EXPECT_EQ(order[0], "caller");
  EXPECT_EQ(order[1], "a1");
  EXPECT_EQ(order[2], "a2");
  // The posted event runs while the body waits at its yield.
  EXPECT_EQ(order[3], "event");
  EXPECT_EQ(order[4], "a3");
  EXPECT_EQ(Thread::Current(), nullptr);
}

TEST(Thread, RunsAgainAfterItEndedAndHasADeepStack)
{
  int runs = 0;
  ScriptThread t;
  t.body = [&](ScriptThread&) {
    // Handlers may run modal loops on this stack: it must be deep.
    volatile char big[2 << 20];
    std::memset(const_cast<char*>(big), runs, sizeof big);
    ProcessPendingEvents(5); // a nested pass of the loop on this stack
    ++runs;
  };
  t.Run();
  t.Run(); // still running: ignored
  ASSERT_TRUE(PumpUntil([&] { return t.State() == Thread::ThreadState::Ended; }));
  EXPECT_EQ(runs, 1);
  t.Run();
  ASSERT_TRUE(PumpUntil([&] { return runs == 2; }));
}

TEST(Thread, WakeEndsASleepEarly)
{
  bool woke = false;
  ScriptThread t;
  t.body = [&](ScriptThread& self) {
    self.Sleep(60000);
    woke = true;
  };
  t.Run();
  ASSERT_TRUE(PumpUntil([&] { return Thread::Current() == nullptr && t.State() == Thread::ThreadState::Running; }));
  ProcessPendingEvents(20);
  EXPECT_FALSE(woke);
  t.Wake();
  ASSERT_TRUE(PumpUntil([&] { return woke; }));
}

} // namespace
