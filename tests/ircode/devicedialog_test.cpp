#include "qvx/ircode/devicedialog.h"

#include <gtest/gtest.h>

#include "qvx/config/devices.h"
#include "tests/support/support.h"

namespace qvx::ircode {
namespace {

using test::Crlf;
using test::ReadFile;
using test::ScriptedPrompter;
using Strings = std::vector<std::string>;

const std::string kConfig = Crlf(
    "[General]\nCOMPORT= 1\n"
    "\n[TV]\n# Living room\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\nBITG= 1111\nBIT0= 10\n"
    "BIT1= 1000\nGREPEAT= 1\nG0011,Power\nG0110,Vol+\n"
    "\n[X10]\n# X10 modules\n/X10/*a1,Lamp\n"
    "\n[End]\n");
constexpr std::string_view kDeviceList = "TV,X10&Lamp,Winamp,Recorded,";

// The configuration with a new device's lines (LF line ends) where the dialog puts them: after
// the blank line that precedes [X10], followed by their own blank line.
std::string WithNewDevice(const std::string& lines) {
  std::string text = kConfig;
  text.insert(text.find("\r\n[X10]"), Crlf("\n" + lines + "\n\n"));
  return text;
}

class DeviceDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store.path = dir / "pelgrin.cfg";
    store.text = kConfig;
  }
  // A new device dialog with a protocol chosen and the name and description typed.
  DeviceDialog NewDialog(int protocol, const std::string& name, const std::string& description) {
    store.deviceDialogMode = DeviceDialogMode::New;
    store.currentDevice = "Recorded";
    DeviceDialog dialog = *OpenDeviceDialog(store, prompter, {});
    if (protocol >= 0) ChooseProtocol(dialog, protocol);
    dialog.name = name;
    dialog.description = description;
    return dialog;
  }
  std::optional<std::string> Save(DeviceDialog& dialog, bool approve = true) {
    prompter.yesNoAnswers = {approve};
    return SaveDevice(store, prompter, dialog, kDeviceList);
  }
  void ExpectSaved(const std::string& expected) {
    EXPECT_EQ(store.text, expected);
    EXPECT_EQ(ReadFile(store.path), expected);
  }

  test::TempDir dir;
  ConfigStore store;
  ScriptedPrompter prompter;
};

TEST_F(DeviceDialogTest, ANewDeviceGoesBeforeX10AfterApproval) {
  DeviceDialog dialog = NewDialog(1, "  Living TV ", " Living room TV ");
  dialog.sendpls = " 600 ";
  EXPECT_EQ(Save(dialog, false), std::nullopt);  // No: nothing written, the dialog stays
  EXPECT_FALSE(std::filesystem::exists(store.path));
  EXPECT_EQ(Save(dialog), " 600");
  const std::string block =
      "[Living TV]\n# Living room TV\nGPROTO= 1\nSENDPLS= 600\nREPEAT= 40\nBITG= 1111\n"
      "BIT0= 01\nBIT1= 011\nGREPEAT= 40";
  ExpectSaved(WithNewDevice(block));
  EXPECT_EQ(prompter.questions[1], "A new device with the following parameters will be "
                                   "created:\r\n" + Crlf("\n" + block + "\n\n") +
                                       "\r\nDo you want to save it?");
}

TEST_F(DeviceDialogTest, RepeatAndGRepeatRules) {
  const struct {
    std::string repeat, grepeat;
    std::string refusal;        // empty: accepted
    std::string savedGRepeat;   // as written
  } cases[] = {
      {"16", "1", "", " 1"},
      {"15", "1", "REPEAT must have an integer value greater than 16 (or 0)", ""},
      {"1", "1", "REPEAT must have an integer value greater than 16 (or 0)", ""},
      {"0", "0", "", " 0"},
      {"0", "-5", "", "-5"},
      {"0", "2", "GREPEAT must have an integer value greater than 16 (or 0 or 1)", ""},
      {"0", "15", "GREPEAT must have an integer value greater than 16 (or 0 or 1)", ""},
      {"40", "40", "", " 40"},
      {"100", "20", "", " 100"},
      {"100", "1", "", " 1"},
      {"40000", "1", "REPEAT must have an integer value greater than 16 (or 0)", ""},
  };
  for (const auto& c : cases) {
    store.text = kConfig;
    prompter = {};
    DeviceDialog dialog = NewDialog(0, "Fan", "");
    dialog.repeat = c.repeat;
    dialog.grepeat = c.grepeat;
    const auto saved = Save(dialog);
    if (!c.refusal.empty()) {
      EXPECT_EQ(saved, std::nullopt) << c.repeat << "/" << c.grepeat;
      EXPECT_EQ(prompter.messages, Strings{"QVX: " + c.refusal});
      EXPECT_EQ(store.text, kConfig);
      continue;
    }
    ASSERT_TRUE(saved) << c.repeat << "/" << c.grepeat;
    EXPECT_EQ(store.text, WithNewDevice("[Fan]\n# \nGPROTO= 0\nSENDPLS= 550\nREPEAT= " + c.repeat +
                                        "\nBITG= 111111111111111100000000\nBIT0= 10\n"
                                        "BIT1= 1000\nGREPEAT=" + c.savedGRepeat))
        << c.repeat << "/" << c.grepeat;
  }
}

TEST_F(DeviceDialogTest, RefusalsInTheirOrder) {
  const struct {
    std::string name;
    void (*edit)(DeviceDialog&);
    std::string message;
  } cases[] = {
      {"General", nullptr, "This is a reserved name!"},
      {"end", nullptr, "This is a reserved name!"},
      {"a#b", nullptr, "Device name cannot contain the following chars: [ ] , # "},
      {"WINAMP", nullptr, "The new device name is in use"},
      {"ab", nullptr, "Device name must have 3 to 12 characters"},
      {"abcdefghijklm", nullptr, "Device name must have 3 to 12 characters"},
      {"Fan", [](DeviceDialog& d) { d.sendpls = "x"; },
       "SENDPLS must have an integer value greater than 0"},
      {"Fan", [](DeviceDialog& d) { d.bit1 = " "; },
       "BITx must not be empty, if no BITG, then BITG=0"},
      {"Fan", [](DeviceDialog& d) { d.description = "a,b"; },
       "Description cannot contain the following chars: [ ] , # "},
      {"Fan", [](DeviceDialog& d) { d.bitg = "12"; }, "BITG must have a binary value"},
      {"Fan", [](DeviceDialog& d) { d.bit0 = "1x"; }, "BIT0 must have a binary value"},
      {"Fan", [](DeviceDialog& d) { d.bit1 = "2"; }, "BIT1 must have a binary value"},
  };
  for (const auto& c : cases) {
    prompter = {};
    DeviceDialog dialog = NewDialog(0, c.name, "");
    if (c.edit) c.edit(dialog);
    EXPECT_EQ(Save(dialog), std::nullopt) << c.message;
    EXPECT_EQ(prompter.messages, Strings{"QVX: " + c.message});
    EXPECT_TRUE(prompter.questions.empty());
  }
  // Twelve characters are accepted.
  prompter = {};
  DeviceDialog dialog = NewDialog(0, "abcdefghijkl", "");
  EXPECT_TRUE(Save(dialog));
}

TEST_F(DeviceDialogTest, TheRc5PresetNeedsALeader) {
  DeviceDialog dialog = NewDialog(2, "Amp", "");
  EXPECT_EQ(Save(dialog), std::nullopt);
  EXPECT_EQ(prompter.messages, Strings{"QVX: BITx must not be empty, if no BITG, then BITG=0"});
  dialog.bitg = "0";
  EXPECT_EQ(Save(dialog), " 850");
  ExpectSaved(WithNewDevice("[Amp]\n# \nGPROTO= 2\nSENDPLS= 850\nREPEAT= 150\nBITG= 0\n"
                            "BIT0= 10\nBIT1= 01\nGREPEAT= 0"));
}

TEST_F(DeviceDialogTest, WithoutAProtocolChoiceGProtoIsMinusOneAndEditingSelectsNone) {
  DeviceDialog dialog = NewDialog(-1, "Fan", "");
  EXPECT_EQ(dialog.sendpls, "");  // no learned code and no choice: the fields stay empty
  dialog.sendpls = "700";
  dialog.repeat = "0";
  dialog.grepeat = "1";
  dialog.bitg = "1";
  dialog.bit0 = "10";
  dialog.bit1 = "01";
  ASSERT_TRUE(Save(dialog));
  ExpectSaved(WithNewDevice("[Fan]\n# \nGPROTO=-1\nSENDPLS= 700\nREPEAT= 0\nBITG= 1\n"
                            "BIT0= 10\nBIT1= 01\nGREPEAT= 1"));
  store.deviceDialogMode = DeviceDialogMode::Edit;
  store.currentDevice = "fan";
  const auto edited = OpenDeviceDialog(store, prompter, {});
  ASSERT_TRUE(edited);
  EXPECT_EQ(edited->gproto, -1);  // no protocol selected, no presets applied
  EXPECT_EQ(edited->bit1, "01");
}

TEST_F(DeviceDialogTest, ALearnedCodeOpensWithItsProtocol) {
  const struct {
    int detected;
    int gproto;
    std::string repeat, grepeat, bitg, bit0, bit1;
  } cases[] = {
      {0, 0, "50", "1", "111111111111111100000000", "10", "1000"},
      {1, 1, "40", "40", "1111", "01", "011"},
      {2, 2, "90", "0", "", "10", "01"},
      {99, 3, "50", "1", "1100", "100", "1110"},  // Custom: the patterns held at that moment
  };
  store.deviceDialogMode = DeviceDialogMode::New;
  store.currentDevice = "RECORDED";
  for (const auto& c : cases) {
    MainWindowFields window;
    window.codeStr = "G0101";
    window.bitNr = "4";
    window.sendPulse = "605";
    window.detectedProto = c.detected;
    window.params.bitg = "1100";
    window.params.bit0 = "100";
    window.params.bit1 = "1110";
    const auto dialog = OpenDeviceDialog(store, prompter, window);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->gproto, c.gproto);
    EXPECT_EQ(dialog->sendpls, "605");
    EXPECT_EQ(dialog->repeat, c.repeat) << c.detected;
    EXPECT_EQ(dialog->grepeat, c.grepeat) << c.detected;
    EXPECT_EQ(dialog->bitg, c.bitg) << c.detected;
    EXPECT_EQ(dialog->bit0, c.bit0) << c.detected;
    EXPECT_EQ(dialog->bit1, c.bit1) << c.detected;
  }
}

TEST_F(DeviceDialogTest, EditingKeepsTheCommandsUnderTheNewName) {
  store.deviceDialogMode = DeviceDialogMode::Edit;
  store.currentDevice = "TV";
  MainWindowFields window;
  window.selectedPosition = 4;
  auto dialog = OpenDeviceDialog(store, prompter, window);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->returnPosition, 4);
  EXPECT_EQ(dialog->name, "TV");  // two characters: an unchanged name is not checked
  EXPECT_EQ(dialog->description, "Living room");
  dialog->name = "Telly";
  dialog->repeat = "0";
  ASSERT_EQ(Save(*dialog), " 550");
  const std::string block =
      "[Telly]\n# Living room\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 0\nBITG= 1111\nBIT0= 10\n"
      "BIT1= 1000\nGREPEAT= 1";
  std::string expected = kConfig;
  const std::string old = Crlf("[TV]\n# Living room\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\n"
                               "BITG= 1111\nBIT0= 10\nBIT1= 1000\nGREPEAT= 1");
  expected.replace(expected.find(old), old.size(), Crlf(block));
  ExpectSaved(expected);
  EXPECT_EQ(prompter.questions,
            Strings{"The edited device is:\r\n" + Crlf(block) + "\r\n\r\nDo you want to save it?"});
  EXPECT_EQ(ListDeviceCommands(store.text, "Telly"), (Strings{"Power", "Vol+"}));
}

TEST_F(DeviceDialogTest, ARenameFollowsTheNamingRules) {
  store.deviceDialogMode = DeviceDialogMode::Edit;
  store.currentDevice = "TV";
  const struct {
    std::string name, message;
  } cases[] = {
      {"General", "This is a reserved name!"},
      {"Winamp", "The new device name is in use"},
      {"TV,VCR", "Device name cannot contain the following chars: [ ] , # "},
  };
  for (const auto& c : cases) {
    prompter = {};
    auto dialog = OpenDeviceDialog(store, prompter, {});
    dialog->name = c.name;
    EXPECT_EQ(Save(*dialog), std::nullopt) << c.name;
    EXPECT_EQ(prompter.messages, Strings{"QVX: " + c.message});
  }
  EXPECT_EQ(store.text, kConfig);
  // Another spelling of its own name is no rename.
  auto dialog = OpenDeviceDialog(store, prompter, {});
  dialog->name = "tv";
  EXPECT_TRUE(Save(*dialog));
  EXPECT_NE(store.text.find("\r\n[tv]\r\n# Living room\r\n"), std::string::npos);
}

TEST_F(DeviceDialogTest, ADeviceWithoutABlockCannotBeEdited) {
  store.deviceDialogMode = DeviceDialogMode::Edit;
  store.currentDevice = "Ghost";
  EXPECT_EQ(OpenDeviceDialog(store, prompter, {}), std::nullopt);
  EXPECT_EQ(prompter.messages, Strings{"Critical Error: Error in the configuration file\r\n"
                                       "The Device Form can not be opened"});
}

TEST_F(DeviceDialogTest, ANewDeviceNeedsAnX10SectionToGoBefore) {
  store.text = Crlf("[General]\nCOMPORT= 1\n\n[End]\n");
  DeviceDialog dialog = NewDialog(0, "Fan", "");
  EXPECT_EQ(Save(dialog), std::nullopt);
  EXPECT_EQ(prompter.messages.back(),
            "QVX: The configuration file has no [X10] section to place the device before!");
  EXPECT_FALSE(std::filesystem::exists(store.path));
}

}  // namespace
}  // namespace qvx::ircode
