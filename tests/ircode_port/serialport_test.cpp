// The main program's serial-port procedures on a pseudo-terminal (bytes, formats, time-outs)
// and on a simulated peer (modem lines).

#include <gtest/gtest.h>

#include <chrono>

#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "qvx/ircode/port/serialport.h"
#include "tests/support/terminal.h"

namespace {

using namespace qvx::ircode;
using platform::OutputLine;
using platform::sim::PeerOperation;
using qvx::test::PseudoTerminal;
using qvx::test::ScopedEnv;

class PtyProcedures : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty_.Path().empty());
    handle_ = OpenPort(4);
    ASSERT_GT(handle_, 0);
    ASSERT_TRUE(SetPortMode(9600, 8, handle_));
  }
  void TearDown() override { ClosePort(handle_); }

  PseudoTerminal pty_;
  ScopedEnv com4_{"QVX_COM4", pty_.Path()};
  PortHandle handle_ = kPortFailed;
};

TEST_F(PtyProcedures, OpenPortIsExclusiveAndClosePortZeroesTheHandle) {
  EXPECT_TRUE(PortExists(4));
  EXPECT_EQ(OpenPort(4), kPortFailed);
  ClosePort(handle_);
  EXPECT_EQ(handle_, kPortClosed);
  handle_ = OpenPort(4);
  EXPECT_GT(handle_, 0);
}

TEST_F(PtyProcedures, SetPortModeSetsFormatBinaryModeAndTimeouts) {
  auto port = platform::FindPort(handle_);
  platform::PortSettings settings;
  ASSERT_TRUE(port->GetSettings(settings));
  EXPECT_EQ(settings.baudRate, 9600u);
  EXPECT_EQ(settings.dataBits, 8);
  EXPECT_FALSE(settings.ctsFlow || settings.xonXoff || settings.parityCheck);
  platform::PortTimeouts timeouts;
  ASSERT_TRUE(port->GetTimeouts(timeouts));
  EXPECT_EQ(timeouts, (platform::PortTimeouts{0xFFFFFFFF, 0, 0, 1, 10}));
  ASSERT_TRUE(SetPortMode(115200, 6, handle_));
  ASSERT_TRUE(port->GetSettings(settings));
  EXPECT_EQ(settings.baudRate, 115200u);  // a pseudo-terminal keeps 8 data bits whatever is set
  EXPECT_FALSE(SetPortMode(123, 8, handle_));  // a rate the device refuses
}

TEST_F(PtyProcedures, ReadPortReturnsAtOnceWithWhatHasArrived) {
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadPort(handle_), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  ASSERT_TRUE(pty_.SendToPort("ok"));
  std::string got;
  for (int i = 0; i < 100 && got.size() < 2; ++i) {  // the answer of a polling caller
    got += ReadPort(handle_);
    usleep(2'000);
  }
  EXPECT_EQ(got, "ok");
}

TEST_F(PtyProcedures, ReadPortTakesAtMostOneHundredBytes) {
  ASSERT_TRUE(pty_.SendToPort(std::string(150, 'x')));
  usleep(20'000);
  EXPECT_EQ(ReadPort(handle_), std::string(100, 'x'));
  EXPECT_EQ(ReadPort(handle_), std::string(50, 'x'));
}

TEST_F(PtyProcedures, WritePortSendsUpToOneHundredBytes) {
  EXPECT_TRUE(WritePort("AT\r", handle_));
  EXPECT_EQ(pty_.ReceivedFromPort(), "AT\r");
  std::string full(100, 'a');
  EXPECT_TRUE(WritePort(full, handle_));
  EXPECT_EQ(pty_.ReceivedFromPort(), full);
  EXPECT_FALSE(WritePort(std::string(101, 'b'), handle_));
  EXPECT_EQ(pty_.ReceivedFromPort(50), "");
  EXPECT_TRUE(WritePort("", handle_));
}

TEST_F(PtyProcedures, LineReadersAnswerFalseWhereTheDeviceHasNoLines) {
  SetDtrLine(true, handle_);
  EXPECT_FALSE(GetCtsLine(handle_));
  EXPECT_FALSE(GetDsrLine(handle_));
  EXPECT_FALSE(GetDcdLine(handle_));
}

TEST(Procedures, MissingPortsFailSoftly) {
  ScopedEnv com9("QVX_COM9", "/nonexistent/ttyS8");
  EXPECT_EQ(OpenPort(9), kPortFailed);
  EXPECT_FALSE(PortExists(9));
  EXPECT_EQ(OpenPort(0), kPortFailed);
  EXPECT_FALSE(PortExists(0));
}

TEST(Procedures, MinusOneAndClosedHandlesAreNoPort) {
  for (PortHandle handle : {kPortFailed, kPortClosed, 555555}) {
    EXPECT_FALSE(SetPortMode(9600, 8, handle)) << handle;
    EXPECT_FALSE(SetPortTimeouts(handle)) << handle;
    EXPECT_FALSE(WritePort("x", handle)) << handle;
    EXPECT_EQ(ReadPort(handle), "") << handle;
    SetDtrLine(true, handle);
    SetRtsLine(true, handle);
    SetTxdBreak(true, handle);
    EXPECT_FALSE(GetCtsLine(handle)) << handle;
    EXPECT_FALSE(GetDsrLine(handle)) << handle;
    EXPECT_FALSE(GetDcdLine(handle)) << handle;
  }
  PortHandle failed = kPortFailed;
  ClosePort(failed);
  EXPECT_EQ(failed, kPortFailed);
}

class SimProcedures : public ::testing::Test {
 protected:
  void SetUp() override {
    peer_ = platform::sim::InstallIrPeer("procedures", clock_, platform::sim::DcdPolarity::OnWhileLight);
    handle_ = OpenPort(3);
    ASSERT_GT(handle_, 0);
  }
  void TearDown() override {
    ClosePort(handle_);
    platform::UnregisterSimPeer("procedures");
  }

  platform::sim::VirtualClock clock_;
  ScopedEnv com3_{"QVX_COM3", "sim:procedures"};
  std::shared_ptr<platform::sim::IrPeer> peer_;
  PortHandle handle_ = kPortFailed;
};

TEST_F(SimProcedures, LineSettersDriveTheirLines) {
  struct Case {
    void (*set)(bool, PortHandle);
    OutputLine line;
  };
  for (auto c : {Case{SetDtrLine, OutputLine::Dtr}, Case{SetRtsLine, OutputLine::Rts}, Case{SetTxdBreak, OutputLine::Break}}) {
    c.set(true, handle_);
    EXPECT_TRUE(peer_->LineOn(c.line));
    c.set(false, handle_);
    EXPECT_FALSE(peer_->LineOn(c.line));
    c.set(true, kPortFailed);
    EXPECT_FALSE(peer_->LineOn(c.line));
  }
}

TEST_F(SimProcedures, LineReadersFollowTheirBits) {
  struct Case {
    uint32_t held;
    bool light;
    bool cts, dsr, dcd;
  };
  for (auto c : {Case{platform::kStatusCts, false, true, false, false}, Case{platform::kStatusDsr, false, false, true, false},
                 Case{platform::kStatusRing, true, false, false, true}, Case{0, false, false, false, false}}) {
    peer_->SetInputLines(c.held);
    peer_->PlayRemote(c.light ? std::vector<int64_t>{1000} : std::vector<int64_t>{}, 0);
    EXPECT_EQ(GetCtsLine(handle_), c.cts);
    EXPECT_EQ(GetDsrLine(handle_), c.dsr);
    EXPECT_EQ(GetDcdLine(handle_), c.dcd);
  }
  peer_->SetInputLines(platform::kStatusCts);
  peer_->SetFailing(PeerOperation::ModemStatus, true);
  EXPECT_FALSE(GetCtsLine(handle_));
}

TEST_F(SimProcedures, SetPortModeFailsWhenAnyStepFails) {
  EXPECT_TRUE(SetPortMode(9600, 8, handle_));
  EXPECT_FALSE(peer_->LineOn(OutputLine::Dtr));  // DTR and RTS are the program's to drive
  for (auto operation : {PeerOperation::GetSettings, PeerOperation::SetSettings, PeerOperation::GetTimeouts,
                         PeerOperation::SetTimeouts}) {
    peer_->SetFailing(operation, true);
    EXPECT_FALSE(SetPortMode(9600, 8, handle_)) << static_cast<int>(operation);
    peer_->SetFailing(operation, false);
  }
  peer_->SetFailing(PeerOperation::Write, true);
  EXPECT_FALSE(WritePort("x", handle_));
  peer_->SetFailing(PeerOperation::Read, true);
  peer_->QueueInput("late");
  EXPECT_EQ(ReadPort(handle_), "");
}

TEST_F(SimProcedures, AnswersArriveThroughReadPort) {
  ASSERT_TRUE(SetPortMode(9600, 8, handle_));
  ASSERT_TRUE(WritePort("IR", handle_));
  EXPECT_EQ(std::string(peer_->ReceivedBytes().begin(), peer_->ReceivedBytes().end()), "IR");
  peer_->QueueInput("ok", 10'000);
  EXPECT_EQ(ReadPort(handle_), "");  // not yet
  clock_.AdvanceNs(10'000'000);
  EXPECT_EQ(ReadPort(handle_), "ok");
}

}  // namespace
