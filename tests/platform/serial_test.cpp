// The handle table, COMn names and the choice between devices and simulated peers.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/serial.h"
#include "platform/sim/peer.h"
#include "platform/sim/virtual_clock.h"
#include "tests/support/terminal.h"

namespace {

using namespace platform;
using platform::sim::Peer;
using platform::sim::VirtualClock;
using qvx::test::PseudoTerminal;
using qvx::test::ScopedEnv;

bool DescriptorOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

TEST(HandleTable, APeerHoldsADescriptorReservedForItUntilItCloses) {
  VirtualClock clock;
  auto peer = std::make_shared<Peer>(clock);
  PortHandle handle = RegisterPort(peer->OpenPort());
  ASSERT_GT(handle, 0);
  EXPECT_NE(FindPort(handle), nullptr);
  EXPECT_TRUE(DescriptorOpen(handle));
  EXPECT_TRUE(ClosePort(handle));
  EXPECT_FALSE(peer->IsOpen());
  EXPECT_EQ(FindPort(handle), nullptr);
  EXPECT_FALSE(DescriptorOpen(handle));
  EXPECT_FALSE(ClosePort(handle));
}

TEST(HandleTable, ADeviceIsKnownByItsOwnDescriptor) {
  PseudoTerminal pty;
  PortHandle handle = OpenSerialTarget(pty.Path());
  ASSERT_GT(handle, 0);
  char name[128] = {};
  ASSERT_EQ(ttyname_r(handle, name, sizeof name), 0);
  EXPECT_EQ(name, pty.Path());
  EXPECT_TRUE(AdoptPort(handle));  // known already: nothing to adopt
  ForgetAdoptedPort(handle);       // not adopted: stays
  EXPECT_NE(FindPort(handle), nullptr);
  EXPECT_TRUE(ClosePort(handle));
  EXPECT_FALSE(DescriptorOpen(handle));
}

TEST(HandleTable, AHostsPortIsAdoptedAndLetGoWithoutClosingIt) {
  PseudoTerminal pty;
  const int own = open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GT(own, 0);
  ASSERT_TRUE(AdoptPort(own));
  auto port = FindPort(own);
  ASSERT_NE(port, nullptr);
  size_t written = 0;
  ASSERT_TRUE(port->Write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("ab"), 2), written));
  EXPECT_EQ(pty.ReceivedFromPort(), "ab");
  port.reset();
  ForgetAdoptedPort(own);
  EXPECT_EQ(FindPort(own), nullptr);
  ASSERT_TRUE(DescriptorOpen(own));

  // A host that closes its port without letting it go: the system hands the number out again,
  // and the new port takes its place.
  ASSERT_TRUE(AdoptPort(own));
  close(own);
  PortHandle reopened = OpenSerialTarget(pty.Path());
  ASSERT_EQ(reopened, own);
  EXPECT_TRUE(ClosePort(reopened));
  EXPECT_FALSE(DescriptorOpen(reopened));
}

TEST(HandleTable, OnlyOpenSerialDevicesAreAdopted) {
  const int notATty = open("/dev/null", O_RDONLY | O_CLOEXEC);
  struct Case {
    int handle;
    StatusCode why;
  };
  for (auto c : {Case{kPortClosed, StatusCode::BadArgument}, Case{kPortFailed, StatusCode::BadArgument},
                 Case{987654, StatusCode::BadArgument}, Case{notATty, StatusCode::NotSupported}}) {
    Status why;
    EXPECT_FALSE(AdoptPort(c.handle, &why)) << c.handle;
    EXPECT_EQ(why.code(), c.why) << c.handle;
    EXPECT_EQ(FindPort(c.handle), nullptr) << c.handle;
  }
  EXPECT_TRUE(DescriptorOpen(notATty));
  close(notATty);
}

TEST(HandleTable, ZeroMinusOneAndUnknownHandlesHaveNoPort) {
  for (PortHandle handle : {kPortClosed, kPortFailed, 123456789}) {
    EXPECT_EQ(FindPort(handle), nullptr) << handle;
    EXPECT_FALSE(ClosePort(handle)) << handle;
  }
  EXPECT_EQ(RegisterPort(nullptr), kPortFailed);
}

TEST(PortTarget, MapsComNumbersToTtySDevices) {
  struct Case {
    int32_t port;
    const char* target;
  };
  for (auto c : {Case{1, "/dev/ttyS0"}, Case{2, "/dev/ttyS1"}, Case{10, "/dev/ttyS9"},
                 Case{9999, "/dev/ttyS9998"}, Case{0, ""}, Case{-3, ""}, Case{10000, ""}}) {
    EXPECT_EQ(PortTarget(c.port), c.target) << c.port;
  }
}

TEST(PortTarget, EnvironmentOverridesOnePort) {
  ScopedEnv usb("QVX_COM3", "/dev/ttyUSB0");
  ScopedEnv sim("QVX_COM12", "sim:ir");
  ScopedEnv empty("QVX_COM4", "");
  EXPECT_EQ(PortTarget(3), "/dev/ttyUSB0");
  EXPECT_EQ(PortTarget(12), "sim:ir");
  EXPECT_EQ(PortTarget(4), "/dev/ttyS3");
  EXPECT_EQ(PortTarget(2), "/dev/ttyS1");
}

TEST(FrameBits, CountsStartDataParityAndStopBits) {
  struct Case {
    uint8_t dataBits;
    Parity parity;
    StopBits stopBits;
    uint32_t bits;
  };
  for (auto c : {Case{6, Parity::None, StopBits::One, 8}, Case{8, Parity::None, StopBits::One, 10},
                 Case{7, Parity::Even, StopBits::One, 10}, Case{8, Parity::None, StopBits::Two, 11},
                 Case{5, Parity::Odd, StopBits::OnePointFive, 9}}) {
    PortSettings settings;
    settings.dataBits = c.dataBits;
    settings.parity = c.parity;
    settings.stopBits = c.stopBits;
    EXPECT_EQ(FrameBits(settings), c.bits) << int{c.dataBits};
  }
}

TEST(SerialPortExists, TellsPresentPortsWithoutOpeningThem) {
  VirtualClock clock;
  auto peer = std::make_shared<Peer>(clock);
  peer->RegisterAs("exists-test");
  PseudoTerminal pty;
  ASSERT_FALSE(pty.Path().empty());
  auto file = std::filesystem::temp_directory_path() / "qvx-not-a-port";
  std::ofstream(file) << "x";

  struct Case {
    const char* target;
    bool exists;
  };
  for (auto c : {Case{"sim:exists-test", true}, Case{"sim:nobody", false}, Case{pty.Path().c_str(), true},
                 Case{"/nonexistent/ttyS0", false}, Case{"/dev/null", false}, Case{file.c_str(), false}}) {
    ScopedEnv mapped("QVX_COM5", c.target);
    EXPECT_EQ(SerialPortExists(5), c.exists) << c.target;
  }
  EXPECT_FALSE(SerialPortExists(0));
  EXPECT_FALSE(peer->IsOpen());
  EXPECT_TRUE(UnregisterSimPeer("exists-test"));
  EXPECT_FALSE(UnregisterSimPeer("exists-test"));
  std::filesystem::remove(file);
}

TEST(OpenSerialPort, FailsForMissingDevicesFilesAndUnknownPeers) {
  auto file = std::filesystem::temp_directory_path() / "qvx-not-a-port";
  std::ofstream(file) << "x";
  for (const std::string& target : std::vector<std::string>{"/nonexistent/ttyS0", "sim:nobody", "/dev/null", file.string()}) {
    ScopedEnv mapped("QVX_COM6", target);
    EXPECT_EQ(OpenSerialPort(6), kPortFailed) << target;
  }
  EXPECT_EQ(OpenSerialPort(0), kPortFailed);
  std::filesystem::remove(file);
}

TEST(OpenSerialPort, OpensTheRegisteredPeerOnceAtATime) {
  VirtualClock clock;
  auto peer = std::make_shared<Peer>(clock);
  peer->RegisterAs("once");
  ScopedEnv mapped("QVX_COM2", "sim:once");
  PortHandle first = OpenSerialPort(2);
  ASSERT_GT(first, 0);
  EXPECT_TRUE(peer->IsOpen());
  EXPECT_EQ(OpenSerialPort(2), kPortFailed);
  EXPECT_TRUE(ClosePort(first));
  PortHandle again = OpenSerialPort(2);
  EXPECT_GT(again, 0);
  EXPECT_TRUE(ClosePort(again));
  UnregisterSimPeer("once");
}

}  // namespace
