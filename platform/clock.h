#pragma once

// Time and scheduling: the performance counter, sleeping and the priority of timed work.
// The clock is injectable so that microsecond timing can run against a virtual clock.

#include <cstdint>

namespace platform {

// A time base with the Win32 performance-counter interface.
class Clock {
 public:
  virtual ~Clock() = default;

  // Reads the performance counter (QueryPerformanceCounter), in counts of Frequency().
  virtual int64_t Counter() = 0;
  // Counts per second of Counter() (QueryPerformanceFrequency); always positive.
  virtual int64_t Frequency() = 0;
  // The same time base in nanoseconds, read for stamping and simulation; never charged as work.
  virtual int64_t NowNs() = 0;
  // Returns once NowNs() has reached `ns` (busy wait on a real clock, a jump on a virtual one).
  virtual void WaitUntilNs(int64_t ns) = 0;
  // Sleeps for a number of milliseconds, giving the processor away (Sleep).
  virtual void SleepMs(uint32_t ms) = 0;
  // Sleeps for a number of microseconds, giving the processor away; where the system sleeps
  // in whole milliseconds only, for the next whole millisecond.
  virtual void SleepUs(uint32_t us) { SleepMs((us + 999) / 1000); }
  // Accounts for one read of modem lines; a virtual clock advances by its configured cost.
  virtual void NoteLineRead() {}
  // Raises the calling thread and process to the highest priority available (time critical,
  // real time). Returns false when the real-time priority was refused; the thread then keeps
  // the best it was allowed.
  virtual bool RaisePriority() = 0;
  // Sets the thread and process back to normal priority (the previous ones are not kept).
  virtual void RestorePriority() = 0;
  // Seconds since 1970-01-01 00:00 UTC by the machine's calendar clock, for devices that keep
  // the time of day.
  virtual int64_t CalendarSeconds();
};

// The machine's clock: CLOCK_MONOTONIC_RAW in nanoseconds (frequency 1e9).
Clock& RealClock();
// The clock every timed operation of the process uses: the one set last, or the real clock.
Clock& ActiveClock();
// Makes `clock` the process's clock (null returns to the real clock); the caller keeps it
// alive while it is set.
void SetActiveClock(Clock* clock);

// Returns once `clock` has reached `ns`, sleeping (giving the processor away) for all but the
// last millisecond and waiting out the rest; for waits that need not hold a processor.
void SleepUntilNs(Clock& clock, int64_t ns);

// Sets a clock for the life of a scope and puts the previous one back.
class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

}  // namespace platform
