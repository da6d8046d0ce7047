// Pulse timing: the busy-wait delay, recording and watching the receiver line, and playing
// slot bitmaps on TxD or DTR. Everything times itself on the process's active clock. A kernel
// infrared device times the light itself and is served by kernel_device.cpp instead.

#include <algorithm>
#include <cmath>

#include "pulsio/module.h"

namespace pulsio {
namespace {

using platform::Clock;
using platform::OutputLine;
using platform::SerialPort;

constexpr int64_t kStartWaitUs = 5'000'000;
constexpr int32_t kCarrierTailUs = 78;
constexpr uint8_t kCarrierCharacter = 0x1B;

// Raises priorities for the life of a timed call.
class RaisedPriority {
 public:
  explicit RaisedPriority(Clock& clock) : clock_(clock) { clock_.RaisePriority(); }
  ~RaisedPriority() { clock_.RestorePriority(); }
  RaisedPriority(const RaisedPriority&) = delete;
  RaisedPriority& operator=(const RaisedPriority&) = delete;

 private:
  Clock& clock_;
};

// True when the receiver shows light; an unreadable status counts as 0.
bool LightSeen(SerialPort* port, bool lightWhenDcdOn) {
  uint32_t status = 0;
  if (port && !port->GetModemStatus(status)) status = 0;
  return ((status & platform::kStatusDcd) != 0) == lightWhenDcdOn;
}

// Fills `bytes` with samples into the data buffer, most significant bit first.
void Sample(SerialPort* port, Clock& clock, size_t bytes, int32_t pauseUs, bool lightWhenDcdOn) {
  auto& data = State().data;
  for (size_t i = 0; i < bytes; ++i) {
    uint8_t byte = 0;
    for (uint8_t mask = 0x80; mask != 0; mask >>= 1) {
      if (LightSeen(port, lightWhenDcdOn)) byte |= mask;
      if (pauseUs != 0) Delay(clock, pauseUs);
    }
    data[i] = byte;
  }
}

}  // namespace

void Delay(Clock& clock, int32_t us) {
  // A negative delay would otherwise turn into a wait of days through the unsigned division.
  if (us < 0) return;
  int64_t start = clock.Counter();
  int64_t frequency = clock.Frequency();
  auto ticks = static_cast<int64_t>(static_cast<uint64_t>(int64_t{us} * frequency) / 1'000'000);
  int64_t target = start + ticks + 1;
  if (target <= start) return;
  while (clock.Counter() < target) {
  }
}

uint16_t CarrierCharacters(int32_t slotUs) {
  double units = std::trunc(slotUs * 0.0128 + 0.5);
  return static_cast<uint16_t>(static_cast<int64_t>(units));
}

bool Record(std::span<uint8_t> destination, int32_t pauseUs, bool lightWhenDcdOn) {
  auto port = CurrentPort();
  if (auto* device = port ? port->Infrared() : nullptr) return RecordFromDevice(*device, destination);
  Clock& clock = platform::ActiveClock();
  int64_t start = clock.Counter();
  int64_t frequency = clock.Frequency();
  int64_t deadline = start + frequency * kStartWaitUs / 1'000'000 + 1;
  // The read that shows light ends the wait and is not a sample itself. Waiting for a person
  // to press a key is no timing: the priority is raised for the samples only, so that five
  // seconds of waiting do not hold a processor at real-time priority.
  while (!LightSeen(port.get(), lightWhenDcdOn)) {
    if (clock.Counter() > deadline) return false;
  }
  RaisedPriority raised(clock);
  Sample(port.get(), clock, destination.size(), pauseUs, lightWhenDcdOn);
  std::copy_n(State().data.begin(), destination.size(), destination.begin());
  return true;
}

bool Monitor(std::span<uint8_t, kMonitorBytes> destination, int32_t pauseUs, bool lightWhenDcdOn) {
  auto port = CurrentPort();
  if (auto* device = port ? port->Infrared() : nullptr) return MonitorFromDevice(*device, destination);
  Clock& clock = platform::ActiveClock();
  RaisedPriority raised(clock);
  Sample(port.get(), clock, kMonitorBytes, pauseUs, lightWhenDcdOn);
  std::copy_n(State().data.begin(), kMonitorBytes, destination.begin());
  return true;
}

bool Send(std::span<const uint8_t> bitmap, int32_t slotUs, bool carrierOnTxd) {
  auto port = CurrentPort();
  if (auto* device = port ? port->Infrared() : nullptr) {
    std::copy(bitmap.begin(), bitmap.end(), State().data.begin());
    return SendToDevice(*device, bitmap, slotUs);
  }
  Clock& clock = platform::ActiveClock();
  RaisedPriority raised(clock);
  auto& data = State().data;
  std::copy(bitmap.begin(), bitmap.end(), data.begin());
  if (carrierOnTxd) {
    uint16_t characters = CarrierCharacters(slotUs);
    for (size_t i = 0; i < bitmap.size(); ++i) {
      for (uint8_t mask = 0x80; mask != 0; mask >>= 1) {
        if (data[i] & mask) {
          for (uint16_t k = 1; k < characters && port; ++k) port->TransmitChar(kCarrierCharacter);
          Delay(clock, kCarrierTailUs);
        } else {
          Delay(clock, slotUs);
        }
      }
    }
    if (port) port->SetLine(OutputLine::Break, false);
  } else {
    for (size_t i = 0; i < bitmap.size(); ++i) {
      for (uint8_t mask = 0x80; mask != 0; mask >>= 1) {
        if (port) port->SetLine(OutputLine::Dtr, (data[i] & mask) != 0);
        Delay(clock, slotUs);
      }
    }
    if (port) port->SetLine(OutputLine::Dtr, false);
  }
  return true;
}

}  // namespace pulsio
