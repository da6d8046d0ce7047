#include "platform/sim/virtual_clock.h"

namespace platform::sim {

VirtualClock::VirtualClock(int64_t frequency) : frequency_(frequency < 1 ? 1 : frequency) {}

int64_t VirtualClock::Counter() {
  // Split so that hours of virtual time at GHz frequencies stay within 64 bits.
  int64_t counts = nowNs_ / 1'000'000'000 * frequency_ + nowNs_ % 1'000'000'000 * frequency_ / 1'000'000'000;
  nowNs_ += counterReadCostNs_;
  ++counterReads_;
  return counts;
}

void VirtualClock::WaitUntilNs(int64_t ns) {
  if (ns > nowNs_) nowNs_ = ns;
}

void VirtualClock::SleepMs(uint32_t ms) { nowNs_ += int64_t{ms} * 1'000'000; }

void VirtualClock::SleepUs(uint32_t us) { nowNs_ += int64_t{us} * 1'000; }

void VirtualClock::NoteLineRead() {
  nowNs_ += lineReadCostNs_;
  ++lineReads_;
}

bool VirtualClock::RaisePriority() {
  ++priorityRaises_;
  priorityRaised_ = true;
  return !priorityRefused_;
}

void VirtualClock::RestorePriority() {
  ++priorityRestores_;
  priorityRaised_ = false;
}

}  // namespace platform::sim
