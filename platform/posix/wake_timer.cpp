#include "platform/posix/wake_timer.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>

namespace platform {
namespace {

void IgnoreWake(int) {}

// The signal, installed once; 0 when the program has taken it for something else.
int WakeSignal() {
  static const int installed = [] {
    const int candidate = SIGRTMIN + 4;
    struct sigaction current {};
    if (sigaction(candidate, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return 0;
    struct sigaction action {};
    action.sa_handler = IgnoreWake;
    sigemptyset(&action.sa_mask);
    return sigaction(candidate, &action, nullptr) == 0 ? candidate : 0;
  }();
  return installed;
}

bool BlockedHere(int signal) {
  sigset_t blocked;
  return pthread_sigmask(SIG_BLOCK, nullptr, &blocked) != 0 || sigismember(&blocked, signal) == 1;
}

timespec Timespec(int64_t us) {
  return {static_cast<time_t>(us / 1'000'000), static_cast<long>(us % 1'000'000 * 1000)};
}

}  // namespace

WakeTimer::WakeTimer(int64_t timeoutUs) {
  const int signal = WakeSignal();
  if (signal == 0 || BlockedHere(signal)) return;
  sigevent event{};
  event.sigev_notify = SIGEV_THREAD_ID;
  event.sigev_signo = signal;
  event._sigev_un._tid = gettid();
  if (timer_create(CLOCK_MONOTONIC, &event, &timer_) != 0) return;
  // A zero first expiry would disarm the timer: the shortest wait is 1 us.
  const itimerspec when{Timespec(1000), Timespec(std::max<int64_t>(timeoutUs, 1))};
  if (timer_settime(timer_, 0, &when, nullptr) != 0) {
    timer_delete(timer_);
    return;
  }
  armed_ = true;
}

WakeTimer::~WakeTimer() {
  if (armed_) timer_delete(timer_);
}

}  // namespace platform
