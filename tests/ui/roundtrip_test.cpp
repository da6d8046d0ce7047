// Learning through the window: Record on the simulated receiver, Save into the device, Send to
// the simulated transmitter, and the recording of what was sent finding the saved command; the
// same on a kernel infrared device, with monitoring.

#include <QGroupBox>
#include <numeric>

#include "platform/sim/kernel_ir_device.h"

#include "qvx/ui/model/demo_remote.h"
#include "qvx/ui/signal_view.h"
#include "tests/ui/window_fixture.h"

namespace qvx::test {
namespace {

constexpr uint32_t kGreen = 0x00FF00;

class RoundTripTest : public WindowTest {
 protected:
  void Press(const ui::DemoKey& key) {
    bool toggle = false;
    const auto light = ui::DemoPress(SavedConfig(), key, toggle);
    ASSERT_FALSE(light.empty());
    ir_->PlayRemote(light, 20'000);
  }
  ui::SignalView* Plot() const { return Find<ui::SignalView>("Signal"); }
};

TEST_F(RoundTripTest, RecordSaveSendAndRecordWhatWasSent) {
  Open();
  Choose("Protocol", "VCR");
  Press(ui::DemoKeys()[0]);
  Click("RecButton");
  EXPECT_EQ(Status(), "A valid SONY type command has been received.");
  EXPECT_EQ(Text("CodeStr"), "G100110011010");
  EXPECT_EQ(Background("CodeStr"), kGreen);
  EXPECT_EQ(Text("IRCommand"), "?");
  EXPECT_EQ(Text("GProt"), "SONY");
  EXPECT_EQ(Text("Rpt"), "Y");
  EXPECT_EQ(Text("BitNr"), "12");
  EXPECT_EQ(Text("AddrVal"), "11");
  EXPECT_EQ(Text("CmdVal"), "25");
  EXPECT_EQ(Find<QGroupBox>("Frame1")->title().toStdString(), "SONY params");
  EXPECT_EQ(Plot()->TraceColour(), QColor(0, 255, 0));
  EXPECT_FALSE(Plot()->Samples().empty());

  prompter_.textAnswers = {std::string(" Pause ")};
  Click("SaveCmdButton");
  EXPECT_EQ(SavedConfig(), EditedConfig({{"PROTOCOL= 0", "PROTOCOL= 1"},
                                         {"G000110011010,Stop\r\n",
                                          "G000110011010,Stop\r\nG100110011010,Pause\r\n"}}));
  EXPECT_EQ(Text("SendCmd"), "Pause");
  EXPECT_EQ(Text("IRCommand"), "VCR&Pause");
  EXPECT_NE(Background("CodeStr"), kGreen);

  ir_->ClearCapture();
  Click("SendButton");
  EXPECT_EQ(Status(), "VCR Pause executed.");
  EXPECT_TRUE(Find("SendButton")->isEnabled());
  EXPECT_FALSE(Plot()->Samples().empty());
  const auto light = platform::sim::DtrLight(ir_->Captured(), clock_.NowNs());
  ASSERT_FALSE(light.empty());

  ir_->PlayMarks(light, 20'000);
  Click("RecButton");
  EXPECT_EQ(Text("IRCommand"), "VCR&Pause");
  EXPECT_EQ(Text("CodeStr"), "G100110011010");
  EXPECT_EQ(Background("CodeStr"), Background("SendButton"));  // button face: stored
  EXPECT_EQ(Text("SendCmd"), "Pause");
}

TEST_F(RoundTripTest, TheDemonstrationRemotePressesTheNextKeyWhenARecordingStarts) {
  int64_t wallMs = 0;
  Open();
  ui::AttachDemoRemote(*ir_, [this] { return window_->Store().text; }, [&wallMs] { return wallMs; });
  Choose("Protocol", "VCR");
  struct Case {
    std::string irCommand, code, device, command;
  };
  const std::vector<Case> cases = {
      {"?", "G100110011010", "VCR", "Power"},
      {"VCR&Play", "G010110011010", "VCR", "Play"},
      {"?", "G00100000110111111001000001101111", "VCR", "Play"},
      {"Amp&Vol+", "G11010000010000", "Amp", "Vol+"},
      {"?", "G100110011010", "Amp", "Vol+"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    wallMs += 2000;  // the user takes a moment before each recording
    Click("RecButton");
    EXPECT_EQ(Text("IRCommand"), c.irCommand);
    EXPECT_EQ(Text("CodeStr"), c.code);
    EXPECT_EQ(Text("Protocol"), c.device);
    EXPECT_EQ(Text("SendCmd"), c.command);
  }
  // A recording right after the last one gets no press: the remote is still in the hand.
  Click("RecButton");
  EXPECT_EQ(Status(), "No signal received for 5 seconds!");
}

TEST_F(RoundTripTest, RecordingIsRefusedWhileMonitoring) {
  Open();
  Menu("MonitoringStartMenu")->trigger();
  Click("RecButton");
  EXPECT_EQ(Status(), "You cannot record a command when monitoring function is activated!");
}

// COM1 a kernel infrared device: Record learns a stored key, Send writes its durations, which
// recorded again name the same command, and monitoring names a key without blocking in the dark.
TEST_F(RoundTripTest, LearnsSendsAndMonitorsThroughAKernelDevice) {
  const auto device = platform::sim::InstallKernelIrDevice("uilirc", clock_);
  ::setenv("QVX_COM1", "sim:uilirc", 1);
  Open("", {{"X10COM= 0", "X10COM= 2"}});
  bool toggle = false;
  const ui::DemoKey& play = ui::DemoKeys()[1];
  ASSERT_EQ(play.key, "Play");
  device->PlayRemote(ui::DemoPress(SavedConfig(), play, toggle), 20'000);
  Click("RecButton");
  EXPECT_EQ(Text("IRCommand"), "VCR&Play");
  EXPECT_EQ(Text("SendCmd"), "Play");

  Click("SendButton");
  EXPECT_EQ(Status(), "VCR Play executed.");
  ASSERT_EQ(device->Sent().size(), 1u);
  const auto& sent = device->Sent().front();
  EXPECT_EQ(sent.carrierHz, 38'000u);
  device->PlayRemote({sent.durationsUs.begin(), sent.durationsUs.end()}, 20'000);
  Click("RecButton");
  EXPECT_EQ(Text("IRCommand"), "VCR&Play");

  Menu("MonitoringStartMenu")->trigger();
  EXPECT_EQ(Status(), "Monitoring started OK.");
  const int64_t darkStartNs = clock_.NowNs();
  window_->IRMonTimerTick();
  EXPECT_EQ(Text("RecCmd"), "");
  EXPECT_LT(clock_.NowNs() - darkStartNs, 1'000'000);  // the dark tick did not wait for light

  const auto power = ui::DemoPress(SavedConfig(), ui::MonitoredDemoKeys()[0], toggle);
  device->PlayRemote(power, 10'000);
  clock_.AdvanceNs((10'000 + std::accumulate(power.begin(), power.end(), int64_t{0})) * 1000 +
                   200'000'000);  // the tick comes after the press, which the kernel queued
  window_->IRMonTimerTick();
  EXPECT_EQ(Text("RecCmd"), "TV&Power");
  EXPECT_EQ(Text("ExecCmd"), "X10&Lamp&On;");
  Menu("MonitoringStopMenu")->trigger();
  window_.reset();
  platform::UnregisterSimPeer("uilirc");
}

}  // namespace
}  // namespace qvx::test
