// Recording, watching and sending on a kernel infrared device. The driver has timed the light
// already; a recording or a watch renders its durations into the slot bitmap the decoders take,
// at the sample period a calibrated serial port has, and a send hands the bitmap's runs over as
// durations.

#include <algorithm>

#include "pulsio/module.h"

namespace pulsio {
namespace {

using platform::Clock;
using platform::InfraredDevice;
using platform::InfraredEvent;
using platform::Status;
using platform::StatusCode;

using Kind = InfraredEvent::Kind;

constexpr int64_t kStartWaitMs = 5000;
constexpr int64_t kMsNs = 1'000'000;
// A driver hands durations over a little after the edge that ends them.
constexpr int kDeliveryMarginMs = 5;

void NoteFault(InfraredDevice& device, const Status& status) {
  const std::string& path = device.Path();
  if (status.code() == StatusCode::NotFound) {
    device.SetLastFault(Status(StatusCode::NotFound,
                               path + " has gone (unplugged, or its driver unloaded)"));
  } else {
    device.SetLastFault(Status(status.code(), path + " failed: " + status.osText()));
  }
}

// False, with the fault noted, when the device cannot be used in this direction.
bool Usable(InfraredDevice& device, bool receiving) {
  const platform::InfraredFeatures features = device.Features();
  if (receiving && !features.receives) {
    device.SetLastFault(Status(StatusCode::NotSupported,
                               device.Path() + " cannot receive remote controls as pulse and "
                                               "space durations"));
    return false;
  }
  if (!receiving && !features.sends) {
    device.SetLastFault(Status(StatusCode::NotSupported,
                               device.Path() + " has no transmitter that sends pulse and space "
                                               "durations"));
    return false;
  }
  return true;
}

// Takes what the device received; false, with the fault noted, when it failed.
bool Take(InfraredDevice& device, std::vector<InfraredEvent>& events, int waitMs) {
  const Status status = device.Receive(events, waitMs);
  if (!status) NoteFault(device, status);
  return status.ok();
}

int MsCeil(uint64_t us) { return static_cast<int>(std::min<uint64_t>((us + 999) / 1000, INT32_MAX)); }

// Renders `events` from index `from` on, then what the device goes on receiving, until the
// window is full; what came after the window's end goes to `rest`. When nothing more comes
// before the end, the light stays as the last entry left it. False, with the fault noted, when
// the device failed or lost durations.
bool FillWindow(InfraredDevice& device, SlotRenderer& renderer, std::vector<InfraredEvent> events,
                size_t from, std::vector<InfraredEvent>* rest) {
  bool lightGoesOn = false;  // what the line does after the last entry
  while (true) {
    for (size_t i = from; i < events.size(); ++i) {
      const InfraredEvent& event = events[i];
      if (event.kind == Kind::Overflow) {
        device.SetLastFault(Status(StatusCode::SystemFailure,
                                   device.Path() + " lost part of the signal (its driver's "
                                                   "buffer overflowed); press the key again"));
        return false;
      }
      lightGoesOn = event.kind == Kind::Space;
      if (!renderer.Add(event.kind == Kind::Pulse, event.us)) {
        // The entry the window's end cut through is not carried over.
        if (rest) rest->assign(events.begin() + static_cast<std::ptrdiff_t>(i) + 1, events.end());
        return true;
      }
    }
    if (renderer.Full()) return true;
    events.clear();
    from = 0;
    if (!Take(device, events, MsCeil(renderer.RemainingUs()) + kDeliveryMarginMs)) return false;
    if (events.empty()) {
      renderer.Add(lightGoesOn, renderer.RemainingUs());
      return true;
    }
  }
}

// The darkness at the end of `events`, after their last light: the lead of light to come.
std::vector<InfraredEvent> TrailingDark(const std::vector<InfraredEvent>& events) {
  auto from = events.end();
  while (from != events.begin() && std::prev(from)->kind != Kind::Pulse &&
         std::prev(from)->kind != Kind::Overflow)
    --from;
  return {from, events.end()};
}

// Lets `us` of device time pass unwatched from the front of `events` (an entry it ends in is
// shortened); returns what is left of `us` when the events run out first.
uint64_t PassUnwatched(std::vector<InfraredEvent>& events, uint64_t us) {
  size_t taken = 0;
  for (; taken < events.size() && us > 0; ++taken) {
    if (events[taken].us > us) {
      events[taken].us -= static_cast<uint32_t>(us);
      us = 0;
      break;
    }
    us -= events[taken].us;
  }
  events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(taken));
  return us;
}

size_t FirstPulse(const std::vector<InfraredEvent>& events) {
  return static_cast<size_t>(std::find_if(events.begin(), events.end(),
                                          [](const InfraredEvent& e) { return e.kind == Kind::Pulse; }) -
                             events.begin());
}

}  // namespace

SlotRenderer::SlotRenderer(std::span<uint8_t> bitmap, uint32_t sampleUs)
    : bitmap_(bitmap), sampleUs_(std::max<uint32_t>(sampleUs, 1)), samples_(bitmap.size() * 8) {
  std::fill(bitmap_.begin(), bitmap_.end(), uint8_t{0});
}

bool SlotRenderer::Add(bool light, uint64_t us) {
  // In half microseconds the middle of sample k lies at (2k + 1) x sampleUs.
  const auto firstSampleFrom = [this](uint64_t halfUs) {
    return halfUs <= sampleUs_ ? 0 : (halfUs - sampleUs_ + 2 * sampleUs_ - 1) / (2 * sampleUs_);
  };
  elapsedHalfUs_ += 2 * us;
  const uint64_t end = std::min(samples_, firstSampleFrom(elapsedHalfUs_));
  for (; next_ < end; ++next_) {
    if (light) bitmap_[next_ / 8] |= static_cast<uint8_t>(0x80 >> (next_ % 8));
  }
  return !Full();
}

uint64_t SlotRenderer::RemainingUs() const {
  const uint64_t windowHalfUs = 2 * samples_ * sampleUs_;
  return elapsedHalfUs_ >= windowHalfUs ? 0 : (windowHalfUs - elapsedHalfUs_ + 1) / 2;
}

uint64_t SlotRenderer::BeyondUs() const {
  const uint64_t windowHalfUs = 2 * samples_ * sampleUs_;
  return elapsedHalfUs_ <= windowHalfUs ? 0 : (elapsedHalfUs_ - windowHalfUs) / 2;
}

SlotTrain TrainOfSlots(std::span<const uint8_t> bitmap, uint32_t slotUs) {
  SlotTrain train;
  bool light = false;
  uint64_t runSlots = 0;
  const auto endRun = [&] {
    const uint64_t us = runSlots * slotUs;
    if (light) {
      train.durationsUs.push_back(static_cast<uint32_t>(std::min<uint64_t>(us, UINT32_MAX)));
    } else if (train.durationsUs.empty()) {
      train.leadingDarkUs = us;
    } else {
      train.durationsUs.push_back(static_cast<uint32_t>(std::min<uint64_t>(us, UINT32_MAX)));
    }
  };
  for (const uint8_t byte : bitmap) {
    for (uint8_t mask = 0x80; mask != 0; mask >>= 1) {
      const bool slot = (byte & mask) != 0;
      if (slot != light && runSlots > 0) {
        endRun();
        runSlots = 0;
      }
      light = slot;
      ++runSlots;
    }
  }
  if (runSlots > 0) {
    if (light) {
      endRun();
    } else if (train.durationsUs.empty()) {
      train.leadingDarkUs = runSlots * slotUs;
    } else {
      train.trailingDarkUs = runSlots * slotUs;
    }
  }
  return train;
}

bool RecordFromDevice(InfraredDevice& device, std::span<uint8_t> destination) {
  Module& state = State();
  device.SetLastFault({});
  if (!Usable(device, true)) return false;
  // A recording takes the light from now on; the next watch starts afresh.
  state.kernelWatch = KernelWatch{};
  std::vector<InfraredEvent> events;
  if (!Take(device, events, 0)) return false;
  events.clear();

  Clock& clock = platform::ActiveClock();
  const int64_t deadlineNs = clock.NowNs() + kStartWaitMs * kMsNs;
  size_t first = 0;
  while ((first = FirstPulse(events)) == events.size()) {
    events.clear();
    const int64_t leftNs = deadlineNs - clock.NowNs();
    if (leftNs <= 0) return false;
    if (!Take(device, events, MsCeil(static_cast<uint64_t>(leftNs) / 1000))) return false;
  }
  SlotRenderer renderer(std::span(state.data.data(), destination.size()), kKernelSampleUs);
  if (!FillWindow(device, renderer, std::move(events), first, nullptr)) return false;
  std::copy_n(state.data.begin(), destination.size(), destination.begin());
  return true;
}

bool MonitorFromDevice(InfraredDevice& device, std::span<uint8_t, kMonitorBytes> destination) {
  Module& state = State();
  KernelWatch& watch = state.kernelWatch;
  Clock& clock = platform::ActiveClock();
  SlotRenderer renderer(std::span(state.data.data(), kMonitorBytes), kKernelSampleUs);
  const auto finish = [&](bool ok) {
    watch.lastEndNs = clock.NowNs();
    std::copy_n(state.data.begin(), kMonitorBytes, destination.begin());
    return ok;
  };
  device.SetLastFault({});
  if (!Usable(device, true)) return finish(false);
  const int64_t nowNs = clock.NowNs();
  // What came before the first watch of a device is old light.
  const bool first = watch.handle != state.portHandle || !watch.lastEndNs;
  if (!first && watch.heldLight && nowNs - *watch.lastEndNs > kKernelPausedAfterMs * kMsNs)
    watch.pauseLeftUs = kKernelPauseUs - std::min(kKernelPauseUs, watch.pastEndUs);
  watch.heldLight = false;
  watch.pastEndUs = 0;
  std::vector<InfraredEvent> events;
  if (!first) events = std::move(watch.pending);
  watch.pending.clear();
  watch.handle = state.portHandle;
  if (!Take(device, events, 0)) return finish(false);
  // The darkness reported last stays: a pulse under way is reported when it ends, and the
  // window that takes it opens with that darkness.
  if (first) events = TrailingDark(events);
  watch.pauseLeftUs = PassUnwatched(events, watch.pauseLeftUs);
  // Darkness returns at once; a window begins shortly before the light.
  const size_t firstPulse = FirstPulse(events);
  if (firstPulse == events.size()) {
    watch.pending = TrailingDark(events);
    return finish(true);
  }
  uint64_t darkUs = 0;
  for (size_t i = firstPulse; i > 0 && events[i - 1].kind != Kind::Pulse &&
                              events[i - 1].kind != Kind::Overflow;
       --i)
    darkUs += events[i - 1].us;
  renderer.Add(false, std::min<uint64_t>(darkUs, kKernelWatchLeadUs));
  const bool filled = FillWindow(device, renderer, std::move(events), firstPulse, &watch.pending);
  watch.heldLight = filled;
  watch.pastEndUs = renderer.BeyondUs();
  return finish(filled);
}

bool SendToDevice(InfraredDevice& device, std::span<const uint8_t> bitmap, int32_t slotUs) {
  device.SetLastFault({});
  if (!Usable(device, false)) return false;
  if (slotUs < 1) return true;  // slots of no length: nothing to send
  const SlotTrain train = TrainOfSlots(bitmap, static_cast<uint32_t>(slotUs));
  Clock& clock = platform::ActiveClock();
  // The darkness around the light takes its time as the slots on a serial line do.
  platform::SleepUntilNs(clock, clock.NowNs() + static_cast<int64_t>(train.leadingDarkUs) * 1000);
  if (!train.durationsUs.empty()) {
    const Status sent = device.Transmit(train.durationsUs, platform::kSendCarrierHz,
                                        platform::kSendDutyCyclePercent);
    if (!sent) {
      NoteFault(device, sent);
      return false;
    }
  }
  platform::SleepUntilNs(clock, clock.NowNs() + static_cast<int64_t>(train.trailingDarkUs) * 1000);
  return true;
}

}  // namespace pulsio
