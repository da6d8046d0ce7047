// Kernel infrared devices as ports: the probe that tells them from serial ports by their own
// answers, the durations they hand out, sends within the kernel's limits, and every failure in
// the system's words. The device is the simulated kernel device behind the real system calls.

#include <gtest/gtest.h>
#include <linux/lirc.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <numeric>

#include "platform/infrared.h"
#include "platform/posix/kernel_ir_port.h"
#include "platform/serial_device.h"
#include "platform/sim/kernel_ir_device.h"
#include "platform/sim/virtual_clock.h"
#include "tests/support/terminal.h"

namespace {

using namespace platform;
using Kind = InfraredEvent::Kind;

class KernelIr : public ::testing::Test {
 protected:
  std::unique_ptr<SerialPort> Open(Status& why) {
    return OpenSerialDevice(device_->DevicePath(), why, *device_);
  }

  std::unique_ptr<SerialPort> Open() {
    Status why;
    auto port = Open(why);
    EXPECT_TRUE(why.ok()) << why.osText();
    return port;
  }

  sim::VirtualClock clock_;
  ScopedClock scoped_{clock_};
  std::unique_ptr<sim::KernelIrDevice> device_ =
      std::make_unique<sim::KernelIrDevice>(clock_, "sim:kernel-ir-test");
};

TEST_F(KernelIr, TheProbeAsksTheDeviceNotItsName) {
  struct Case {
    const char* name;
    bool receives, sends, fixedCarrier;
  } cases[] = {
      {"transceiver", true, true, false},
      {"receiver", true, false, false},
      {"transmitter with its own carrier", false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device_->SetCanReceive(c.receives);
    device_->SetCanSend(c.sends);
    device_->SetFixedCarrier(c.fixedCarrier);
    auto port = Open();
    ASSERT_NE(port, nullptr);
    InfraredDevice* infrared = port->Infrared();
    ASSERT_NE(infrared, nullptr);
    EXPECT_EQ(infrared->Path(), "sim:kernel-ir-test");
    const InfraredFeatures features = infrared->Features();
    EXPECT_EQ(features.receives, c.receives);
    EXPECT_EQ(features.sends, c.sends);
    EXPECT_EQ(features.setsCarrier, c.sends && !c.fixedCarrier);
    // It has no line format and no modem lines, and says so.
    PortSettings settings;
    EXPECT_EQ(port->GetSettings(settings).code(), StatusCode::NotSupported);
    uint32_t lines = 0xFF;
    EXPECT_EQ(port->GetModemStatus(lines).code(), StatusCode::NotSupported);
    EXPECT_EQ(lines, 0u);
    EXPECT_EQ(port->SetLine(OutputLine::Dtr, true).code(), StatusCode::NotSupported);
  }

  // A terminal is a serial port whatever its name; a plain file is neither.
  qvx::test::PseudoTerminal pty;
  ASSERT_FALSE(pty.Path().empty());
  Status why;
  auto serial = OpenSerialDevice(pty.Path(), why);
  ASSERT_NE(serial, nullptr) << why.osText();
  EXPECT_EQ(serial->Infrared(), nullptr);
  const std::string file =
      (std::filesystem::temp_directory_path() / ("lirc-" + std::to_string(getpid()))).string();
  std::ofstream(file) << "not a device";
  EXPECT_EQ(OpenSerialDevice(file, why), nullptr);
  EXPECT_EQ(why.osText(), file + " is neither a serial port nor a kernel infrared device");
  std::filesystem::remove(file);

  // Without opening anything, the kind comes from the device (or the simulated peer type).
  auto lirc = sim::InstallKernelIrDevice("kernel-ir-kind", clock_);
  qvx::test::ScopedEnv com7("QVX_COM7", "sim:kernel-ir-kind");
  qvx::test::ScopedEnv com8("QVX_COM8", pty.Path());
  qvx::test::ScopedEnv com9("QVX_COM9", "/dev/null");
  EXPECT_EQ(PortKindOf(7), PortKind::KernelInfrared);
  EXPECT_EQ(PortKindOf(8), PortKind::Serial);
  EXPECT_EQ(PortKindOf(9), PortKind::Absent);
  EXPECT_TRUE(SerialPortExists(7));
  UnregisterSimPeer("kernel-ir-kind");
}

TEST_F(KernelIr, ReceiveHandsOutWhatTheKernelTimed) {
  auto port = Open();
  InfraredDevice& infrared = *port->Infrared();
  std::vector<InfraredEvent> events;
  ASSERT_TRUE(infrared.Receive(events, 0));
  EXPECT_TRUE(events.empty());

  // Light 100 ms from now; darkness reported when the light begins, light when it ends, and
  // the end of the signal once it stayed dark for the receive timeout.
  clock_.AdvanceNs(50'000'000);
  device_->PlayRemote({9000, 4500, 560, 1690, 560}, 100'000);
  ASSERT_TRUE(infrared.Receive(events, 1000));
  // poll returned with the first value: the darkness since the device was opened.
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], (InfraredEvent{Kind::Space, 150'000}));
  events.clear();
  clock_.AdvanceNs(400'000'000);
  device_->OverflowAt(clock_.NowNs());
  ASSERT_TRUE(infrared.Receive(events, 0));
  const std::vector<InfraredEvent> expected = {
      {Kind::Pulse, 9000}, {Kind::Space, 4500}, {Kind::Pulse, 560},  {Kind::Space, 1690},
      {Kind::Pulse, 560},  {Kind::Timeout, sim::kKernelDefaultTimeoutUs}, {Kind::Overflow, LIRC_VALUE_MASK},
  };
  EXPECT_EQ(events, expected);

  // Nothing more is to come: a wait ends with nothing after its time.
  events.clear();
  const int64_t before = clock_.NowNs();
  ASSERT_TRUE(infrared.Receive(events, 20));
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(clock_.NowNs() - before, 20'000'000);
}

TEST_F(KernelIr, TrainsGoOutWithinTheKernelsLimits) {
  auto port = Open();
  InfraredDevice& infrared = *port->Infrared();
  // Frames of 67 values (37.5 ms), each followed by a gap.
  struct Case {
    const char* name;
    int frames;
    uint32_t gapUs;
    size_t writes;
  } cases[] = {
      {"one frame", 1, 40'000, 1},
      {"eight frames: more values than one write takes", 8, 40'000, 2},
      {"four frames far apart: longer than one write may last", 4, 150'000, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint32_t> train;
    for (int f = 0; f < c.frames; ++f) {
      train.insert(train.end(), 67, 560);
      train.push_back(c.gapUs);
    }
    train.pop_back();  // the train ends with light
    device_->ClearSent();
    const int64_t startNs = clock_.NowNs();
    ASSERT_TRUE(infrared.Transmit(train, kSendCarrierHz, kSendDutyCyclePercent));
    const auto& sent = device_->Sent();
    EXPECT_EQ(sent.size(), c.writes);
    // Joined with the darkness slept between them, the writes are the train.
    std::vector<uint32_t> joined;
    for (size_t w = 0; w < sent.size(); ++w) {
      if (w > 0) {
        const int64_t gapNs = sent[w].startNs - sent[w - 1].startNs -
                              1000 * std::accumulate(sent[w - 1].durationsUs.begin(),
                                                     sent[w - 1].durationsUs.end(), int64_t{0});
        joined.push_back(static_cast<uint32_t>(gapNs / 1000));
        // Cut between frames, at a gap.
        EXPECT_EQ(joined.back(), c.gapUs);
      }
      joined.insert(joined.end(), sent[w].durationsUs.begin(), sent[w].durationsUs.end());
      EXPECT_EQ(sent[w].carrierHz, 38'000u);
      EXPECT_EQ(sent[w].dutyCyclePercent, 33u);
    }
    EXPECT_EQ(joined, train);
    // The call returns once the light has gone out.
    EXPECT_GE(clock_.NowNs() - startNs,
              1000 * std::accumulate(train.begin(), train.end(), int64_t{0}));
  }
  // A single light longer than one write may carry, and malformed trains, are refused.
  for (const std::vector<uint32_t>& refused :
       {std::vector<uint32_t>{600'000}, std::vector<uint32_t>{560, 560}, std::vector<uint32_t>{560, 0, 560}}) {
    EXPECT_EQ(infrared.Transmit(refused, kSendCarrierHz, kSendDutyCyclePercent).code(),
              StatusCode::BadArgument);
  }
}

TEST_F(KernelIr, FailuresInTheSystemsWords) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    bool opens;
    StatusCode receive, transmit;
    const char* words;
  } cases[] = {
      {"no transmitter", [&] { device_->SetCanSend(false); }, true, StatusCode::Ok,
       StatusCode::NotSupported, "sim:kernel-ir-test cannot send pulse and space durations"},
      {"no receiver", [&] { device_->SetCanReceive(false); }, true, StatusCode::NotSupported,
       StatusCode::Ok, "sim:kernel-ir-test cannot receive pulse and space durations"},
      {"unplugged", [&] { device_->VanishAt(clock_.NowNs() + 1'000'000); }, true,
       StatusCode::NotFound, StatusCode::NotFound, "sim:kernel-ir-test has gone"},
      {"no permission", [&] { device_->DenyAccess(true); }, false, StatusCode::AccessDenied,
       StatusCode::AccessDenied, "open sim:kernel-ir-test: Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device_ = std::make_unique<sim::KernelIrDevice>(clock_, "sim:kernel-ir-test");
    c.arrange();
    Status why;
    auto port = Open(why);
    ASSERT_EQ(port != nullptr, c.opens) << why.osText();
    if (!c.opens) {
      EXPECT_EQ(why.code(), c.receive);
      EXPECT_EQ(why.osText(), c.words);
      continue;
    }
    clock_.AdvanceNs(2'000'000);
    InfraredDevice& infrared = *port->Infrared();
    std::vector<InfraredEvent> events;
    const Status received = infrared.Receive(events, 10);
    const uint32_t light[] = {560};
    const Status sent = infrared.Transmit(light, kSendCarrierHz, kSendDutyCyclePercent);
    EXPECT_EQ(received.code(), c.receive);
    EXPECT_EQ(sent.code(), c.transmit);
    EXPECT_EQ((received.ok() ? sent : received).osText(), c.words);
  }

  // A second opener finds the device locked, as a serial port is.
  device_ = std::make_unique<sim::KernelIrDevice>(clock_, "sim:kernel-ir-test");
  auto first = Open();
  Status why;
  EXPECT_EQ(Open(why), nullptr);
  EXPECT_EQ(why.code(), StatusCode::InUse);
}

// A Raspberry Pi offers its receiver and its transmitter as two devices; joined with "+" they
// are one port that learns and monitors through the first and sends through the second.
TEST_F(KernelIr, AReceiverAndATransmitterJoinIntoOnePort) {
  auto receiver = sim::InstallKernelIrDevice("pair-rx", clock_);
  auto transmitter = sim::InstallKernelIrDevice("pair-tx", clock_);
  receiver->SetCanSend(false);
  transmitter->SetCanReceive(false);
  qvx::test::PseudoTerminal pty;
  struct Case {
    std::string target;
    PortKind kind;
    StatusCode opened;
  } cases[] = {
      {"sim:pair-rx+sim:pair-tx", PortKind::KernelInfrared, StatusCode::Ok},
      {"sim:pair-rx+" + pty.Path(), PortKind::Absent, StatusCode::NotSupported},
      {"sim:pair-rx+sim:pair-none", PortKind::Absent, StatusCode::NotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    qvx::test::ScopedEnv com5("QVX_COM5", c.target);
    EXPECT_EQ(PortKindOf(5), c.kind);
    Status why;
    const PortHandle handle = OpenSerialPort(5, &why);
    EXPECT_EQ(why.code(), c.opened) << why.osText();
    if (handle <= 0) {
      // Nothing stays open behind a pair that could not be made.
      EXPECT_FALSE(receiver->IsOpen());
      continue;
    }
    InfraredDevice& pair = *FindPort(handle)->Infrared();
    EXPECT_EQ(pair.Path(), "sim:pair-rx+sim:pair-tx");
    EXPECT_TRUE(pair.Features().receives);
    EXPECT_TRUE(pair.Features().sends);
    receiver->PlayRemote({560}, 0);
    clock_.AdvanceNs(1'000'000);
    std::vector<InfraredEvent> events;
    ASSERT_TRUE(pair.Receive(events, 0));
    EXPECT_EQ(events.back(), (InfraredEvent{Kind::Pulse, 560}));
    const uint32_t light[] = {900};
    ASSERT_TRUE(pair.Transmit(light, kSendCarrierHz, kSendDutyCyclePercent));
    ASSERT_EQ(transmitter->Sent().size(), 1u);
    EXPECT_EQ(transmitter->Sent().front().durationsUs, std::vector<uint32_t>{900});
    EXPECT_TRUE(ClosePort(handle));
    EXPECT_FALSE(receiver->IsOpen());
    EXPECT_FALSE(transmitter->IsOpen());
  }
  UnregisterSimPeer("pair-rx");
  UnregisterSimPeer("pair-tx");
}

}  // namespace
