// Prints the timing figures of Pulsio in one run: the cost of one counter read (the physical
// limit of the sampling loop), the sampling loop's cost per sample without pause on the
// virtual and the real clock, the real-clock error of uDelay, and the slot-length error of an
// IRSend in DTR mode on the simulated transmitter with the real clock.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/clock.h"
#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "pulsio/pulsio.h"

namespace {

using platform::sim::IrPeer;

struct Percentiles {
  double p50;
  double p99;
};

Percentiles Of(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  auto at = [&](double q) { return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1))]; };
  return {at(0.50), at(0.99)};
}

double CounterReadNs(platform::Clock& clock) {
  constexpr int kReads = 5'000'000;
  int64_t sink = 0;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kReads; ++i) sink += clock.Counter();
  auto elapsed = std::chrono::steady_clock::now() - start;
  if (sink == 42) std::puts("");
  return std::chrono::duration<double, std::nano>(elapsed).count() / kReads;
}

// Real nanoseconds per sample of IRMonitor with no pause, on a peer run by `clock`.
double SampleCostNs(platform::Clock& clock) {
  platform::ScopedClock scoped(clock);
  auto peer = platform::sim::InstallIrPeer("bench", clock);
  int32_t handle = platform::OpenSerialTarget("sim:bench");
  SetHandle(handle);
  std::vector<uint8_t> buffer(500);
  constexpr int kRounds = 200;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) IRMonitor(buffer.data(), 0);
  auto elapsed = std::chrono::steady_clock::now() - start;
  SetHandle(0);
  platform::ClosePort(handle);
  platform::UnregisterSimPeer("bench");
  return std::chrono::duration<double, std::nano>(elapsed).count() / (kRounds * 4000.0);
}

Percentiles DelayErrorNs(int32_t us, int rounds, bool raised) {
  platform::Clock& clock = platform::RealClock();
  if (raised) clock.RaisePriority();
  std::vector<double> errors;
  for (int i = 0; i < rounds; ++i) {
    int64_t start = clock.NowNs();
    uDelay(us);
    errors.push_back(static_cast<double>(clock.NowNs() - start - int64_t{us} * 1000));
  }
  if (raised) clock.RestorePriority();
  return Of(errors);
}

// Slot lengths of an alternating bitmap, so that every slot boundary is a DTR edge.
Percentiles SlotErrorNs(int32_t slotUs) {
  platform::Clock& clock = platform::RealClock();
  platform::ScopedClock scoped(clock);
  auto peer = platform::sim::InstallIrPeer("bench", clock);
  int32_t handle = platform::OpenSerialTarget("sim:bench");
  SetHandle(handle);
  std::vector<uint8_t> bitmap(100, 0xAA);
  peer->ClearCapture();
  IRSend(bitmap.data(), static_cast<int32_t>(bitmap.size()), slotUs, 0);
  std::vector<double> errors;
  const auto& events = peer->Captured();
  for (size_t i = 1; i < events.size(); ++i) {
    errors.push_back(static_cast<double>(events[i].startNs - events[i - 1].startNs - int64_t{slotUs} * 1000));
  }
  SetHandle(0);
  platform::ClosePort(handle);
  platform::UnregisterSimPeer("bench");
  return Of(errors);
}

}  // namespace

int main() {
  platform::sim::VirtualClock virtualClock;
  virtualClock.SetLineReadCostNs(55'000);
  double counterNs = CounterReadNs(platform::RealClock());
  double virtualSampleNs = SampleCostNs(virtualClock);
  double realSampleNs = SampleCostNs(platform::RealClock());

  std::printf("Pulsio timing (times in ns)\n");
  std::printf("  real counter read (CLOCK_MONOTONIC_RAW)       %8.1f\n", counterNs);
  std::printf("  sampling loop per sample, no pause:\n");
  std::printf("    virtual clock (real time per sample)        %8.1f\n", virtualSampleNs);
  std::printf("    real clock                                  %8.1f  = %.2f counter reads\n", realSampleNs,
              realSampleNs / counterNs);
  std::printf("  uDelay error on the real clock (actual - requested), as called / priority raised:\n");
  for (int32_t us : {10, 55, 550}) {
    int rounds = us < 100 ? 20000 : 2000;
    Percentiles plain = DelayErrorNs(us, rounds, false);
    Percentiles raised = DelayErrorNs(us, rounds, true);
    std::printf("    %4d us: p50 %8.0f  p99 %8.0f  /  p50 %8.0f  p99 %8.0f\n", us, plain.p50, plain.p99, raised.p50,
                raised.p99);
  }
  std::printf("  IRSend DTR slot error, simulated transmitter, real clock:\n");
  for (int32_t slotUs : {562, 889}) {
    Percentiles error = SlotErrorNs(slotUs);
    std::printf("    slot %4d us: p50 %8.0f  p99 %8.0f\n", slotUs, error.p50, error.p99);
  }
  return 0;
}
