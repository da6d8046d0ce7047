#include "qvx/config/devices.h"

#include <gtest/gtest.h>

#include "qvx/config/general.h"
#include "qvx/config/store.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

using test::Crlf;

const std::string kGeneral = [] {
  std::string text = "[General]\n";
  for (const auto& key : GeneralKeys()) text += key + "= 0\n";
  return text;
}();

const std::string kDevices =
    "\n[TV]\n# Living room\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\nBITG= 1111\nBIT0= 10\n"
    "BIT1= 1000\nGREPEAT= 1\nG0011,Power\nG0101,POWER ON \nG0110,Vol+\n"
    "\n[Bare]\n#\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\nBITG= 1\nBIT0= 10\nBIT1= 1000\n"
    "\n[Amp]\n# \nGPROTO= 2\nSENDPLS= 850\nREPEAT= 150\nBITG= 0\nBIT0= 10\nBIT1= 01\nGREPEAT= 0\n"
    "G11000100001100,Standby\n"
    "\n[X10]\n# X10 modules\n/X10/*a1,Lamp\n/X10/*B16, Fan \n"
    "\n[Application]\n# Applications\n@/usr/bin/xterm,Terminal\n"
    "\n[Monitoring]\n# Events\nTV&Power,X10&Lamp&On\n"
    "\n[Late]\n# after monitoring\nGPROTO= 0\n"
    "\n[End]\n";

ConfigStore Store(const std::string& body = kDevices) {
  ConfigStore store;
  store.text = Crlf(kGeneral + body);
  return store;
}

struct Flags {
  bool irIn = false, irOut = false, x10 = false, winamp = false, app = false, mouse = false,
       keyboard = false, dimmer = false, bt = false;
};

void Enable(ConfigStore& store, const Flags& f) {
  auto& g = store.general;
  g.irInEna = f.irIn, g.irOutEna = f.irOut, g.x10Ena = f.x10, g.winampEna = f.winamp;
  g.applicationEna = f.app, g.mouseEna = f.mouse, g.keyboardEna = f.keyboard;
  g.irDimEna = f.dimmer, g.btEna = f.bt;
}

TEST(BuildDeviceList, FollowsTheEnableFlagsAndTheSectionOrder) {
  const Flags all{true, true, true, true, true, true, true, true, true};
  struct Case {
    std::string name;
    Flags flags;
    Variant variant;
    std::string expected;
  } cases[] = {
      {"everything, main window", all, Variant::MainProgram,
       "TV,Bare,Amp,X10&Lamp,X10&Fan,Winamp,Application,Mouse,IR Dimmer,Recorded,BT,"},
      {"everything, gateways", all, Variant::Gateway,
       "TV,Bare,Amp,X10&Lamp,X10&Fan,Winamp,Application,Mouse,Keyboard,IR Dimmer,"},
      {"infrared off: modules and built-ins only", {false, false, true, true}, Variant::MainProgram,
       "X10&Lamp,X10&Fan,Winamp,"},
      {"X10 off: the section is one device", {false, true}, Variant::MainProgram,
       "TV,Bare,Amp,X10,"},
      {"input only adds Recorded", {true}, Variant::MainProgram, "TV,Bare,Amp,X10,Recorded,"},
      {"nothing enabled", {}, Variant::MainProgram, "none,"},
      {"nothing enabled, gateways", {}, Variant::Gateway, "none,"},
  };
  for (const auto& c : cases) {
    ConfigStore store = Store();
    Enable(store, c.flags);
    EXPECT_EQ(BuildDeviceList(store, c.variant), c.expected) << c.name;
  }
}

TEST(BuildDeviceList, StopsAtMonitoringAndNeedsGeneral) {
  ConfigStore store = Store("\n[Monitoring]\n#\n\n[Hidden]\n#\n\n[End]\n");
  Enable(store, {true, true});
  EXPECT_EQ(BuildDeviceList(store, Variant::MainProgram), "Recorded,");
  store.text = Crlf("[TV]\n[End]\n");
  EXPECT_EQ(BuildDeviceList(store, Variant::MainProgram), "");
  store = Store("\n[TV]\n#\n");  // no section ends the scan
  Enable(store, {true, true});
  EXPECT_EQ(BuildDeviceList(store, Variant::MainProgram), "");
}

// A header is a line that starts with "[": a bracket in a path or a command name, or a last
// line without CR LF, changes nothing in the list.
TEST(BuildDeviceList, ALineIsAHeaderOnlyWhenItStartsWithABracket) {
  const std::pair<std::string, std::string> cases[] = {
      {"\n[TV]\n#\n\n[End]\n", "TV,Recorded,"},
      {"\n[TV]\n#\n\n[End]", "TV,Recorded,"},
      {"\n[TV]\n#\nG01,Key [1]\n\n[End]\n", "TV,Recorded,"},
      {"\n[TV]\n#\n [Indented]\n[Open\n\n[End]\n", "TV,Recorded,"},
  };
  for (const auto& [body, expected] : cases) {
    ConfigStore store = Store(body);
    const std::string path = "WINAMPPATH= 0";
    store.text.replace(store.text.find(path), path.size(), "WINAMPPATH= C:\\Progs [x86]\\w.exe");
    Enable(store, {true, true});
    EXPECT_EQ(BuildDeviceList(store, Variant::MainProgram), expected) << body;
  }
}

TEST(FillListFromText, SplitsOnCommasAndDropsTheUnterminatedTail) {
  EXPECT_EQ(FillListFromText("a,b,,c,tail"), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_TRUE(FillListFromText("").empty());
  EXPECT_EQ(FillListFromText(kWinampCommands).size(), 24u);
  EXPECT_EQ(FillListFromText(kMouseCommands).size(), 11u);
  EXPECT_EQ(FillListFromText(kX10Commands).size(), 7u);
  EXPECT_EQ(FillListFromText(kBluetoothEvents).size(), 22u);
  const auto keys = FillListFromText(kKeyboardKeys);
  EXPECT_EQ(keys.front(), "ESC");
  EXPECT_EQ(keys.back(), "NUMENTER");
  EXPECT_EQ(std::count(keys.begin(), keys.end(), "COMMA"), 1);
}

TEST(CommandLists, MainWindowAndGatewaysDifferWhereTheySay) {
  ConfigStore store = Store();
  struct Case {
    std::string device;
    std::string main;
    std::string gateway;
  } cases[] = {
      {"tv", "Power,POWER ON ,Vol+,", "Power,POWER ON ,Vol+,"},
      {"Bare", "EMPTY,", "none,"},
      {"Missing", "EMPTY,", "none,"},
      {"none", "none,", "none,"},
      {"", "EMPTY,", "none,"},
      {"end", "EMPTY,", "none,"},
      {"RECORDED", "Recorded,", "Recorded,"},
      {"Winamp", std::string(kWinampCommands), std::string(kWinampCommands)},
      {"ir dimmer", "ON/OFF,DIM/BRI,", "ON/OFF,DIM/BRI,"},
      {"Mouse", std::string(kMouseCommands), std::string(kMouseCommands)},
      {"X10&Lamp", std::string(kX10Commands), std::string(kX10Commands)},
      {"BT", "EMPTY,", std::string(kBluetoothEvents)},
      {"Keyboard", "EMPTY,", std::string(kKeyboardKeys)},
      {"Application", "Terminal,", "Terminal,"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandListText(store, c.device, Variant::MainProgram), c.main) << c.device;
    EXPECT_EQ(CommandListText(store, c.device, Variant::Gateway), c.gateway) << c.device;
  }
}

TEST(LoadCommandList, DisablesSendWhereThereIsNothingToSend) {
  ConfigStore store = Store();
  const CommandList tv = LoadCommandList(store, "TV");
  EXPECT_EQ(store.currentDevice, "TV");
  EXPECT_EQ(tv.entries, (std::vector<std::string>{"Power", "POWER ON ", "Vol+"}));
  EXPECT_TRUE(tv.sendEnabled);
  EXPECT_FALSE(LoadCommandList(store, "Bare").sendEnabled);
  EXPECT_FALSE(LoadCommandList(store, "none").sendEnabled);
  EXPECT_TRUE(LoadCommandList(store, "Recorded").sendEnabled);
}

TEST(FindCommandCode, FindsTheCodeWithinTheDeviceOnly) {
  const ConfigStore store = Store();
  EXPECT_EQ(FindCommandCode(store.text, "TV", "power"), "G0011");
  EXPECT_EQ(FindCommandCode(store.text, "TV", "POWER ON "), "G0101");  // the blank belongs to it
  EXPECT_EQ(FindCommandCode(store.text, "TV", "POWER ON"), std::nullopt);
  EXPECT_EQ(FindCommandCode(store.text, "Amp", "Power"), std::nullopt);  // TV's, not Amp's
  EXPECT_EQ(FindCommandCode(store.text, "Nobody", "Power"), std::nullopt);
}

TEST(FindDeviceParams, ReadsTheSevenLinesAndHonoursTheScope) {
  const ConfigStore store = Store();
  const auto amp = FindDeviceParams(store.text, "amp", ParamScope::WithinSection);
  ASSERT_TRUE(amp);
  EXPECT_EQ(amp->gproto, "2");
  EXPECT_EQ(amp->sendpls, "850");
  EXPECT_EQ(amp->repeat, "150");
  EXPECT_EQ(amp->bitg, "0");
  EXPECT_EQ(amp->bit0, "10");
  EXPECT_EQ(amp->bit1, "01");
  EXPECT_EQ(amp->grepeat, "0");
  // Bare lacks GREPEAT: the main window takes the next device's line, sending refuses.
  const auto bare = FindDeviceParams(store.text, "Bare", ParamScope::AcceptBeyondSection);
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->bitg, "1");
  EXPECT_EQ(bare->grepeat, "0");
  EXPECT_EQ(FindDeviceParams(store.text, "Bare", ParamScope::WithinSection), std::nullopt);
  EXPECT_EQ(FindDeviceParams(store.text, "Late", ParamScope::AcceptBeyondSection), std::nullopt);
  EXPECT_EQ(FindDeviceParams(store.text, "Nobody", ParamScope::AcceptBeyondSection), std::nullopt);
}

TEST(GetDeviceDescription, KeepsTheWritersBlank) {
  ConfigStore store = Store();
  EXPECT_EQ(GetDeviceDescription(store, "TV", false), " Living room");
  EXPECT_EQ(GetDeviceDescription(store, "Amp", false), " ");
  EXPECT_EQ(GetDeviceDescription(store, "Bare", false), "");
  EXPECT_EQ(GetDeviceDescription(store, "Nobody", false), "");
  EXPECT_EQ(GetDeviceDescription(store, "TV", true), "");
  store.importText = Crlf("[TV]\n# Imported\n");
  EXPECT_EQ(GetDeviceDescription(store, "TV", true), " Imported");
}

TEST(FindCodeInConfig, NamesTheDeviceAndCommandOfACode) {
  ConfigStore store = Store();
  EXPECT_TRUE(FindCodeInConfig(store, "0110", 0));
  EXPECT_EQ(store.currentDevice, "TV");
  EXPECT_EQ(store.currentCommand, "Vol+");
  // RC5: a code received with toggle bit 1 is stored with toggle bit 0.
  EXPECT_TRUE(FindCodeInConfig(store, "11100100001100", 2));
  EXPECT_EQ(store.currentDevice, "Amp");
  EXPECT_EQ(store.currentCommand, "Standby");
  EXPECT_FALSE(FindCodeInConfig(store, "11100100001100", 0));
  EXPECT_FALSE(FindCodeInConfig(store, "1111", 0));
  EXPECT_FALSE(FindCodeInConfig(store, "", 2));
}

TEST(FindCodeInConfig, RefusesHitsNearTheStartAndTheLowerCaseGeneralSection) {
  ConfigStore store;
  store.text = Crlf("G01,first\n[x]\nG10,ok\n");
  EXPECT_FALSE(FindCodeInConfig(store, "01", 0));  // the hit ends at position 4
  EXPECT_TRUE(FindCodeInConfig(store, "10", 0));
  store.text = Crlf("# header text\n[general]\nG10,x\n");
  EXPECT_FALSE(FindCodeInConfig(store, "10", 0));
  store.text = Crlf("# header text\n[General]\nG10,x\n");
  EXPECT_TRUE(FindCodeInConfig(store, "10", 0));
}

TEST(SplitOutputCommand, SplitsAtTheSecondAmpersandWhenThereIsOne) {
  ConfigStore store;
  store.currentDevice = "old";
  store.currentCommand = "old";
  SplitOutputCommand(store, "no ampersand");
  EXPECT_EQ(store.currentDevice, "old");
  SplitOutputCommand(store, "X10&Lamp&On");
  EXPECT_EQ(store.currentDevice, "X10&Lamp");
  EXPECT_EQ(store.currentCommand, "On");
  SplitOutputCommand(store, "winamp&");
  EXPECT_EQ(store.currentDevice, "winamp");
  EXPECT_EQ(store.currentCommand, "");
}

TEST(Names, ValidatesNamesCodesAndDeviceNames) {
  std::string name = "  POWER ON  ";
  EXPECT_TRUE(IsValidName(name));
  EXPECT_EQ(name, "POWER ON");
  for (std::string bad : {"a[b", "a]", ",", "#1", "50%", "A&B", "Mute\r\n[Radio", "a\nb"})
    EXPECT_FALSE(IsValidName(bad)) << bad;

  for (const char* code : {"G01", " g0101 ", "010", "0G1"}) EXPECT_TRUE(IsValidCode(code)) << code;
  for (const char* code : {"G0", "", "GG01", "G012", "G01 1"}) EXPECT_FALSE(IsValidCode(code)) << code;

  const std::string list = "TV,Winamp,Recorded,";
  EXPECT_EQ(CheckDeviceName("General", list, false), "This is a reserved name!");
  EXPECT_EQ(CheckDeviceName(" END ", list, true), "This is a reserved name!");
  EXPECT_EQ(CheckDeviceName("a#b", list, true),
            "Device name cannot contain the following chars: [ ] , # ");
  EXPECT_EQ(CheckDeviceName("winamp", list, true), "The new device name is in use");
  EXPECT_EQ(CheckDeviceName("ab", list, true), "Device name must have 3 to 12 characters");
  EXPECT_EQ(CheckDeviceName("abcdefghijklm", list, true), "Device name must have 3 to 12 characters");
  EXPECT_EQ(CheckDeviceName("abcdefghijkl", list, true), std::nullopt);
  EXPECT_EQ(CheckDeviceName("ab", list, false), std::nullopt);  // edit mode only checks reserved names

  EXPECT_EQ(GetDeviceKind("X10&Lamp"), DeviceKind::X10);
  EXPECT_EQ(GetDeviceKind("IR DIMMER"), DeviceKind::IrDimmer);
  EXPECT_EQ(GetDeviceKind("Bt"), DeviceKind::Phone);
  EXPECT_EQ(GetDeviceKind("Bluetooth"), DeviceKind::Bluetooth);
  EXPECT_EQ(GetDeviceKind("TV"), DeviceKind::Infrared);
}

}  // namespace
}  // namespace qvx
