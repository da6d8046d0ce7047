#pragma once

// Ends a blocking system call that has no time-out of its own (TIOCMIWAIT) once its time has
// passed.

#include <time.h>

#include <cstdint>

namespace platform {

// While it lives, a timer sends the thread that made it a signal after `timeoutUs`, and every
// millisecond after that, so that one arriving just before the blocking call begins is followed
// by another. The signal's handler does nothing and is installed without SA_RESTART: the call
// returns with EINTR.
class WakeTimer {
 public:
  explicit WakeTimer(int64_t timeoutUs);
  ~WakeTimer();
  WakeTimer(const WakeTimer&) = delete;
  WakeTimer& operator=(const WakeTimer&) = delete;

  // False when the thread cannot be woken this way: the program has a handler of its own for
  // the signal, this thread blocks it, or the system made no timer.
  bool armed() const { return armed_; }

 private:
  timer_t timer_{};
  bool armed_ = false;
};

}  // namespace platform
