#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <chrono>

#include "platform/clock.h"
#include "platform/sim/virtual_clock.h"

namespace {

using platform::sim::VirtualClock;

TEST(VirtualClock, CounterReadsReturnTheTimeBeforeTheirCost) {
  VirtualClock clock(10'000'000);
  clock.SetCounterReadCostNs(250);
  EXPECT_EQ(clock.Counter(), 0);
  EXPECT_EQ(clock.NowNs(), 250);
  EXPECT_EQ(clock.Counter(), 2);  // 250 ns at 100 ns a count
  EXPECT_EQ(clock.Counter(), 5);
  EXPECT_EQ(clock.CounterReads(), 3);
  EXPECT_EQ(clock.Frequency(), 10'000'000);
}

TEST(VirtualClock, LineReadsSleepsAndWaitsMoveTimeAsConfigured) {
  VirtualClock clock;
  clock.SetLineReadCostNs(55'000);
  clock.NoteLineRead();
  clock.NoteLineRead();
  EXPECT_EQ(clock.NowNs(), 110'000);
  EXPECT_EQ(clock.LineReads(), 2);
  clock.SleepMs(3);
  EXPECT_EQ(clock.NowNs(), 3'110'000);
  clock.WaitUntilNs(1'000);  // never backwards
  EXPECT_EQ(clock.NowNs(), 3'110'000);
  clock.WaitUntilNs(4'000'000);
  EXPECT_EQ(clock.NowNs(), 4'000'000);
}

TEST(VirtualClock, ZeroCounterCostIsRaisedSoThatBusyWaitsEnd) {
  VirtualClock clock;
  clock.SetCounterReadCostNs(0);
  EXPECT_EQ(clock.CounterReadCostNs(), 1);
  clock.Counter();
  EXPECT_EQ(clock.NowNs(), 1);
}

TEST(VirtualClock, HoursAtGigahertzStayWithin64Bits) {
  VirtualClock clock(1'000'000'000);
  clock.AdvanceNs(int64_t{36'000} * 1'000'000'000);  // ten hours
  EXPECT_EQ(clock.Counter(), int64_t{36'000} * 1'000'000'000);
}

TEST(VirtualClock, CountsPriorityChanges) {
  VirtualClock clock;
  clock.RaisePriority();
  EXPECT_TRUE(clock.PriorityRaised());
  clock.RestorePriority();
  EXPECT_FALSE(clock.PriorityRaised());
  EXPECT_EQ(clock.PriorityRaises(), 1);
  EXPECT_EQ(clock.PriorityRestores(), 1);
}

TEST(ActiveClock, IsTheRealClockUnlessOneIsSet) {
  EXPECT_EQ(&platform::ActiveClock(), &platform::RealClock());
  VirtualClock outer;
  VirtualClock inner;
  {
    platform::ScopedClock a(outer);
    EXPECT_EQ(&platform::ActiveClock(), &outer);
    {
      platform::ScopedClock b(inner);
      EXPECT_EQ(&platform::ActiveClock(), &inner);
    }
    EXPECT_EQ(&platform::ActiveClock(), &outer);
  }
  EXPECT_EQ(&platform::ActiveClock(), &platform::RealClock());
}

TEST(RealClock, CountsNanosecondsForwardAndSleeps) {
  platform::Clock& clock = platform::RealClock();
  EXPECT_EQ(clock.Frequency(), 1'000'000'000);
  int64_t first = clock.Counter();
  auto start = std::chrono::steady_clock::now();
  clock.SleepMs(20);
  auto sleptMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(sleptMs.count(), 20);
  EXPECT_GE(clock.Counter() - first, 20'000'000);
  int64_t target = clock.NowNs() + 50'000;
  clock.WaitUntilNs(target);
  EXPECT_GE(clock.NowNs(), target);
}

TEST(RealClock, RestoringPriorityLeavesTheNormalPolicy) {
  platform::Clock& clock = platform::RealClock();
  clock.RaisePriority();
  clock.RestorePriority();
  int policy = -1;
  sched_param param{};
  ASSERT_EQ(pthread_getschedparam(pthread_self(), &policy, &param), 0);
  EXPECT_EQ(policy, SCHED_OTHER);
}

}  // namespace
