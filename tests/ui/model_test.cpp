// The window's decisions without Qt: what device selection changes for the cases the window
// tests do not reach, the Send button's checks, the plot's geometry and the dialog filters.

#include <gtest/gtest.h>

#include "qvx/ui/model/presentation.h"

namespace qvx::ui {
namespace {

SelectionFacts Facts(const std::string& device) {
  SelectionFacts facts;
  facts.device = device;
  facts.version = "1.0.0";
  return facts;
}

TEST(SelectDevice, InfraredPathsFollowTheReceiverAndThePorts) {
  SelectionFacts facts = Facts("TV");
  facts.receiverType = 4;  // FirM
  facts.x10Com = 2;
  facts.fullLayout = false;
  DeviceSelection selection = SelectDevice(facts);
  EXPECT_EQ(selection.first.rts, std::optional<bool>(false));
  EXPECT_EQ(selection.first.zoneVisible, std::optional<bool>(true));
  EXPECT_TRUE(selection.first.closeX10Port);
  EXPECT_FALSE(selection.first.initIrMan);
  EXPECT_EQ(selection.first.caption, std::optional<std::string>("ZVX Send Mgr v1.0.0"));
  EXPECT_TRUE(selection.loadParams);
  EXPECT_EQ(selection.first.fullLayout, std::nullopt);  // an infrared device keeps the layout

  facts.receiverType = 2;  // IRMan
  facts.x10Com = 0;
  selection = SelectDevice(facts);
  EXPECT_TRUE(selection.first.initIrMan);
  EXPECT_FALSE(selection.first.closeX10Port);
  EXPECT_EQ(selection.first.rts, std::optional<bool>(true));

  // Recorded loads no parameters and clears what the last recording showed.
  selection = SelectDevice(Facts("recorded"));
  EXPECT_FALSE(selection.loadParams);
  EXPECT_TRUE(selection.first.clearRecordedFields);
  EXPECT_EQ(selection.first.deviceListColour, std::optional<ListColour>(kGreen));

  // An infrared device whose list is "EMPTY" has nothing to send.
  facts = Facts("TV");
  facts.listAllowsSend = false;
  EXPECT_EQ(SelectDevice(facts).afterwards->sendEnabled, std::optional<bool>(false));
}

TEST(SelectDevice, ThePhoneEntryIsShownAsTheBluetoothDevice) {
  for (const std::string device : {"BT", "bluetooth"}) {
    const DeviceSelection selection = SelectDevice(Facts(device));
    ASSERT_TRUE(selection.afterwards);
    EXPECT_EQ(selection.afterwards->sendEnabled, std::optional<bool>(false)) << device;
    EXPECT_EQ(selection.afterwards->deviceListColour, std::optional<ListColour>(kCyan));
    EXPECT_EQ(selection.first.caption, std::optional<std::string>("Special Remote v1.0.0"));
    EXPECT_EQ(selection.afterwards->commandList,
              std::optional<CommandFill>(device == "BT" ? CommandFill::PhoneEvents : CommandFill::Stored));
  }
  EXPECT_EQ(DeviceListToolTip(kCyan, "ignored"), std::nullopt);
}

TEST(SwitchLayout, WorksForInfraredMouseAndKeyboardOnlyWhileNotMonitoring) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"TV", true},      {"Recorded", true}, {"Mouse", true},  {"Keyboard", true},
      {"X10&Lamp", false}, {"none", false},  {"IR Dimmer", false}, {"Winamp", false},
      {"Application", false}, {"BT", false}};
  for (const auto& [device, switches] : cases) {
    EXPECT_EQ(SwitchLayout(device, false, true, "1").has_value(), switches) << device;
    EXPECT_FALSE(SwitchLayout(device, true, true, "1").has_value()) << device;
  }
}

TEST(SendButton, OutputDevicesSkipTheCodeChecks) {
  for (const std::string device : {"X10&Lamp", "IR Dimmer", "Application", "Winamp", "BT",
                                   "Bluetooth", "Mouse", "Keyboard"})
    EXPECT_TRUE(SendsWithoutCode(device)) << device;
  for (const std::string device : {"TV", "Recorded", "none"}) EXPECT_FALSE(SendsWithoutCode(device));
  EXPECT_TRUE(NoCommandSelected(" Empty "));
  EXPECT_TRUE(NoCommandSelected(""));
  EXPECT_FALSE(NoCommandSelected("Power"));
  EXPECT_EQ(CodeRefusal(true, "G0101"), " The received command is not yet validated!");
  EXPECT_EQ(CodeRefusal(false, "  "), "Nothing to be send!");
  EXPECT_EQ(CodeRefusal(false, "G0101"), std::nullopt);
}

TEST(PlotTrace, PlacesSamplesByScrollAndZoomAndStopsBeforeTheRightEdge) {
  // Height 100: "0" at y 88, "1" at y 48; sample k at (k + scroll + 8) x zoom.
  EXPECT_EQ(PlotTrace("0011", 0, 1.0, 200, 100),
            (std::vector<PlotStroke>{{8, 88, 10, 88}, {10, 88, 10, 48}, {10, 48, 11, 48}}));
  EXPECT_EQ(PlotTrace("10", 2, 2.0, 200, 100),
            (std::vector<PlotStroke>{{20, 48, 22, 48}, {22, 48, 22, 88}, {22, 88, 22, 88}}));
  // Width 30 leaves x below 20: samples 0 to 11 with scroll 0.
  const auto strokes = PlotTrace(std::string(40, '1'), 0, 1.0, 30, 100);
  ASSERT_EQ(strokes.size(), 1u);
  EXPECT_EQ(strokes[0].x2, 19);
  EXPECT_TRUE(PlotTrace("0101", 20, 1.0, 30, 100).empty());
}

TEST(QtFileFilter, TurnsTheSystemsFilterIntoQtsAndOffersEveryFile) {
  EXPECT_EQ(QtFileFilter("Executable Files (*.exe;*.com)|*.exe;*.com|Sound Files (*.wav;*.mp3)|"
                         "*.wav;*.mp3"),
            "Executable Files (*.exe *.com);;Sound Files (*.wav *.mp3);;All Files (*)");
  EXPECT_EQ(QtFileFilter("Configuration Files (*.cfg)|*.cfg|All Files (*.*)|*.*"),
            "Configuration Files (*.cfg);;All Files (*)");
  EXPECT_EQ(QtFileFilter(""), "All Files (*)");
  // Programs and scripts are every name; the dialog keeps to the executable ones itself.
  const std::string programs = "Programs and Scripts|<executable>|Sound Files (*.wav;*.mp3)|*.wav;*.mp3";
  EXPECT_EQ(QtFileFilter(programs), "Programs and Scripts (*);;Sound Files (*.wav *.mp3)");
  EXPECT_EQ(ExecutableFilterIndex(programs), 0);
  EXPECT_EQ(ExecutableFilterIndex("Sound Files (*.wav)|*.wav|Any|<executable>;*.sh"), 1);
  EXPECT_EQ(ExecutableFilterIndex("Executable Files (*.exe;*.com)|*.exe;*.com"), -1);
}

TEST(Presentation, ColoursAndSizes) {
  EXPECT_EQ(RgbOf(kMagenta), (Rgb{255, 0, 255}));
  EXPECT_EQ(RgbOf(kYellow), (Rgb{255, 255, 0}));
  EXPECT_EQ(RgbOf(kCyan), (Rgb{0, 255, 255}));
  EXPECT_EQ(RgbOf(kRed), (Rgb{255, 0, 0}));
  EXPECT_EQ(Pixels(GeometryOf(false).windowWidth), 236);
  EXPECT_EQ(Pixels(GeometryOf(true).windowHeight), 338);
}

}  // namespace
}  // namespace qvx::ui
