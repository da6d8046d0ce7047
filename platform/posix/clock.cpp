#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>

#include "platform/clock.h"

namespace platform {
namespace {

int64_t MonotonicRawNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_RAW, &now);
  return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

void SleepNs(int64_t ns) {
  timespec rest{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
  while (nanosleep(&rest, &rest) != 0) {
  }
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

  void SleepMs(uint32_t ms) override { SleepNs(int64_t{ms} * 1'000'000); }
  void SleepUs(uint32_t us) override { SleepNs(int64_t{us} * 1'000); }

  // SCHED_FIFO stands for the time-critical thread of a real-time class process. Without
  // CAP_SYS_NICE an rtprio limit (LimitRTPRIO= of a unit, limits.conf) allows real time up to
  // its value; without either the lowest nice value is tried, and failures leave the priority
  // as it is.
  bool RaisePriority() override {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return true;
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur > 0) {
      param.sched_priority =
          static_cast<int>(std::min<rlim_t>(limit.rlim_cur, static_cast<rlim_t>(param.sched_priority)));
      if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return true;
    }
    setpriority(PRIO_PROCESS, 0, -20);
    return false;
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
