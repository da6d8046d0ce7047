// IRRecord, IRMonitor and IRSend served from a kernel infrared device: the driver's durations
// rendered into the slot bitmap, a watch that returns at once in the dark, the bitmap's runs
// sent as durations, and each failure left where the program finds it.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <span>
#include <utility>

#include "platform/infrared.h"
#include "platform/serial.h"
#include "platform/sim/kernel_ir_device.h"
#include "platform/sim/virtual_clock.h"
#include "pulsio/pulsio.h"

namespace {

using namespace platform;

constexpr int64_t kMsNs = 1'000'000;

// The runs of a bitmap's samples, most significant bit first: light as positive lengths,
// darkness as negative ones.
std::vector<int> Runs(std::span<const uint8_t> bitmap) {
  std::vector<int> runs;
  for (size_t k = 0; k < bitmap.size() * 8; ++k) {
    const int sign = (bitmap[k / 8] & (0x80 >> (k % 8))) ? 1 : -1;
    if (runs.empty() || (runs.back() > 0) != (sign > 0)) runs.push_back(0);
    runs.back() += sign;
  }
  return runs;
}

class KernelPulsio : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = sim::InstallKernelIrDevice("pulsio-lirc", clock_);
    SetHandle(0);
  }

  void TearDown() override {
    SetHandle(0);
    if (handle_ > 0) ClosePort(std::exchange(handle_, kPortClosed));
    UnregisterSimPeer("pulsio-lirc");
  }

  // Opens the device as a host program does (with options, "sim:pulsio-lirc:OPTIONS") and
  // lends it to Pulsio.
  void Lend(const std::string& options = "") {
    handle_ = OpenSerialTarget("sim:pulsio-lirc" + (options.empty() ? "" : ":" + options));
    ASSERT_GT(handle_, 0);
    SetHandle(handle_);
  }

  const Status& Fault() { return FindPort(handle_)->Infrared()->LastFault(); }

  sim::VirtualClock clock_;
  ScopedClock scopedClock_{clock_};
  std::shared_ptr<sim::KernelIrDevice> device_;
  PortHandle handle_ = kPortClosed;
};

TEST_F(KernelPulsio, RecordingRendersEachSampleAtTheMiddleOfItsPeriod) {
  Lend();
  struct Case {
    std::vector<int64_t> light;  // light, dark, light, ... in us
    uint8_t byte;                // 8 samples of 55 us from the first light on
  } cases[] = {
      {{55}, 0x80},           {{28}, 0x80},          {{27}, 0x00},
      {{110, 55, 165}, 0xDC}, {{500}, 0xFF},         {{55, 110, 55, 55, 55}, 0x94},
  };
  for (const Case& c : cases) {
    for (const bool dcdOnIsLight : {false, true}) {
      SCOPED_TRACE(::testing::PrintToString(c.light));
      device_->PlayRemote(c.light, 1000);
      uint8_t buffer[2] = {0x55, 0x55};
      const uint8_t recorded = dcdOnIsLight ? IRRecordN(buffer, 99, 1) : IRRecord(buffer, 0, 1);
      EXPECT_EQ(recorded, 1);
      EXPECT_EQ(buffer[0], c.byte);
      EXPECT_EQ(buffer[1], 0x55);
      clock_.AdvanceNs(300 * kMsNs);  // the light is over
    }
  }

  // Without light for 5 s the recording gives up and leaves the buffer alone.
  uint8_t buffer[4] = {1, 2, 3, 4};
  const int64_t startNs = clock_.NowNs();
  EXPECT_EQ(IRRecord(buffer, 0, 4), 0);
  EXPECT_GE(clock_.NowNs() - startNs, 5000 * kMsNs);
  EXPECT_EQ(buffer[3], 4);
  EXPECT_TRUE(Fault().ok());
}

TEST_F(KernelPulsio, AWatchReturnsAtOnceInTheDarkAndBeginsWithTheLight) {
  Lend();
  clock_.AdvanceNs(1000 * kMsNs);  // the room has been dark for a second
  std::array<uint8_t, 500> window{};
  // The first watch drops what came before it; in the dark it costs no time.
  EXPECT_EQ(IRMonitor(window.data(), 10), 1);
  const int64_t darkNs = clock_.NowNs();
  EXPECT_EQ(IRMonitor(window.data(), 10), 1);
  EXPECT_EQ(clock_.NowNs(), darkNs);
  EXPECT_EQ(window, (std::array<uint8_t, 500>{}));

  // A NEC header that began between two watches is taken from its start, after 10 ms of the
  // darkness before it (samples 0-181), which the device reported to the watch before, when the
  // light began.
  device_->PlayRemote({9000, 4500, 560, 560, 560}, 0);
  clock_.AdvanceNs(5 * kMsNs);
  EXPECT_EQ(IRMonitor(window.data(), 10), 1);
  EXPECT_EQ(window, (std::array<uint8_t, 500>{}));
  clock_.AdvanceNs(5 * kMsNs);
  EXPECT_EQ(IRMonitorN(window.data(), 10), 1);
  // Samples of 55 us at their middles: 10 ms dark, 9 ms light, 4.5 ms dark, 560 us light, ...
  const std::vector<int> runs = {-182, 163, -82, 10, -11, 10, -3542};
  EXPECT_EQ(Runs(window), runs);
  // The watch lasted its window of 4000 samples, and no more.
  EXPECT_GE(clock_.NowNs() - darkNs, 210 * kMsNs);
  EXPECT_LE(clock_.NowNs() - darkNs, 230 * kMsNs);

  // Light of the 300 ms after a window, when the next watch came later (the pause after a
  // command), is not taken, as a sampled line never saw it; a press after those 300 ms is, and
  // so is one while a busy machine kept a watch in the dark waiting for half a second.
  struct Late {
    int64_t pressAfterMs;
    int64_t watchAfterMs;
    bool taken;
  } lates[] = {{0, 300, false}, {300, 350, true}, {0, 500, true}};
  for (const Late& late : lates) {
    SCOPED_TRACE(late.pressAfterMs);
    device_->PlayRemote({9000, 4500, 560}, late.pressAfterMs * 1000);
    clock_.AdvanceNs(late.watchAfterMs * kMsNs);
    EXPECT_EQ(IRMonitor(window.data(), 10), 1);
    EXPECT_EQ(window != (std::array<uint8_t, 500>{}), late.taken);
    clock_.AdvanceNs(10 * kMsNs);
    IRMonitor(window.data(), 10);  // the dark watch of the next tick
    clock_.AdvanceNs(10 * kMsNs);
  }
}

TEST_F(KernelPulsio, ASendHandsOverTheRunsTimesTheSlot) {
  Lend();
  struct Case {
    std::vector<uint8_t> bitmap;
    int32_t slotUs;
    int32_t mode;
    std::vector<uint32_t> durationsUs;
  } cases[] = {
      {{0x0F, 0xF0}, 100, 0, {800}},
      {{0xA0}, 550, 1, {550, 550, 550}},
      {{0xFF, 0x00, 0x81}, 600, 0, {4800, 4800, 600, 3600, 600}},
      {{0x00, 0x00}, 550, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bitmap));
    device_->ClearSent();
    const int64_t startNs = clock_.NowNs();
    EXPECT_EQ(IRSend(c.bitmap.data(), static_cast<int32_t>(c.bitmap.size()), c.slotUs, c.mode), 1);
    // The darkness before and after takes its time, as on a serial line.
    EXPECT_GE(clock_.NowNs() - startNs, int64_t{c.slotUs} * 1000 * 8 * static_cast<int64_t>(c.bitmap.size()));
    if (c.durationsUs.empty()) {
      EXPECT_TRUE(device_->Sent().empty());
      continue;
    }
    ASSERT_EQ(device_->Sent().size(), 1u);
    const auto& sent = device_->Sent().front();
    EXPECT_EQ(sent.durationsUs, c.durationsUs);
    EXPECT_EQ(sent.carrierHz, 38'000u);
    EXPECT_EQ(sent.dutyCyclePercent, 33u);
  }
}

TEST_F(KernelPulsio, FailuresAreLeftWhereTheProgramFindsThem) {
  struct Case {
    const char* options;
    std::function<uint8_t()> call;
    StatusCode code;
    const char* words;
  };
  std::array<uint8_t, 600> buffer{};
  const uint8_t light[] = {0xF0};
  const Case cases[] = {
      {"nosend", [&] { return IRSend(light, 1, 550, 0); }, StatusCode::NotSupported,
       "sim:pulsio-lirc has no transmitter that sends pulse and space durations"},
      {"norecv", [&] { return IRMonitor(buffer.data(), 10); }, StatusCode::NotSupported,
       "sim:pulsio-lirc cannot receive remote controls as pulse and space durations"},
      {"norecv", [&] { return IRRecord(buffer.data(), 10, 600); }, StatusCode::NotSupported,
       "sim:pulsio-lirc cannot receive remote controls as pulse and space durations"},
      {"vanish=100", [&] { return IRRecord(buffer.data(), 10, 600); }, StatusCode::NotFound,
       "sim:pulsio-lirc has gone (unplugged, or its driver unloaded)"},
      {"overflow=60", [&] { return IRRecord(buffer.data(), 10, 600); }, StatusCode::SystemFailure,
       "sim:pulsio-lirc lost part of the signal (its driver's buffer overflowed); press the key "
       "again"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    TearDown();
    SetUp();
    // A press at 50 ms that the faults timed from 0 break into.
    device_->PlayRemote({9000, 4500, 560, 560, 560}, 50'000);
    Lend(c.options);
    EXPECT_EQ(c.call(), 0);
    EXPECT_EQ(Fault().code(), c.code);
    EXPECT_EQ(Fault().osText(), c.words);
  }
}

}  // namespace
