#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace platform::sim {

// A deterministic clock for tests: time moves only when the clock is read or waited on.
// Each counter read costs `counterReadCostNs`, each modem-line read `lineReadCostNs`, so
// busy-wait loops end and sampling periods can be set to match a real machine.
class VirtualClock final : public Clock {
 public:
  // A clock at time 0 whose counter runs at `frequency` counts per second (Windows: 10 MHz).
  explicit VirtualClock(int64_t frequency = 10'000'000);

  int64_t Counter() override;
  int64_t Frequency() override { return frequency_; }
  int64_t NowNs() override { return nowNs_; }
  void WaitUntilNs(int64_t ns) override;
  void SleepMs(uint32_t ms) override;
  void SleepUs(uint32_t us) override;
  void NoteLineRead() override;
  // Counts the raise; false while the clock is set to refuse it.
  bool RaisePriority() override;
  void RestorePriority() override;
  // The calendar start plus the virtual time, so that a device setting's time of day is the same
  // every run.
  int64_t CalendarSeconds() override { return calendarStartS_ + nowNs_ / 1'000'000'000; }

  // Sets the calendar time at virtual time 0, in seconds since 1970-01-01 00:00 UTC.
  void SetCalendarStartS(int64_t seconds) { calendarStartS_ = seconds; }
  // Moves time forward.
  void AdvanceNs(int64_t ns) { nowNs_ += ns; }
  // Sets the cost of one counter read; at least 1 ns, so that busy waits always end.
  void SetCounterReadCostNs(int64_t ns) { counterReadCostNs_ = ns < 1 ? 1 : ns; }
  // Makes RaisePriority answer as a process without the privilege for real time does.
  void SetPriorityRefused(bool refused) { priorityRefused_ = refused; }
  // Sets the cost of one modem-line read (0 or more).
  void SetLineReadCostNs(int64_t ns) { lineReadCostNs_ = ns < 0 ? 0 : ns; }
  int64_t CounterReadCostNs() const { return counterReadCostNs_; }
  int64_t LineReadCostNs() const { return lineReadCostNs_; }

  // Counts of what the clock has been asked to do, for tests.
  int64_t CounterReads() const { return counterReads_; }
  int64_t LineReads() const { return lineReads_; }
  int64_t PriorityRaises() const { return priorityRaises_; }
  int64_t PriorityRestores() const { return priorityRestores_; }
  // True between a RaisePriority and the next RestorePriority.
  bool PriorityRaised() const { return priorityRaised_; }

 private:
  int64_t frequency_;
  int64_t nowNs_ = 0;
  int64_t calendarStartS_ = 978'307'200;  // 2001-01-01 00:00 UTC
  int64_t counterReadCostNs_ = 20;
  int64_t lineReadCostNs_ = 0;
  int64_t counterReads_ = 0;
  int64_t lineReads_ = 0;
  int64_t priorityRaises_ = 0;
  int64_t priorityRestores_ = 0;
  bool priorityRaised_ = false;
  bool priorityRefused_ = false;
};

}  // namespace platform::sim
