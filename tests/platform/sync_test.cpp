// The platform's events, timers and worker threads on real threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/sync.h"
#include "platform/thread.h"

using namespace kx::platform;
using namespace std::chrono_literals;

TEST(EventTest, ManualStaysSetAutoIsConsumedByOneWaitAndWaitAnyTakesTheFirst) {
  Event manual(Event::Mode::Manual);
  EXPECT_FALSE(manual.Wait(0ms));
  manual.Set();
  EXPECT_TRUE(manual.Wait(0ms) && manual.Wait(0ms));
  manual.Reset();
  EXPECT_FALSE(manual.Wait(0ms));
  Event autoReset(Event::Mode::Auto, true);
  EXPECT_TRUE(autoReset.Wait(0ms));
  EXPECT_FALSE(autoReset.IsSet());

  Event a(Event::Mode::Manual), b(Event::Mode::Manual, true);
  EXPECT_EQ(WaitAny({&a, &b}, 0ms), 1);
  a.Set();
  EXPECT_EQ(WaitAny({&a, &b}, 0ms), 0);
  a.Reset();
  b.Reset();
  EXPECT_EQ(WaitAny({&a, &b}, 5ms), kWaitTimeout);
  // A timer armed from another thread wakes an unlimited wait (the open watchdog's case).
  WaitableTimer timer;
  std::thread armer([&] {
    std::this_thread::sleep_for(10ms);
    timer.Arm(5ms);
  });
  EXPECT_EQ(WaitAny({&a, &timer}, Millis(-1)), 1);
  armer.join();
}

TEST(WaitableTimerTest, OneShotFiresOncePeriodicRepeatsMissedPeriodsCountOnce) {
  WaitableTimer once;
  EXPECT_FALSE(once.Wait(0ms));  // never armed
  once.Arm(1ms);
  EXPECT_TRUE(once.Wait(1000ms));
  EXPECT_FALSE(once.Wait(20ms));

  WaitableTimer periodic;
  periodic.Arm(1ms, 5ms);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(periodic.Wait(1000ms)) << i;
  periodic.Cancel();
  EXPECT_FALSE(periodic.Wait(20ms));

  periodic.Arm(0ms, 10ms);
  std::this_thread::sleep_for(55ms);  // five periods pass unobserved
  EXPECT_TRUE(periodic.Wait(0ms));
  EXPECT_FALSE(periodic.Wait(0ms));
}

// A quit message ends the loop with its exit code; a bounded join times out on a
// busy thread; the destructor of a running thread ends it and joins.
TEST(WorkerThreadTest, QuitEndsTheLoopBoundedJoinTimesOutAndTheDestructorJoins) {
  std::atomic<int> ticks{0};
  Event release(Event::Mode::Manual);
  WorkerThread worker([&](WorkerThread& self) -> uint32_t {
    WaitableTimer timer;
    timer.Arm(1ms, 10ms);
    for (;;) {
      if (WaitAny({&timer, &self.Queue()}, 1ms) == 0) ++ticks;
      while (auto m = self.Queue().Peek()) {
        if (m->id != kMsgQuit) continue;
        release.Wait();  // busy until the test lets it end
        return 7;
      }
    }
  });
  EXPECT_NE(worker.Id(), 0u);
  while (ticks.load() < 3) std::this_thread::sleep_for(5ms);
  worker.PostQuit();
  EXPECT_FALSE(worker.Join(20ms));
  EXPECT_TRUE(worker.Running());
  release.Set();
  EXPECT_TRUE(worker.Join());
  EXPECT_EQ(worker.ExitCode(), 7u);
  EXPECT_EQ(worker.Id(), 0u);
  EXPECT_FALSE(worker.Running());
  std::atomic<bool> ended{false};
  {
    WorkerThread quitting([&](WorkerThread& self) -> uint32_t {
      self.Queue().Wait();
      ended = true;
      return 0;
    });
  }
  EXPECT_TRUE(ended.load());
}
