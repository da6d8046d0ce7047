// X10 over a real terminal device: the simulated CM11 answers on the master side of a
// pseudo-terminal, the X10 code opens the slave side as its COM port through termios. The
// 200 ms polls run on a virtual clock that lets the interface answer at each poll.

#include <gtest/gtest.h>

#include <vector>

#include "platform/sim/cm11_peer.h"
#include "platform/sim/pty_bridge.h"
#include "platform/sim/virtual_clock.h"
#include "qvx/config/store.h"
#include "qvx/devices/x10.h"
#include "tests/support/terminal.h"
#include "tests/support/support.h"

namespace qvx::devices {
namespace {

using platform::sim::Cm11Fault;
using platform::sim::X10Transmission;
using Bytes = std::vector<uint8_t>;

constexpr int kPtyCom = 4;

class X10PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bridge_.Ok());
    store_.text = test::Crlf("[X10]\n# modules\n/X10/*a1,Lamp\n\n[Application]\n");
    store_.general.x10Ena = true;
    store_.general.x10Com = kPtyCom;
    LoadX10Section(state_.names, store_.text);
  }
  void TearDown() override { CloseX10Port(state_); }

  std::string Run(const std::string& command, int function, int dimPercent) {
    X10Request request;
    request.device = "X10&Lamp";
    request.command = command;
    request.selectedFunction = function;
    request.dimPercent = dimPercent;
    return ExecuteX10Command(state_, store_, request, clock_, [](int, int) {});
  }

  platform::sim::Cm11Interface cm11_;
  platform::sim::PtyBridge bridge_{cm11_};
  platform::sim::VirtualClock time_;
  platform::sim::BridgedClock clock_{time_, bridge_};
  platform::ScopedClock scoped_{clock_};
  qvx::test::ScopedEnv com_{"QVX_COM4", bridge_.PortPath()};
  ConfigStore store_;
  X10State state_;
};

TEST_F(X10PtyTest, TheDocumentedExamplesCrossTheTerminalByteForByte) {
  EXPECT_EQ(Run("On", kX10On, 50), "X10-lamp On.");
  EXPECT_EQ(cm11_.Received(), (Bytes{0x04, 0x66, 0x00, 0x06, 0x62, 0x00}));

  // 50 % in one exchange: the command itself would split it into 39 % and 11 %.
  cm11_.ClearRecord();
  EXPECT_TRUE(SendX10Code(state_.port, 1, 1, kX10Dim, 50, clock_));
  EXPECT_EQ(cm11_.Received(), (Bytes{0x5C, 0x66, 0x00, 0x5E, 0x64, 0x00}));
  EXPECT_EQ(cm11_.Transmissions(), (std::vector<X10Transmission>{{0x5C, 0x66}, {0x5E, 0x64}}));
}

TEST_F(X10PtyTest, ADoubledReplyFailsOneAttemptAndTheRetrySucceeds) {
  cm11_.InjectFault(Cm11Fault::Twice);
  EXPECT_EQ(Run("On", kX10On, 50), "X10-lamp On.");
  EXPECT_EQ(cm11_.Received(), (Bytes{0x04, 0x66, 0x04, 0x66, 0x00, 0x06, 0x62, 0x00}));
  EXPECT_EQ(cm11_.Transmissions().size(), 2u);
}

TEST_F(X10PtyTest, HundredPercentIsSentAsThreeExchanges) {
  EXPECT_EQ(Run("Dim", kX10Dim, 100), "X10-lamp Dim.");
  std::vector<uint8_t> headers;
  for (const auto& sent : cm11_.Transmissions()) {
    if (!sent.IsFunction()) headers.push_back(sent.header);
  }
  EXPECT_EQ(headers, (Bytes{0x44, 0x44, 0x24}));
}

TEST_F(X10PtyTest, ResetReachesTheInterface) {
  EXPECT_EQ(ResetX10Interface(state_, kPtyCom, platform::kPortClosed), "CM11/12 interface reset OK.");
  // The write is not awaited; sleeps let the interface take the bytes in.
  for (int i = 0; i < 200 && cm11_.ClockSettings().empty(); ++i) platform::ActiveClock().SleepMs(1);
  EXPECT_EQ(cm11_.ClockSettings(), (std::vector<Bytes>{{0x00, 0x00, 0x00, 0x00, 0x00, 0x07}}));
}

}  // namespace
}  // namespace qvx::devices
