#include <windows.h>

#include "platform/clock.h"

namespace platform {
namespace {

int64_t PerformanceCounter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

int64_t PerformanceFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

class Win32Clock final : public Clock {
 public:
  int64_t Counter() override { return PerformanceCounter(); }
  int64_t Frequency() override { return PerformanceFrequency(); }

  // Split so that counter x 1e9 cannot overflow after long uptimes.
  int64_t NowNs() override {
    const int64_t counter = PerformanceCounter();
    const int64_t frequency = PerformanceFrequency();
    return counter / frequency * 1'000'000'000 + counter % frequency * 1'000'000'000 / frequency;
  }

  void WaitUntilNs(int64_t ns) override {
    while (NowNs() < ns) {
    }
  }

  void SleepMs(uint32_t ms) override { Sleep(ms); }

  // A process that may not enter the real-time class gets the highest class it may have, high
  // priority, where a time-critical thread still runs above every normal program; so the
  // raise counts as refused only when the thread's priority could not be set.
  bool RaisePriority() override {
    const bool thread = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
    return thread;
  }

  void RestorePriority() override {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  }
};

}  // namespace

Clock& RealClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace platform
