// The simulated receivers behind the port interface: the wirings that decide power and input
// lines, the IRMan box's exchange, the receiver's distortion of light, and one peer for several
// processes.
#include <gtest/gtest.h>

#include <random>

#include "platform/files.h"
#include "platform/serial.h"
#include "platform/sim/ir_peer.h"
#include "platform/sim/irman_peer.h"
#include "platform/sim/virtual_clock.h"
#include "tests/support/support.h"

namespace {

using namespace platform;
using namespace platform::sim;

uint32_t Lines(SerialPort& port) {
  uint32_t status = 0;
  EXPECT_TRUE(port.GetModemStatus(status));
  return status;
}

TEST(ReceiverWiring, PowerAndLinesFollowTheHostsLines) {
  struct Case {
    ReceiverWiring wiring;
    bool rts, dtr, brk, light;
    bool dcd, dsr;
  };
  const Case cases[] = {
      // DCD standard: powered from RTS, DCD on in the dark and off for light; DSR unused.
      {ReceiverWiring::DcdStandard, true, false, false, false, true, false},
      {ReceiverWiring::DcdStandard, true, false, false, true, false, false},
      {ReceiverWiring::DcdStandard, false, true, false, false, false, false},
      // IRMouse: powered from RTS and DTR with TxD out of break, DCD on for light, DSR = RTS.
      {ReceiverWiring::IrMouse, true, true, false, true, true, true},
      {ReceiverWiring::IrMouse, true, true, false, false, false, true},
      {ReceiverWiring::IrMouse, true, false, false, true, false, true},
      {ReceiverWiring::IrMouse, true, true, true, true, false, true},
      {ReceiverWiring::IrMouse, false, true, false, true, false, false},
      // A receiver with its own supply shows light whatever the lines.
      {ReceiverWiring::AlwaysPowered, false, false, false, false, true, false},
      {ReceiverWiring::AlwaysPowered, false, false, false, true, false, false},
  };
  for (const Case& c : cases) {
    VirtualClock clock;
    auto peer = std::make_shared<IrPeer>(clock, DcdPolarity::OffWhileLight);
    peer->SetWiring(c.wiring);
    auto port = peer->OpenPort();
    ASSERT_NE(port, nullptr);
    port->SetLine(OutputLine::Rts, c.rts);
    port->SetLine(OutputLine::Dtr, c.dtr);
    port->SetLine(OutputLine::Break, c.brk);
    if (c.light) peer->PlayRemote({1000}, 0);
    const uint32_t status = Lines(*port);
    const std::string where = "wiring " + std::to_string(static_cast<int>(c.wiring)) + " rts " +
                              std::to_string(c.rts) + " dtr " + std::to_string(c.dtr) + " light " +
                              std::to_string(c.light);
    EXPECT_EQ((status & kStatusDcd) != 0, c.dcd) << where;
    EXPECT_EQ((status & kStatusDsr) != 0, c.dsr) << where;
  }
}

class IrManBox : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = peer_->OpenPort();
    ASSERT_NE(port_, nullptr);
    Format(9600, 8);
    Power(true);
  }

  void Format(uint32_t baud, uint8_t bits) {
    PortSettings settings;
    ASSERT_TRUE(port_->GetSettings(settings));
    settings.baudRate = baud;
    settings.dataBits = bits;
    ASSERT_TRUE(port_->SetSettings(settings));
  }
  void Power(bool on) {
    port_->SetLine(OutputLine::Dtr, on);
    port_->SetLine(OutputLine::Rts, on);
  }
  void Send(const std::string& text) {
    size_t written = 0;
    ASSERT_TRUE(port_->Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), written));
  }
  std::string ReadAfterMs(int ms) {
    clock_.SleepMs(static_cast<uint32_t>(ms));
    uint8_t buffer[64];
    size_t received = 0;
    EXPECT_TRUE(port_->Read(buffer, received));
    return std::string(buffer, buffer + received);
  }

  VirtualClock clock_;
  std::shared_ptr<IrManPeer> peer_ = std::make_shared<IrManPeer>(clock_);
  std::unique_ptr<SerialPort> port_;
  const std::array<uint8_t, 6> code_{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
};

TEST_F(IrManBox, AnswersOkToIThenRAndThenSendsCodes) {
  EXPECT_FALSE(peer_->PressButton(code_));  // not initialised: nothing is sent
  Send("I");
  EXPECT_EQ(ReadAfterMs(100), "");
  Send("R");
  EXPECT_EQ(ReadAfterMs(100), "ok");
  EXPECT_TRUE(peer_->Initialised());
  EXPECT_TRUE(peer_->PressButton(code_, 1000));
  EXPECT_EQ(ReadAfterMs(0), "");
  EXPECT_EQ(ReadAfterMs(2), std::string(code_.begin(), code_.end()));
}

TEST_F(IrManBox, OtherFormatsOrOrdersOrAPowerDropLeaveItWaiting) {
  struct Case {
    const char* name;
    std::function<void()> disturb;
  };
  const Case cases[] = {
      {"R before I", [&] { Send("RI"); }},
      {"another byte between", [&] { Send("IXR"); }},
      {"115200 baud", [&] { Format(115200, 8); Send("IR"); Format(9600, 8); }},
      {"7 data bits", [&] { Format(9600, 7); Send("IR"); Format(9600, 8); }},
      {"no power", [&] { Power(false); Send("IR"); Power(true); }},
      {"power drop after I", [&] { Send("I"); Power(false); Power(true); Send("R"); }},
  };
  for (const Case& c : cases) {
    Power(false);
    Power(true);
    c.disturb();
    EXPECT_EQ(ReadAfterMs(100), "") << c.name;
    EXPECT_FALSE(peer_->Initialised()) << c.name;
  }
  Send("IR");
  EXPECT_EQ(ReadAfterMs(100), "ok");
  Power(false);
  EXPECT_FALSE(peer_->Initialised());
}

TEST(DistortLight, StretchesMarksWithinBoundsAndKeepsThemApart) {
  std::vector<LightMark> light;
  for (int i = 0; i < 50; ++i) light.push_back({i * 1'100'000LL, i * 1'100'000LL + 550'000});
  std::mt19937 rng(5);
  struct Case {
    ReceiverDistortion distortion;
    int64_t minLengthNs, maxLengthNs;
  };
  const Case cases[] = {
      {{0, 0, 0}, 550'000, 550'000},
      {{40, 80, 0}, 590'000, 630'000},
      {{40, 80, 10}, 535'000, 685'000},
  };
  for (const Case& c : cases) {
    const auto out = DistortLight(light, c.distortion, rng);
    ASSERT_EQ(out.size(), light.size());
    EXPECT_EQ(out.front().startNs, light.front().startNs);
    for (size_t i = 0; i < out.size(); ++i) {
      const int64_t length = out[i].endNs - out[i].startNs;
      EXPECT_GE(length, c.minLengthNs) << i;
      EXPECT_LE(length, c.maxLengthNs) << i;
      if (i > 0) {
        EXPECT_GT(out[i].startNs, out[i - 1].endNs) << i;
      }
    }
  }
  // Marks whose gaps the stretch swallows come out as one.
  const auto joined = DistortLight({{0, 100'000}, {120'000, 220'000}}, {50, 50, 0}, rng);
  ASSERT_EQ(joined.size(), 1u);
  EXPECT_EQ(joined[0].endNs, 270'000);
}

// Peers of different processes stand for one device when they name the same lock file; two
// peers in one process contend the same way, since each open takes the lock anew.
TEST(SimMachineLock, OnlyOnePeerOfTheLockFileIsOpenAtATime) {
  qvx::test::TempDir dir;
  const auto lockFile = dir / "ir.lock";
  VirtualClock clock;
  auto first = std::make_shared<IrPeer>(clock, DcdPolarity::OffWhileLight);
  auto second = std::make_shared<IrPeer>(clock, DcdPolarity::OffWhileLight);
  auto alone = std::make_shared<IrPeer>(clock, DcdPolarity::OffWhileLight);
  first->SetMachineLock(lockFile);
  second->SetMachineLock(lockFile);

  auto port = first->OpenPort();
  ASSERT_NE(port, nullptr);
  Status why;
  EXPECT_EQ(second->OpenPort(&why), nullptr);
  EXPECT_EQ(why.code(), StatusCode::InUse);
  EXPECT_FALSE(second->LineOn(OutputLine::Dtr));  // a refused open drives no line
  EXPECT_NE(alone->OpenPort(), nullptr);          // a peer without the lock is its own device
  EXPECT_FALSE(MachineLock::TryAcquire(lockFile).held());
  port.reset();
  const auto again = second->OpenPort();
  ASSERT_NE(again, nullptr);
  EXPECT_FALSE(MachineLock::TryAcquire(lockFile).held());  // the second peer holds it while open
}

}  // namespace
