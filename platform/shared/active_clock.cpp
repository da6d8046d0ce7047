// The process's active clock, shared like the handle table (see handle_table.cpp).

#include <atomic>
#include <ctime>

#include "platform/clock.h"

namespace platform {
namespace {
std::atomic<Clock*> activeClock{nullptr};
}

int64_t Clock::CalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

Clock& ActiveClock() {
  Clock* clock = activeClock.load(std::memory_order_acquire);
  return clock ? *clock : RealClock();
}

void SetActiveClock(Clock* clock) { activeClock.store(clock, std::memory_order_release); }

void SleepUntilNs(Clock& clock, int64_t ns) {
  constexpr int64_t kMsNs = 1'000'000;
  const int64_t leftNs = ns - clock.NowNs();
  if (leftNs > 2 * kMsNs) clock.SleepMs(static_cast<uint32_t>(leftNs / kMsNs - 1));
  clock.WaitUntilNs(ns);
}

ScopedClock::ScopedClock(Clock& clock) : previous_(activeClock.load()) { SetActiveClock(&clock); }

ScopedClock::~ScopedClock() { SetActiveClock(previous_); }

}  // namespace platform
