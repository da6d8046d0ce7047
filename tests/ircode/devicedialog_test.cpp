#include "qvx/ircode/devicedialog.h"

#include <gtest/gtest.h>

#include <tuple>

#include "qvx/config/devices.h"
#include "tests/support/support.h"

namespace qvx::ircode {
namespace {

using test::Crlf;
using Strings = std::vector<std::string>;

const std::string kTvLines =
    "[TV]\n# Living room\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\nBITG= 1111\nBIT0= 10\n"
    "BIT1= 1000\nGREPEAT= 1";
const std::string kConfig = Crlf("[General]\nCOMPORT= 1\n\n" + kTvLines +
                                 "\nG0011,Power\nG0110,Vol+\n\n[X10]\n# X10 modules\n\n[End]\n");
constexpr std::string_view kDeviceList = "TV,X10&Lamp,Winamp,Recorded,";

// The configuration with a new device's lines where the dialog puts them: after the blank line
// that precedes [X10], followed by a blank line of their own.
std::string WithNewDevice(const std::string& lines) {
  std::string text = kConfig;
  return text.insert(text.find("\r\n[X10]"), Crlf("\n" + lines + "\n\n"));
}

class DeviceDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store.path = dir / "pelgrin.cfg";
    store.text = kConfig;
  }
  // Opens the dialog in mode for device; protocol >= 0 is then chosen in GProtoIn.
  DeviceDialog Open(DeviceDialogMode mode, const std::string& device, int protocol = -1) {
    store.deviceDialogMode = mode;
    store.currentDevice = device;
    DeviceDialog dialog = *OpenDeviceDialog(store, prompter, {});
    if (protocol >= 0) ChooseProtocol(dialog, protocol);
    return dialog;
  }
  std::optional<std::string> Save(DeviceDialog& dialog, bool approve = true) {
    prompter.yesNoAnswers = {approve};
    return SaveDevice(store, prompter, dialog, kDeviceList);
  }

  test::TempDir dir;
  ConfigStore store;
  test::ScriptedPrompter prompter;
};

TEST_F(DeviceDialogTest, SaveChecksTheFieldsInOrderAndWritesTheBlock) {
  // Each row edits the NEC preset of a new device named Fan; empty texts keep the preset.
  struct Row {
    std::string name = "Fan", sendpls{}, repeat{}, grepeat{}, bitg{}, bit0{}, bit1{}, description{};
    std::string refusal{};       // empty: saved
    std::string savedGRepeat{};  // GREPEAT as written when saved
  };
  const std::string repeatRule = "REPEAT must have an integer value greater than 16 (or 0)";
  const std::string grepeatRule = "GREPEAT must have an integer value greater than 16 (or 0 or 1)";
  const std::string lengthRule = "Device name must have 3 to 12 characters";
  const Row rows[] = {
      {.repeat = "16", .savedGRepeat = " 1"},
      {.repeat = "15", .refusal = repeatRule},
      {.repeat = "1", .refusal = repeatRule},
      {.repeat = "40000", .refusal = repeatRule},
      {.repeat = "0", .grepeat = "0", .savedGRepeat = " 0"},
      {.repeat = "0", .grepeat = "-5", .savedGRepeat = "-5"},
      {.grepeat = "2", .refusal = grepeatRule},
      {.grepeat = "15", .refusal = grepeatRule},
      {.repeat = "40", .grepeat = "40", .savedGRepeat = " 40"},
      {.repeat = "100", .grepeat = "20", .savedGRepeat = " 100"},
      {.repeat = "100", .grepeat = "1", .savedGRepeat = " 1"},
      {.name = "General", .refusal = "This is a reserved name!"},
      {.name = "end", .refusal = "This is a reserved name!"},
      {.name = "a#b", .refusal = "Device name cannot contain the following chars: [ ] , # "},
      {.name = "WINAMP", .refusal = "The new device name is in use"},
      {.name = "ab", .repeat = "15", .refusal = lengthRule},
      {.name = "abcdefghijklm", .refusal = lengthRule},
      {.name = "abcdefghijkl", .savedGRepeat = " 1"},
      {.sendpls = "x", .refusal = "SENDPLS must have an integer value greater than 0"},
      {.bitg = "12", .bit1 = " ", .refusal = "BITx must not be empty, if no BITG, then BITG=0"},
      {.bitg = "12",
       .description = "a,b",
       .refusal = "Description cannot contain the following chars: [ ] , # "},
      {.bitg = "12", .bit0 = "1x", .refusal = "BITG must have a binary value"},
      {.bit0 = "1x", .refusal = "BIT0 must have a binary value"},
      {.bit1 = "2", .refusal = "BIT1 must have a binary value"},
  };
  for (const Row& row : rows) {
    store.text = kConfig;
    prompter = {};
    DeviceDialog dialog = Open(DeviceDialogMode::New, "Recorded", 0);
    dialog.name = row.name;
    const auto set = [](std::string& field, const std::string& typed) {
      if (!typed.empty()) field = typed;
    };
    set(dialog.sendpls, row.sendpls), set(dialog.repeat, row.repeat);
    set(dialog.grepeat, row.grepeat), set(dialog.bitg, row.bitg), set(dialog.bit0, row.bit0);
    set(dialog.bit1, row.bit1), set(dialog.description, row.description);
    const auto saved = Save(dialog);
    const std::string label = row.name + " " + row.repeat + "/" + row.grepeat + " " + row.refusal;
    if (!row.refusal.empty()) {
      EXPECT_EQ(saved, std::nullopt) << label;
      EXPECT_EQ(prompter.messages, Strings{"QVX: " + row.refusal}) << label;
      EXPECT_TRUE(prompter.questions.empty()) << label;
      EXPECT_EQ(store.text, kConfig) << label;
      continue;
    }
    EXPECT_EQ(saved, " 550") << label;
    EXPECT_EQ(store.text, WithNewDevice("[" + row.name +
                                        "]\n# \nGPROTO= 0\nSENDPLS= 550\nREPEAT= " + dialog.repeat +
                                        "\nBITG= 111111111111111100000000\n"
                                        "BIT0= 10\nBIT1= 1000\nGREPEAT=" +
                                        row.savedGRepeat))
        << label;
  }
}

TEST_F(DeviceDialogTest, ANewDeviceIsWrittenOnlyAfterApproval) {
  DeviceDialog sony = Open(DeviceDialogMode::New, "Recorded", 1);
  std::tie(sony.name, sony.description, sony.sendpls) =
      std::tuple("  Living TV ", " Living room TV ", " 600 ");
  EXPECT_EQ(Save(sony, false), std::nullopt);  // No: nothing is written, the dialog stays open
  EXPECT_FALSE(std::filesystem::exists(store.path));
  EXPECT_EQ(Save(sony), " 600");
  const std::string sonyLines =
      "[Living TV]\n# Living room TV\nGPROTO= 1\nSENDPLS= 600\nREPEAT= 40\nBITG= 1111\n"
      "BIT0= 01\nBIT1= 011\nGREPEAT= 40";
  EXPECT_EQ(prompter.questions[0],
            "A new device with the following parameters will be created:\r\n" +
                Crlf("\n" + sonyLines + "\n\n") + "\r\nDo you want to save it?");
  // The RC5 preset has no leader: refused until BITG is set.
  DeviceDialog rc5 = Open(DeviceDialogMode::New, "Recorded", 2);
  rc5.name = "Amp";
  EXPECT_EQ(Save(rc5), std::nullopt);
  rc5.bitg = "0";
  EXPECT_EQ(Save(rc5), " 850");
  // Without a protocol choice the fields stay empty and GPROTO is -1.
  DeviceDialog none = Open(DeviceDialogMode::New, "Recorded");
  EXPECT_EQ(none.sendpls, "");
  std::tie(none.name, none.sendpls, none.repeat, none.grepeat, none.bitg, none.bit0, none.bit1) =
      std::tuple("Fan", "700", "0", "1", "1", "10", "01");
  EXPECT_EQ(Save(none), " 700");
  const std::string expected = WithNewDevice(
      sonyLines +
      "\n\n\n[Amp]\n# \nGPROTO= 2\nSENDPLS= 850\nREPEAT= 150\nBITG= 0\nBIT0= 10\n"
      "BIT1= 01\nGREPEAT= 0\n\n\n[Fan]\n# \nGPROTO=-1\nSENDPLS= 700\nREPEAT= 0\nBITG= 1\n"
      "BIT0= 10\nBIT1= 01\nGREPEAT= 1");
  EXPECT_EQ(store.text, expected);
  EXPECT_EQ(test::ReadFile(store.path), expected);
  // Editing it selects no protocol and applies no preset.
  const DeviceDialog edited = Open(DeviceDialogMode::Edit, "fan");
  EXPECT_EQ(edited.gproto, -1);
  EXPECT_EQ(edited.bit1, "01");
}

TEST_F(DeviceDialogTest, ALearnedCodeOpensWithItsProtocol) {
  // GPROTO, SENDPLS, REPEAT, GREPEAT, BITG, BIT0, BIT1 as the dialog opens.
  const std::pair<int, std::string> rows[] = {
      {0, "0 605 50 1 111111111111111100000000 10 1000"},
      {1, "1 605 40 40 1111 01 011"},
      {2, "2 605 90 0  10 01"},
      {99, "3 605 50 1 1100 100 1110"},  // Custom: the patterns held at that moment
  };
  store.deviceDialogMode = DeviceDialogMode::New;
  store.currentDevice = "RECORDED";
  for (const auto& [detected, fields] : rows) {
    const MainWindowFields window{.codeStr = "G0101",
                                  .bitNr = "4",
                                  .sendPulse = "605",
                                  .detectedProto = detected,
                                  .params = {.bitg = "1100", .bit0 = "100", .bit1 = "1110"}};
    const auto d = OpenDeviceDialog(store, prompter, window);
    ASSERT_TRUE(d);
    EXPECT_EQ(std::to_string(d->gproto) + " " + d->sendpls + " " + d->repeat + " " + d->grepeat +
                  " " + d->bitg + " " + d->bit0 + " " + d->bit1,
              fields);
  }
}

TEST_F(DeviceDialogTest, EditingRewritesTheHeaderAndParametersAndKeepsTheCommands) {
  DeviceDialog dialog = Open(DeviceDialogMode::Edit, "TV");
  EXPECT_EQ(dialog.description, "Living room");
  // A rename follows the rules for new names.
  for (const auto& [name, refusal] :
       {std::pair{"General", "This is a reserved name!"},
        {"Winamp", "The new device name is in use"},
        {"TV,VCR", "Device name cannot contain the following chars: [ ] , # "}}) {
    prompter = {};
    dialog.name = name;
    EXPECT_EQ(Save(dialog), std::nullopt) << name;
    EXPECT_EQ(prompter.messages, Strings{std::string("QVX: ") + refusal});
  }
  // Another spelling of its own name is no rename: it reaches the approval question.
  prompter = {};
  dialog.name = "tv";
  EXPECT_EQ(Save(dialog, false), std::nullopt);
  EXPECT_TRUE(prompter.messages.empty());
  EXPECT_EQ(prompter.questions.size(), 1u);
  EXPECT_EQ(store.text, kConfig);
  prompter = {};
  dialog.name = "Telly";
  dialog.repeat = "0";
  ASSERT_EQ(Save(dialog), " 550");
  std::string block = kTvLines;
  block.replace(block.find("REPEAT= 50"), 10, "REPEAT= 0").replace(0, 4, "[Telly]");
  std::string expected = kConfig;
  expected.replace(expected.find(Crlf(kTvLines)), Crlf(kTvLines).size(), Crlf(block));
  EXPECT_EQ(test::ReadFile(store.path), expected);
  EXPECT_EQ(prompter.questions,
            Strings{"The edited device is:\r\n" + Crlf(block) + "\r\n\r\nDo you want to save it?"});
  EXPECT_EQ(ListDeviceCommands(store.text, "Telly"), (Strings{"Power", "Vol+"}));
}

TEST_F(DeviceDialogTest, ABlockThatCannotBeReadOrPlacedIsReported) {
  store.deviceDialogMode = DeviceDialogMode::Edit;
  store.currentDevice = "Ghost";
  EXPECT_EQ(OpenDeviceDialog(store, prompter, {}), std::nullopt);
  store.text = Crlf("[General]\nCOMPORT= 1\n\n[End]\n");
  DeviceDialog dialog = Open(DeviceDialogMode::New, "Recorded", 0);
  dialog.name = "Fan";
  EXPECT_EQ(Save(dialog), std::nullopt);
  EXPECT_EQ(
      prompter.messages,
      (Strings{
          "Critical Error: Error in the configuration file\r\nThe Device Form can not be opened",
          "QVX: The configuration file has no [X10] section to place the device before!"}));
  EXPECT_FALSE(std::filesystem::exists(store.path));
}

}  // namespace
}  // namespace qvx::ircode
