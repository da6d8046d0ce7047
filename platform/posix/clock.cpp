#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>

#include "platform/clock.h"

namespace platform {
namespace {

int64_t MonotonicRawNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_RAW, &now);
  return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

class PosixClock final : public Clock {
 public:
  int64_t Counter() override { return MonotonicRawNs(); }
  int64_t Frequency() override { return 1'000'000'000; }
  int64_t NowNs() override { return MonotonicRawNs(); }

  void WaitUntilNs(int64_t ns) override {
    while (MonotonicRawNs() < ns) {
    }
  }

  void SleepMs(uint32_t ms) override {
    timespec rest{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000};
    while (nanosleep(&rest, &rest) != 0) {
    }
  }

  // SCHED_FIFO stands for the time-critical thread of a real-time class process; without the
  // privilege for it the lowest nice value is tried, and failures leave the priority as it is.
  void RaisePriority() override {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) != 0) {
      setpriority(PRIO_PROCESS, 0, -20);
    }
  }

  void RestorePriority() override {
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
    setpriority(PRIO_PROCESS, 0, 0);
  }
};

}  // namespace

Clock& RealClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace platform
