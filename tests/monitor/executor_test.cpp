#include "qvx/monitor/executor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "platform/sim/cm11_peer.h"
#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "pulsio/pulsio.h"
#include "qvx/config/general.h"
#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ircode/pulsetext.h"
#include "tests/support/fake_services.h"
#include "tests/support/support.h"

namespace qvx::monitor {
namespace {

using platform::sim::LightMark;

constexpr const char* kPower = "G00100000110111110001000011101111";

std::string Config(const std::map<std::string, std::string>& values) {
  return test::Crlf(test::GeneralSection(values, "0") +
                    "\n[TV]\n# NEC\nGPROTO= 0\nSENDPLS= 560\nREPEAT= 0\n"
                    "BITG= 111111111111111100000000\nBIT0= 10\nBIT1= 1000\nGREPEAT= 1\n" +
                    kPower + ",Power\n"
                    "\n[Half]\n# parameters missing\nGPROTO= 0\nSENDPLS= 560\nG0101010,Go\n"
                    "\n[X10]\n# modules\n/X10/*a1,Lamp\n"
                    "\n[Application]\n# programs\n@/bin/true,Nothing\n"
                    "\n[Monitoring]\n#\n\n[End]\n");
}

// The marks of a pulse text whose slots last slotUs, starting at 0.
std::vector<int64_t> MarkLengthsUs(const std::string& pulse, int slotUs) {
  std::vector<int64_t> lengths;
  for (std::size_t i = 0; i < pulse.size();) {
    const std::size_t end = pulse.find_first_not_of(pulse[i], i);
    const std::size_t run = (end == std::string::npos ? pulse.size() : end) - i;
    if (pulse[i] == '1') lengths.push_back(static_cast<int64_t>(run) * slotUs);
    i += run;
  }
  return lengths;
}

std::vector<int64_t> LengthsUs(const std::vector<LightMark>& marks) {
  std::vector<int64_t> lengths;
  for (const auto& mark : marks) lengths.push_back((mark.endNs - mark.startNs) / 1000);
  return lengths;
}

// Each emitted mark lasts its slots, give or take the transmitter's start-up of a few
// counter reads.
void ExpectMarks(const std::vector<int64_t>& emitted, const std::vector<int64_t>& expected) {
  ASSERT_EQ(emitted.size(), expected.size());
  for (std::size_t i = 0; i < emitted.size(); ++i)
    EXPECT_NEAR(emitted[i], expected[i], 50) << "mark " << i;
}

class Executor : public ::testing::Test {
 protected:
  void SetUp() override {
    clock_.SetCounterReadCostNs(1000);
    ::setenv("QVX_AUDIO_DEVICE", "none", 1);
    ::unsetenv("DISPLAY");
    ::setenv("QVX_COM1", "sim:exec-ir", 1);
    ::setenv("QVX_COM2", "sim:exec-cm11", 1);
    ir_ = platform::sim::InstallIrPeer("exec-ir", clock_);
    cm11_ = platform::sim::InstallCm11Peer("exec-cm11", clock_);
    store_.path = dir_ / "pelgrin.cfg";
    Load({});
  }
  void TearDown() override {
    SetHandle(0);
    ircode::ClosePort(mainPort_);
    platform::UnregisterSimPeer("exec-ir");
    platform::UnregisterSimPeer("exec-cm11");
  }
  void Load(std::map<std::string, std::string> values) {
    values.emplace("COMPORT", "1");
    test::WriteFile(store_.path, Config(values));
    ASSERT_TRUE(LoadGeneral(store_).ok);
  }
  // The main program holds its infrared port and lends it to the library.
  void OpenMainPort() {
    mainPort_ = ircode::OpenPort(1);
    ASSERT_GT(mainPort_, 0);
    ASSERT_TRUE(ircode::SetPortMode(115200, 6, mainPort_));
    SetHandle(mainPort_);
    ir_->ClearCapture();
  }
  std::string Run(ExecutorContext& context, const std::string& device, const std::string& command) {
    store_.currentDevice = device;
    store_.currentCommand = command;
    return ExecuteCommand(context);
  }
  std::vector<int64_t> EmittedMarksUs() {
    return LengthsUs(platform::sim::DtrLight(ir_->Captured(), clock_.NowNs()));
  }
  std::vector<int64_t> ExpectedMarksUs(const std::string& code, int slotUs) {
    ircode::SendState state;
    const auto params = ircode::DeviceParamsFromTexts("0", "560", "0", "111111111111111100000000",
                                                      "10", "1000", "1");
    bool toggle = false;
    return MarkLengthsUs(ircode::BuildPulseString(code.substr(1), *params, toggle), slotUs);
  }

  // The desktop's services as fakes, on the test's clock.
  platform::Services Services() {
    return {clock_, fakes_.input, fakes_.programs, fakes_.media, fakes_.player};
  }

  test::TempDir dir_;
  test::FakeServices fakes_;
  platform::sim::VirtualClock clock_;
  platform::ScopedClock scoped_{clock_};
  std::shared_ptr<platform::sim::IrPeer> ir_;
  std::shared_ptr<platform::sim::Cm11Peer> cm11_;
  ConfigStore store_;
  platform::PortHandle mainPort_ = platform::kPortClosed;
};

TEST_F(Executor, DispatchesByDeviceNameAndGatesEachOutput) {
  struct Case {
    std::map<std::string, std::string> flags;
    Variant variant;
    std::string device, command, status;
  } cases[] = {
      {{}, Variant::MainProgram, "X10&Lamp", "On", "X10 is disabled!"},
      {{}, Variant::MainProgram, "x10anything", "On", "X10 is disabled!"},
      {{}, Variant::MainProgram, "WINAMP", "PLAY", "Winamp is disabled!"},
      {{}, Variant::MainProgram, "Application", "Nothing", "Application device is disabled!"},
      {{{"APPLICATIONENA", "1"}}, Variant::MainProgram, "application", "Missing",
       "Error handling application!"},
      {{{"IROUTENA", "1"}}, Variant::MainProgram, "Mouse", "LEFT", "Error sending infrared command!"},
      {{}, Variant::MainProgram, "Mouse", "LEFT", "Infrared output is disabled!"},
      {{{"KEYBOARDENA", "1"}}, Variant::MainProgram, "Keyboard", "ESC", ""},
      {{{"IROUTENA", "1"}, {"MOUSEENA", "1"}}, Variant::Gateway, "Mouse", "LEFT",
       "Error sending infrared command!"},
      {{{"IROUTENA", "1"}}, Variant::MainProgram, "Half", "Go", "Error sending infrared command!"},
      {{{"IROUTENA", "1"}}, Variant::Gateway, "Recorded", "Recorded",
       "Recorded device unsupported in QVXWEB mode!"},
      {{{"IROUTENA", "1"}}, Variant::MainProgram, "Recorded", "Recorded",
       "Information about received command is not complete!"},
  };
  for (const auto& c : cases) {
    Load(c.flags);
    ExecutorContext context(store_, c.variant, Services());
    ir_->ClearCapture();
    EXPECT_EQ(Run(context, c.device, c.command), c.status) << c.device << " " << c.command;
    EXPECT_TRUE(platform::sim::TxdCarrier(ir_->Captured(), 1'000'000).empty()) << c.device;
    if (c.variant == Variant::MainProgram) {
      EXPECT_TRUE(ir_->Captured().empty()) << c.device << " emitted light";
    }
  }
}

TEST_F(Executor, SendsTheWindowsCodeAndSlotFromTheSendButton) {
  Load({{"IROUTENA", "1"}});
  OpenMainPort();
  ExecutorContext context(store_, Variant::MainProgram, Services());
  context.irPort = mainPort_;
  context.window.source = CodeSource::Window;
  context.window.codeStr = " G0101010101 ";
  context.window.sendPulse = " 600";
  EXPECT_EQ(Run(context, "TV", "Power"), "TV Power executed.");
  ExpectMarks(EmittedMarksUs(), ExpectedMarksUs("G0101010101", 600));
  ASSERT_TRUE(context.display.has_value());
}

TEST_F(Executor, MonitoredEventsSendTheStoredCodeAtTheDevicesSlotLength) {
  Load({{"IROUTENA", "1"}});
  OpenMainPort();
  ExecutorContext context(store_, Variant::MainProgram, Services());
  context.irPort = mainPort_;
  EXPECT_EQ(Run(context, "tv", "POWER"), "tv POWER executed.");
  ExpectMarks(EmittedMarksUs(), ExpectedMarksUs(kPower, 560));
}

TEST_F(Executor, OutputModeOneSetsTheInfraredPortBeforeAnyCommand) {
  Load({{"ITYPE", "16"}});
  OpenMainPort();
  ASSERT_TRUE(ircode::SetPortMode(9600, 8, mainPort_));
  ExecutorContext context(store_, Variant::MainProgram, Services());
  context.irPort = mainPort_;
  EXPECT_EQ(Run(context, "Winamp", "PLAY"), "Winamp is disabled!");
  EXPECT_EQ(ir_->Settings().baudRate, 115200u);
  EXPECT_EQ(ir_->Settings().dataBits, 6);
}

TEST_F(Executor, AGatewayOpensThePortForOneTransmissionAndClosesIt) {
  Load({{"IROUTENA", "1"}});
  ExecutorContext context(store_, Variant::Gateway, Services());
  EXPECT_EQ(Run(context, "TV", "Power"), "TV Power executed.");
  ExpectMarks(EmittedMarksUs(), ExpectedMarksUs(kPower, 560));
  EXPECT_FALSE(ir_->IsOpen());
  EXPECT_EQ(GetHandle(), 0);
  // A missing parameter closes the port too.
  EXPECT_EQ(Run(context, "Half", "Go"), "Error sending infrared command!");
  EXPECT_FALSE(ir_->IsOpen());
}

TEST_F(Executor, AGatewayWhosePortIsTakenFailsWithoutSending) {
  Load({{"IROUTENA", "1"}});
  const platform::PortHandle held = ircode::OpenPort(1);  // the main program holds the port
  ASSERT_GT(held, 0);
  ir_->ClearCapture();
  ExecutorContext context(store_, Variant::Gateway, Services());
  const std::string status = Run(context, "TV", "Power");
  EXPECT_EQ(status, "Cannot open COM port for infrared interface!");
  EXPECT_TRUE(ir_->Captured().empty());
  platform::PortHandle copy = held;
  ircode::ClosePort(copy);
}

// A gateway that finds a port lent to Pulsio sends through it and leaves it to its owner;
// it used to close the borrowed port and take it from Pulsio.
TEST_F(Executor, AGatewaySendsThroughAPortLentToPulsioAndLeavesItOpen) {
  Load({{"IROUTENA", "1"}});
  OpenMainPort();
  ExecutorContext context(store_, Variant::Gateway, Services());
  EXPECT_EQ(Run(context, "TV", "Power"), "TV Power executed.");
  ExpectMarks(EmittedMarksUs(), ExpectedMarksUs(kPower, 560));
  EXPECT_TRUE(ir_->IsOpen());
  EXPECT_EQ(GetHandle(), mainPort_);
  EXPECT_NE(platform::FindPort(mainPort_), nullptr);
}

TEST_F(Executor, AGatewayOpensTheSharedPortForAnX10InterfaceOnIt) {
  ::setenv("QVX_COM1", "sim:exec-cm11", 1);
  Load({{"X10ENA", "1"}});
  ExecutorContext context(store_, Variant::Gateway, Services());
  EXPECT_EQ(Run(context, "X10&LAMP", "On"), "X10-lamp On.");
  const auto sent = cm11_->Interface().Transmissions();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], (platform::sim::X10Transmission{0x06, 0x62}));
  EXPECT_FALSE(cm11_->IsOpen());
}

TEST_F(Executor, TheMainProgramTakesTheX10FunctionFromTheWindowOrTheWord) {
  Load({{"X10ENA", "1"}, {"X10COM", "2"}});
  ExecutorContext context(store_, Variant::MainProgram, Services());
  devices::LoadX10Section(context.x10.names, store_.text);  // done when the window selects X10
  context.window.x10Function = 3;  // "Off" selected in the window
  EXPECT_EQ(Run(context, "X10&Lamp", "On"), "X10-lamp On.");
  context.window.x10Function.reset();  // a monitored event: the word decides
  EXPECT_EQ(Run(context, "X10&Lamp", "On"), "X10-lamp On.");
  const auto sent = cm11_->Interface().Transmissions();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[1].code, 0x63);
  EXPECT_EQ(sent[3].code, 0x62);
}

TEST_F(Executor, BeepsFrameTheApplicationBranchButNotItsFailure) {
  Load({{"APPLICATIONENA", "1"}, {"BEEPON", "1"}});
  ExecutorContext context(store_, Variant::MainProgram, Services());
  int64_t before = clock_.NowNs();
  EXPECT_EQ(Run(context, "Application", "Nothing"), "Nothing executed.");
  EXPECT_EQ(clock_.NowNs() - before, 100'000'000);  // two beeps of 50 ms
  ASSERT_EQ(fakes_.programs.started.size(), 1u);
  EXPECT_EQ(fakes_.programs.started[0].commandLine, "/bin/true");
  EXPECT_EQ(fakes_.programs.started[0].mode, platform::ShowMode::kShownNoFocus);
  before = clock_.NowNs();
  EXPECT_EQ(Run(context, "Application", "Missing"), "Error handling application!");
  EXPECT_EQ(clock_.NowNs() - before, 50'000'000);  // the opening beep only
}

}  // namespace
}  // namespace qvx::monitor
