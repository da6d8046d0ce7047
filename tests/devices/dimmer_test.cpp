// The infrared dimmer through SendIRCommand and Pulsio's IRSend on the simulated transmitter:
// the light it emits, rebuilt from the captured line changes, has the dimmer's bursts and
// pauses. Everything runs on a virtual clock.

#include "qvx/devices/dimmer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "pulsio/pulsio.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ircode/pulsiolink.h"

namespace qvx::devices {
namespace {

using platform::sim::LightMark;

constexpr int64_t kMs = 1'000'000;
constexpr int64_t kUs = 1'000;

// Light marks grouped into bursts: marks less than 10 ms apart belong together.
struct Burst {
  int64_t startNs = 0;
  int64_t endNs = 0;
  std::vector<int64_t> markNs;
};

std::vector<Burst> Bursts(const std::vector<LightMark>& marks) {
  std::vector<Burst> bursts;
  for (const auto& mark : marks) {
    if (bursts.empty() || mark.startNs - bursts.back().endNs > 10 * kMs) bursts.push_back({mark.startNs, 0, {}});
    bursts.back().endNs = mark.endNs;
    bursts.back().markNs.push_back(mark.endNs - mark.startNs);
  }
  return bursts;
}

class DimmerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A coarse counter keeps the 2 ms busy waits cheap; it still resolves 1 us.
    clock_.SetCounterReadCostNs(1000);
    peer_ = platform::sim::InstallIrPeer("dimmer-ir", clock_);
    handle_ = platform::OpenSerialTarget("sim:dimmer-ir");
    ASSERT_GT(handle_, 0);
    ASSERT_TRUE(ircode::SetPortMode(115200, 6, handle_));  // DTR off, as the program leaves it
    SetHandle(handle_);
    peer_->ClearCapture();
  }
  void TearDown() override {
    SetHandle(0);
    platform::ClosePort(handle_);
    platform::UnregisterSimPeer("dimmer-ir");
  }

  // Sends a dimmer command the way the executor does, through SendIRCommand's dimmer hook.
  std::string SendThroughIrBranch(const std::string& code, int outputMode) {
    ircode::SendRequest request;
    request.device = "IR Dimmer";
    request.command = "ON/OFF";
    request.deviceParams = ircode::DeviceParamsFromTexts(" 0", " 550", " 0", "111100", "10", "1000", " 1");
    request.slotField = " 560";
    request.codeField = code;
    request.outputMode = outputMode;
    request.dimmerEnabled = true;
    request.dimmer = IrDimmerTransmission(outputMode, false, ircode::PulsioTransmit(), {}, clock_);
    ircode::SendState state;
    return ircode::SendIRCommand(state, request, {}, {}).status;
  }

  platform::sim::VirtualClock clock_;
  platform::ScopedClock scoped_{clock_};
  std::shared_ptr<platform::sim::IrPeer> peer_;
  platform::PortHandle handle_ = platform::kPortFailed;
};

TEST(DimmerPatternFor, OnlyG1IsOnOff) {
  const std::pair<const char*, DimmerPattern> cases[] = {
      {"G1", kDimmerOnOff}, {" g1 ", kDimmerOnOff}, {"G0", kDimmerDimBright},
      {"", kDimmerDimBright}, {"G10", kDimmerDimBright}, {"1", kDimmerDimBright},
  };
  for (const auto& [code, pattern] : cases) EXPECT_EQ(DimmerPatternFor(code), pattern) << code;
  EXPECT_EQ(kDimmerOnOff, (DimmerPattern{150, 500, 20}));
  EXPECT_EQ(kDimmerDimBright, (DimmerPattern{150, 1000, 200}));
}

TEST_F(DimmerTest, DtrLightHasTheBurstLengthsAndPauses) {
  struct Case {
    const char* code;
    int firstBytes;
    int64_t pauseMs;
    int secondBytes;
  };
  for (const Case& c : {Case{"G1", 150, 500, 20}, Case{" g1", 150, 500, 20}, Case{"G0", 150, 1000, 200},
                        Case{"", 150, 1000, 200}}) {
    SCOPED_TRACE(std::string("code '") + c.code + "'");
    peer_->ClearCapture();
    const int64_t startNs = clock_.NowNs();
    EXPECT_EQ(SendThroughIrBranch(c.code, 0), "IR Dimmer command executed OK.");
    const auto bursts = Bursts(platform::sim::DtrLight(peer_->Captured(), clock_.NowNs()));
    ASSERT_EQ(bursts.size(), 2u);
    const int bytes[] = {c.firstBytes, c.secondBytes};
    for (size_t i = 0; i < 2; ++i) {
      // Each byte 01010101 lights four 2 ms slots; the burst's first slot is dark.
      ASSERT_EQ(bursts[i].markNs.size(), static_cast<size_t>(4 * bytes[i]));
      for (int64_t markNs : bursts[i].markNs) {
        EXPECT_GE(markNs, 2000 * kUs);
        EXPECT_LE(markNs, 2005 * kUs);
      }
      const int64_t spanNs = bytes[i] * 16 * kMs - 2 * kMs;
      EXPECT_GE(bursts[i].endNs - bursts[i].startNs, spanNs);
      EXPECT_LE(bursts[i].endNs - bursts[i].startNs, spanNs + spanNs / 500);
    }
    EXPECT_GE(bursts[0].startNs - startNs, 2 * kMs);
    EXPECT_LE(bursts[0].startNs - startNs, 2 * kMs + 50 * kUs);
    // Darkness between the bursts: the pause and the second burst's dark first slot.
    const int64_t gapNs = bursts[1].startNs - bursts[0].endNs;
    EXPECT_GE(gapNs, (c.pauseMs + 2) * kMs);
    EXPECT_LE(gapNs, (c.pauseMs + 2) * kMs + 50 * kUs);
    EXPECT_FALSE(peer_->LineOn(platform::OutputLine::Dtr));
  }
}

TEST_F(DimmerTest, OutputModeOneSendsTheBurstsAsCarrierOnTxd) {
  EXPECT_EQ(SendThroughIrBranch("G1", 1), "IR Dimmer command executed OK.");
  for (const auto& event : peer_->Captured()) {
    EXPECT_FALSE(event.kind == platform::sim::TxEvent::Kind::Dtr && event.on);
  }
  // Characters within one light slot run together; the dark slots separate them.
  const auto bursts = Bursts(platform::sim::TxdCarrier(peer_->Captured(), 200 * kUs));
  ASSERT_EQ(bursts.size(), 2u);
  EXPECT_EQ(bursts[0].markNs.size(), 600u);
  EXPECT_EQ(bursts[1].markNs.size(), 80u);
  EXPECT_GE(bursts[1].startNs - bursts[0].endNs, 502 * kMs);
}

TEST_F(DimmerTest, BeepsFrameTheBurstsWhenBeepOnIsOn) {
  std::vector<std::string> events;
  const ircode::IrTransmit transmit = [&](const uint8_t* bytes, int lenBytes, int slotUs, int mode) {
    const bool all85 = std::all_of(bytes, bytes + lenBytes, [](uint8_t b) { return b == 85; });
    events.push_back("burst " + std::to_string(lenBytes) + (all85 ? " of 85" : " mixed") + " at " +
                     std::to_string(slotUs) + " mode " + std::to_string(mode) + " t=" +
                     std::to_string(clock_.NowNs() / kMs));
    return 1;
  };
  const ircode::Beeper beep = [&](int hz, int ms) { events.push_back(std::to_string(hz) + "/" + std::to_string(ms)); };

  EXPECT_EQ(SendIrDimmerCommand("G1", 3, true, transmit, beep, clock_), "IR Dimmer command executed OK.");
  EXPECT_EQ(events, (std::vector<std::string>{"5000/50", "burst 150 of 85 at 2000 mode 3 t=0",
                                              "burst 20 of 85 at 2000 mode 3 t=500", "2000/50"}));
  events.clear();
  EXPECT_EQ(SendIrDimmerCommand("G0", 0, false, transmit, beep, clock_), "IR Dimmer command executed OK.");
  EXPECT_EQ(events, (std::vector<std::string>{"burst 150 of 85 at 2000 mode 0 t=500",
                                              "burst 200 of 85 at 2000 mode 0 t=1500"}));
}

}  // namespace
}  // namespace qvx::devices
