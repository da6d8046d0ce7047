// The termios implementation, on a pseudo-terminal: formats, time-outs, bytes, exclusivity
// and modem lines that a pseudo-terminal does not have.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "platform/serial.h"
#include "tests/support/terminal.h"

namespace {

using namespace platform;
using qvx::test::PseudoTerminal;
using qvx::test::ScopedEnv;
using Ms = std::chrono::milliseconds;

class PtyPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty_.Path().empty());
    handle_ = OpenSerialPort(7);
    ASSERT_GT(handle_, 0);
    port_ = FindPort(handle_);
  }
  void TearDown() override {
    port_.reset();
    ClosePort(handle_);
  }

  PseudoTerminal pty_;
  ScopedEnv mapped_{"QVX_COM7", pty_.Path()};
  PortHandle handle_ = kPortFailed;
  std::shared_ptr<SerialPort> port_;
};

// Milliseconds a call takes.
template <typename Body>
int64_t ElapsedMs(Body body) {
  auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(PtyPort, SecondOpenFailsInTheSameProcessUntilTheFirstCloses) {
  EXPECT_EQ(OpenSerialPort(7), kPortFailed);
  EXPECT_EQ(OpenSerialTarget(pty_.Path()), kPortFailed);
  port_.reset();
  ASSERT_TRUE(ClosePort(handle_));
  handle_ = OpenSerialPort(7);
  EXPECT_GT(handle_, 0);
}

TEST_F(PtyPort, SecondOpenFailsFromAnotherProcess) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // 0: refused as expected; 1: the port opened although another process holds it.
    _exit(OpenSerialPort(7) == kPortFailed ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PtyPort, ReleasedPortOpensFromAnotherProcess) {
  port_.reset();
  ASSERT_TRUE(ClosePort(handle_));
  handle_ = kPortFailed;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(OpenSerialPort(7) > 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A pseudo-terminal keeps baud rate and stop bits but always reports 8 data bits without
// parity; data bits and parity are checked on the simulated peers.
TEST_F(PtyPort, LineFormatsRoundTripAndRefusedOnesLeaveTheFormat) {
  struct Case {
    uint32_t baudRate;
    uint8_t dataBits;
    Parity parity;
    StopBits stopBits;
    bool accepted;
  };
  PortSettings last;
  for (auto c : {Case{115200, 6, Parity::None, StopBits::One, true}, Case{9600, 8, Parity::None, StopBits::One, true},
                 Case{2400, 7, Parity::Even, StopBits::Two, true}, Case{19200, 8, Parity::Odd, StopBits::One, true},
                 Case{12345, 8, Parity::None, StopBits::One, false}, Case{9600, 9, Parity::None, StopBits::One, false},
                 Case{9600, 8, Parity::None, StopBits::OnePointFive, false}}) {
    PortSettings wanted;
    ASSERT_TRUE(port_->GetSettings(wanted));
    wanted.baudRate = c.baudRate;
    wanted.dataBits = c.dataBits;
    wanted.parity = c.parity;
    wanted.stopBits = c.stopBits;
    wanted.dtrControl = LineControl::Disable;
    wanted.rtsControl = LineControl::Disable;
    EXPECT_EQ(port_->SetSettings(wanted).ok(), c.accepted) << c.baudRate;
    PortSettings now;
    ASSERT_TRUE(port_->GetSettings(now));
    if (c.accepted) last = wanted;
    EXPECT_EQ(now.baudRate, last.baudRate) << c.baudRate;
    EXPECT_EQ(now.stopBits, last.stopBits) << c.baudRate;
    EXPECT_EQ(now.dtrControl, LineControl::Disable) << c.baudRate;
  }
}

TEST_F(PtyPort, ReturnAtOnceReadsGiveWhatHasArrived) {
  ASSERT_TRUE(port_->SetTimeouts(kReturnAtOnceTimeouts));
  std::array<uint8_t, 100> buffer{};
  size_t received = 99;
  EXPECT_LT(ElapsedMs([&] { EXPECT_TRUE(port_->Read(buffer, received)); }), 50);
  EXPECT_EQ(received, 0u);

  ASSERT_TRUE(pty_.SendToPort("ok\r\n"));
  usleep(20'000);
  EXPECT_TRUE(port_->Read(buffer, received));
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + received), "ok\r\n");
}

TEST_F(PtyPort, TotalTimeoutEndsAReadWithNothing) {
  ASSERT_TRUE(port_->SetTimeouts({100, 100, 100, 0, 0}));
  std::array<uint8_t, 1> buffer{};
  size_t received = 1;
  int64_t ms = ElapsedMs([&] { EXPECT_TRUE(port_->Read(buffer, received)); });
  EXPECT_EQ(received, 0u);
  EXPECT_GE(ms, 195);  // 100 ms per byte plus 100 ms
  EXPECT_LT(ms, 1000);
}

TEST_F(PtyPort, IntervalTimeoutEndsAReadAfterTheLastByte) {
  ASSERT_TRUE(port_->SetTimeouts({50, 0, 0, 0, 0}));
  ASSERT_TRUE(pty_.SendToPort("AT"));
  std::array<uint8_t, 10> buffer{};
  size_t received = 0;
  int64_t ms = ElapsedMs([&] { EXPECT_TRUE(port_->Read(buffer, received)); });
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + received), "AT");
  EXPECT_LT(ms, 1000);
}

TEST_F(PtyPort, WritesAndSingleCharactersReachThePeer) {
  const std::string text = "AT*EAID=13,2,\"QVX\"\r";
  size_t written = 0;
  ASSERT_TRUE(port_->Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), written));
  EXPECT_EQ(written, text.size());
  EXPECT_EQ(pty_.ReceivedFromPort(), text);
  EXPECT_TRUE(port_->TransmitChar(0x1B));
  EXPECT_EQ(pty_.ReceivedFromPort(), "\x1B");
}

// The far end holds the port's output with XOFF: writes wait, a single character still goes.
TEST_F(PtyPort, ASingleCharacterGoesAheadOfHeldOutput) {
  PortSettings settings;
  ASSERT_TRUE(port_->GetSettings(settings));
  settings.xonXoff = true;
  ASSERT_TRUE(port_->SetSettings(settings));
  // Reads wait up to a second for each byte; writes give up after 50 ms.
  ASSERT_TRUE(port_->SetTimeouts({0, 0, 1000, 0, 50}));
  // Each flow byte is followed by a marker, whose arrival shows the flow byte was taken.
  auto send = [&](const std::string& bytes) {
    ASSERT_TRUE(pty_.SendToPort(bytes));
    uint8_t byte = 0;
    size_t received = 0;
    ASSERT_TRUE(port_->Read(std::span(&byte, 1), received));
    ASSERT_EQ(received, 1u);
    EXPECT_EQ(byte, 'M');
  };
  const std::string queued = "queued";
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(queued.data()), queued.size());
  size_t written = 0;

  send("\x13M");  // XOFF
  ASSERT_TRUE(port_->Write(bytes, written));
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(port_->TransmitChar(0x1B));
  EXPECT_EQ(pty_.ReceivedFromPort(), "\x1B");

  send("\x11M");  // XON
  ASSERT_TRUE(port_->Write(bytes, written));
  EXPECT_EQ(written, queued.size());
  EXPECT_EQ(pty_.ReceivedFromPort(), queued);
}

TEST_F(PtyPort, ModemLinesFailSoftlyWhereTheDeviceHasNone) {
  uint32_t status = 0x5A;
  EXPECT_FALSE(port_->GetModemStatus(status));
  EXPECT_FALSE(port_->SetLine(OutputLine::Dtr, true));
  EXPECT_FALSE(port_->SetLine(OutputLine::Rts, false));
}

TEST_F(PtyPort, AFarEndThatWentAwayFailsReadsAndWrites) {
  uint8_t buffer[16] = {};
  size_t received = 0;
  ASSERT_TRUE(port_->Read(buffer, received));  // silence while the far end is there
  pty_.Hangup();
  // The hang-up is reported, not taken for silence.
  const Status read = port_->Read(buffer, received);
  EXPECT_EQ(read.code(), StatusCode::NotFound);
  EXPECT_EQ(received, 0u);
  size_t written = 0;
  EXPECT_FALSE(port_->Write(std::span(buffer, 2), written));
}

TEST_F(PtyPort, FreshPortReadsReturnAtOnce) {
  PortTimeouts timeouts;
  ASSERT_TRUE(port_->GetTimeouts(timeouts));
  EXPECT_EQ(timeouts, kReturnAtOnceTimeouts);
}

}  // namespace
