// Port handle, lines, bytes and the small exports of Pulsio.

#include <chrono>

#include "tests/pulsio/pulsio_fixture.h"
#include "tests/support/terminal.h"

namespace {

using namespace platform;
using platform::sim::IrPeer;
using platform::sim::PeerOperation;
using qvx::test::PseudoTerminal;
using qvx::test::ScopedEnv;

TEST_F(PulsioTest, GetHandleGivesTheLentHandleNotTheOneOpenComOpened) {
  EXPECT_EQ(GetHandle(), 0);
  ASSERT_EQ(OpenCom(1), 1);
  EXPECT_EQ(GetHandle(), 0);
  CloseCom();
  PortHandle lent = Lend();
  EXPECT_EQ(GetHandle(), lent);
}

TEST_F(PulsioTest, LentHandleIsSharedWithTheHostAndNeverClosedByPulsio) {
  PortHandle lent = Lend();
  ASSERT_EQ(DTR(1), 1);
  EXPECT_TRUE(peer_->LineOn(OutputLine::Dtr));

  // OpenCom moves to another port; the lent one stays open for its owner.
  auto second = platform::sim::InstallIrPeer("pulsio-ir2", clock_);
  ScopedEnv com2("QVX_COM2", "sim:pulsio-ir2");
  ASSERT_EQ(OpenCom(2), 1);
  EXPECT_EQ(GetHandle(), lent);
  ASSERT_EQ(DTR(1), 1);
  EXPECT_TRUE(second->LineOn(OutputLine::Dtr));
  EXPECT_NE(FindPort(lent), nullptr);

  SetHandle(lent);  // takes the lent port back and closes the one Pulsio opened
  EXPECT_FALSE(second->IsOpen());
  CloseCom();
  EXPECT_NE(FindPort(lent), nullptr);
  EXPECT_EQ(DTR(0), 0);  // let go: Pulsio no longer drives it
  EXPECT_TRUE(peer_->LineOn(OutputLine::Dtr));
  EXPECT_EQ(GetHandle(), lent);
  UnregisterSimPeer("pulsio-ir2");
}

TEST_F(PulsioTest, OnlyTheLowByteOfALineStateCounts) {
  Lend();
  struct Case {
    int32_t state;
    bool on;
  };
  for (auto c : {Case{1, true}, Case{255, true}, Case{256, false}, Case{0, false}, Case{0x101, true},
                 Case{-1, true}, Case{-256, false}}) {
    EXPECT_EQ(DTR(c.state), 1);
    EXPECT_EQ(RTS(c.state), 1);
    EXPECT_EQ(TXD(c.state), 1);
    EXPECT_EQ(peer_->LineOn(OutputLine::Dtr), c.on) << c.state;
    EXPECT_EQ(peer_->LineOn(OutputLine::Rts), c.on) << c.state;
    EXPECT_EQ(peer_->LineOn(OutputLine::Break), c.on) << c.state;
  }
}

TEST_F(PulsioTest, LineSettersReportPortsThatAreNotThere) {
  for (int32_t handle : {0, -1, 987654}) {
    SetHandle(handle);
    EXPECT_EQ(DTR(1), 0) << handle;
    EXPECT_EQ(RTS(1), 0) << handle;
    EXPECT_EQ(TXD(1), 0) << handle;
  }
  ASSERT_EQ(OpenCom(1), 1);
  CloseCom();
  EXPECT_EQ(DTR(1), 0);  // no port until one is opened or lent again
  ASSERT_EQ(OpenCom(1), 1);
  peer_->SetFailing(PeerOperation::SetLine, true);
  EXPECT_EQ(DTR(1), 0);
}

TEST_F(PulsioTest, ModemStatusPacksTheInputLines) {
  Lend();
  struct Case {
    uint32_t lines;
    uint16_t status;
    uint16_t cts, dsr, ri, dcd;
  };
  for (auto c : {Case{kStatusDcd | kStatusCts, 9, 1, 0, 0, 1}, Case{kStatusCts, 1, 1, 0, 0, 0},
                 Case{kStatusDsr, 2, 0, 1, 0, 0}, Case{kStatusRing, 4, 0, 0, 1, 0}, Case{kStatusDcd, 8, 0, 0, 0, 1},
                 Case{kStatusCts | kStatusDsr | kStatusRing | kStatusDcd, 15, 1, 1, 1, 1}}) {
    // No remote plays, so DCD follows the polarity: on while dark for OnWhileLight it is off.
    peer_->SetPolarity((c.lines & kStatusDcd) ? platform::sim::DcdPolarity::OffWhileLight
                                              : platform::sim::DcdPolarity::OnWhileLight);
    peer_->SetInputLines(c.lines & ~kStatusDcd);
    EXPECT_EQ(MdmStatus(), c.status);
    EXPECT_EQ(CTS(), c.cts);
    EXPECT_EQ(DSR(), c.dsr);
    EXPECT_EQ(RI(), c.ri);
    EXPECT_EQ(DCD(), c.dcd);
  }
  peer_->SetFailing(PeerOperation::ModemStatus, true);
  EXPECT_EQ(MdmStatus(), 0);
  EXPECT_EQ(DCD(), 0);
  SetHandle(0);
  EXPECT_EQ(MdmStatus(), 0);
  EXPECT_EQ(CTS(), 0);
}

TEST_F(PulsioTest, SetModeSwitchesFormatsAndRefusesOtherModes) {
  PortHandle lent = Lend();
  auto port = FindPort(lent);
  PortSettings start;
  ASSERT_TRUE(port->GetSettings(start));
  start.baudRate = 2400;
  start.dataBits = 7;
  start.parity = Parity::Even;
  start.stopBits = StopBits::Two;
  start.ctsFlow = true;
  ASSERT_TRUE(port->SetSettings(start));

  for (int32_t mode : {3, 0, -1, 258}) {
    EXPECT_EQ(SetMode(mode), 0) << mode;
    EXPECT_EQ(peer_->Settings(), start) << mode;
  }
  struct Case {
    int32_t mode;
    uint32_t baudRate;
    uint8_t dataBits;
  };
  for (auto c : {Case{1, 115200, 6}, Case{2, 9600, 8}}) {
    ASSERT_EQ(SetMode(c.mode), 1);
    const PortSettings& now = peer_->Settings();
    EXPECT_EQ(now.baudRate, c.baudRate);
    EXPECT_EQ(now.dataBits, c.dataBits);
    EXPECT_EQ(now.parity, Parity::None);
    EXPECT_EQ(now.stopBits, StopBits::One);
    EXPECT_TRUE(now.ctsFlow);  // the flag word is not touched
  }
  peer_->SetFailing(PeerOperation::GetSettings, true);
  EXPECT_EQ(SetMode(1), 0);
}

TEST(CheckZone, DecodesZoneReports) {
  struct Case {
    uint8_t report;
    int32_t zone;
  };
  for (auto c : {Case{0x0B, 4}, Case{0x07, 0}, Case{0x88, 1}, Case{0x08, 1}, Case{0x0F, 8}, Case{0xFF, 8},
                 Case{0xF7, 0}, Case{0x00, 0}}) {
    EXPECT_EQ(CheckZone(&c.report), c.zone) << int{c.report};
  }
  EXPECT_EQ(CheckZone(nullptr), 0);
}

TEST(Monitor, KeepsOneValue) {
  EXPECT_EQ(SetMonitor(-123456), -123456);
  EXPECT_EQ(GetMonitor(), -123456);
  EXPECT_EQ(SetMonitor(7), 7);
  EXPECT_EQ(GetMonitor(), 7);
}

TEST_F(PulsioTest, OpenComSetsTheCarrierFormatAndKeepsWriteTimeouts) {
  {
    PortHandle host = OpenSerialTarget("sim:pulsio-ir");
    auto port = FindPort(host);
    PortSettings settings;
    ASSERT_TRUE(port->GetSettings(settings));
    settings.parityCheck = true;
    settings.xonXoff = true;
    settings.parity = Parity::Odd;
    settings.stopBits = StopBits::Two;
    ASSERT_TRUE(port->SetSettings(settings));
    ASSERT_TRUE(port->SetTimeouts({1, 2, 3, 7, 8}));
    port.reset();
    ClosePort(host);
  }
  ASSERT_EQ(OpenCom(1), 1);
  const PortSettings& s = peer_->Settings();
  EXPECT_EQ(s.baudRate, 115200u);
  EXPECT_EQ(s.dataBits, 6);
  EXPECT_EQ(s.parity, Parity::None);
  EXPECT_EQ(s.stopBits, StopBits::One);
  EXPECT_TRUE(s.parityCheck);
  EXPECT_FALSE(s.xonXoff || s.ctsFlow || s.dsrFlow);
  EXPECT_EQ(s.dtrControl, LineControl::Disable);
  EXPECT_FALSE(peer_->LineOn(OutputLine::Dtr));
  EXPECT_FALSE(peer_->LineOn(OutputLine::Rts));
  EXPECT_EQ(peer_->Timeouts(), (PortTimeouts{100, 100, 100, 7, 8}));
}

TEST_F(PulsioTest, OpenComThatFailsAfterOpeningKeepsThePort) {
  for (auto operation : {PeerOperation::GetSettings, PeerOperation::SetSettings, PeerOperation::GetTimeouts,
                         PeerOperation::SetTimeouts}) {
    peer_->SetFailing(operation, true);
    EXPECT_EQ(OpenCom(1), 0) << static_cast<int>(operation);
    EXPECT_TRUE(peer_->IsOpen());
    EXPECT_EQ(TXD(1), 1);  // still the port in use
    peer_->SetFailing(operation, false);
  }
  CloseCom();
  EXPECT_FALSE(peer_->IsOpen());
}

TEST_F(PulsioTest, OpenComFailsForMissingOrBusyPorts) {
  ScopedEnv com9("QVX_COM9", "/nonexistent/ttyS8");
  EXPECT_EQ(OpenCom(9), 0);
  EXPECT_EQ(DTR(1), 0);
  EXPECT_EQ(OpenCom(0), 0);
  EXPECT_EQ(OpenCom(10000), 0);
  EXPECT_EQ(JustOpenCom(-5), 0);

  PortHandle host = OpenSerialTarget("sim:pulsio-ir");
  EXPECT_EQ(OpenCom(1), 0);
  EXPECT_EQ(JustOpenCom(1), 0);
  ClosePort(host);
  EXPECT_EQ(OpenCom(1), 1);
  EXPECT_EQ(OpenCom(1), 1);  // reopening closes the port first
}

TEST_F(PulsioTest, OpenComTenUsesTheNameCom10) {
  auto tenth = platform::sim::InstallIrPeer("pulsio-com10", clock_);
  ScopedEnv com10("QVX_COM10", "sim:pulsio-com10");
  ASSERT_EQ(OpenCom(10), 1);
  EXPECT_TRUE(tenth->IsOpen());
  EXPECT_FALSE(peer_->IsOpen());
  CloseCom();
  UnregisterSimPeer("pulsio-com10");
}

TEST_F(PulsioTest, JustOpenComChangesNoSettings) {
  PortSettings before = peer_->Settings();
  PortTimeouts timeoutsBefore = peer_->Timeouts();
  ASSERT_EQ(JustOpenCom(1), 1);
  EXPECT_TRUE(peer_->IsOpen());
  EXPECT_EQ(peer_->Settings(), before);
  EXPECT_EQ(peer_->Timeouts(), timeoutsBefore);
}

TEST_F(PulsioTest, CloseComAlwaysSucceeds) {
  EXPECT_EQ(CloseCom(), 1);
  ASSERT_EQ(OpenCom(1), 1);
  EXPECT_EQ(CloseCom(), 1);
  EXPECT_FALSE(peer_->IsOpen());
  EXPECT_EQ(CloseCom(), 1);
}

TEST_F(PulsioTest, SpeakBeepTakesItsDurationAndReturnsIt) {
  ScopedEnv audio("QVX_AUDIO_DEVICE", "none");
  EXPECT_EQ(SpeakBeep(5000, 50), 50);
  EXPECT_EQ(clock_.NowNs(), 50'000'000);
  EXPECT_EQ(SpeakBeep(2000, -5), -5);  // no wait of weeks for a negative length
  EXPECT_EQ(SpeakBeep(-1, 30), 30);
  EXPECT_EQ(clock_.NowNs(), 50'000'000);
}

// Bytes through the real termios code on a pseudo-terminal.
class PulsioPty : public ::testing::Test {
 protected:
  void TearDown() override { CloseCom(); }
  PseudoTerminal pty_;
  ScopedEnv com7_{"QVX_COM7", pty_.Path()};
};

TEST_F(PulsioPty, SendsAndReadsSingleBytes) {
  ASSERT_EQ(OpenCom(7), 1);
  uint8_t byte = 'I';
  EXPECT_EQ(SendChr(&byte), 1);
  EXPECT_EQ(pty_.ReceivedFromPort(), "I");
  ASSERT_TRUE(pty_.SendToPort("R"));
  uint8_t got = 0;
  EXPECT_EQ(ReadChr(&got), 1);
  EXPECT_EQ(got, 'R');
  EXPECT_EQ(SendChr(nullptr), 0);
  EXPECT_EQ(ReadChr(nullptr), 0);
}

TEST_F(PulsioPty, ReadWithNothingArrivingTimesOutAndLeavesTheByte) {
  ASSERT_EQ(OpenCom(7), 1);
  uint8_t got = 0x42;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadChr(&got), 0);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(got, 0x42);
  EXPECT_GE(ms.count(), 195);  // OpenCom's 100 ms per byte plus 100 ms
  EXPECT_LT(ms.count(), 1000);
}

TEST_F(PulsioPty, LinesOfADeviceWithoutModemLinesReadAsOff) {
  ASSERT_EQ(OpenCom(7), 1);
  EXPECT_EQ(DTR(1), 0);
  EXPECT_EQ(RTS(1), 0);
  EXPECT_EQ(MdmStatus(), 0);
  EXPECT_EQ(DCD(), 0);
  EXPECT_EQ(CTS(), 0);
}

}  // namespace
