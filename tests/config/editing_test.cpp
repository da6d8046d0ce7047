#include "qvx/config/editing.h"

#include <gtest/gtest.h>

#include "qvx/config/devices.h"
#include "qvx/config/file.h"
#include "qvx/config/store.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

using test::Crlf;
using test::ReadFile;
using test::ScriptedPrompter;
using test::TempDir;

const std::string kConfig = Crlf(
    "[General]\nCOMPORT= 1\n"
    "\n[TV]\n# Living room\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\nBITG= 1111\nBIT0= 10\n"
    "BIT1= 1000\nGREPEAT= 1\nG0011,Power\nG0110,Vol+\n"
    "\n[Amp]\n# Amplifier\nGPROTO= 2\nSENDPLS= 850\nREPEAT= 150\nBITG= 0\nBIT0= 10\nBIT1= 01\n"
    "GREPEAT= 0\nG11000100001100,Standby\n"
    "\n[X10]\n# X10 modules\n/X10/*a1,Lamp\n"
    "\n[Monitoring]\n# Events\n"
    "\n[End]\n");

class Editing : public ::testing::Test {
 protected:
  void SetUp() override {
    store.path = dir / "pelgrin.cfg";
    store.text = kConfig;
  }
  // The file as saved must equal the text in memory, and both the expected text.
  void ExpectSaved(const std::string& expected) {
    EXPECT_EQ(store.text, expected);
    ASSERT_TRUE(std::filesystem::exists(store.path));
    EXPECT_EQ(ReadFile(store.path), expected);
  }
  void ExpectUnchanged() {
    EXPECT_EQ(store.text, kConfig);
    EXPECT_FALSE(std::filesystem::exists(store.path));
  }
  static std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
  }

  TempDir dir;
  ConfigStore store;
  ScriptedPrompter prompter;
};

TEST_F(Editing, SaveCommandAppendsTheLineAsLastOfTheBlock) {
  store.currentDevice = "tv";
  store.codeValidated = true;
  prompter.textAnswers = {"  Mute  "};
  EXPECT_EQ(SaveCommand(store, prompter, " G1010 "), "Mute");
  ExpectSaved(Replaced(kConfig, "G0110,Vol+\r\n\r\n", "G0110,Vol+\r\nG1010,Mute\r\n\r\n"));
  EXPECT_FALSE(store.codeValidated);
  EXPECT_EQ(store.currentCommand, "Mute");
  EXPECT_EQ(prompter.inputPrompts,
            (std::vector<std::string>{"Input new command name: Enter the name for the new "
                                      "command.\r\nDo not use '[' ']' ',' '%' '&' characters"}));
  EXPECT_EQ(ListDeviceCommands(store.text, "TV"),
            (std::vector<std::string>{"Power", "Vol+", "Mute"}));
}

TEST_F(Editing, SaveCommandAsksAgainForBadOrTakenNames) {
  store.currentDevice = "Amp";
  store.codeValidated = true;
  prompter.textAnswers = {"a,b", "STANDBY", "Power"};
  EXPECT_EQ(SaveCommand(store, prompter, "G11000100010000"), "Power");
  EXPECT_EQ(prompter.messages,
            (std::vector<std::string>{"QVX: Do not use [ ] , #  characters!",
                                      "QVX: This command name is in use for the current device!"}));
  ExpectSaved(Replaced(kConfig, "Standby\r\n", "Standby\r\nG11000100010000,Power\r\n"));
}

TEST_F(Editing, SaveCommandRefusals) {
  struct Case {
    std::string device;
    bool validated;
    std::string code;
    std::string status;
  } cases[] = {
      {"IR Dimmer", true, "G0101", "This is a read-only device!"},
      {"Recorded", true, "G0101", "This is a read-only device!"},
      {"WINAMP", true, "G0101", "This is a read-only device!"},
      {"X10&Lamp", true, "G0101", "This is a read-only device!"},
      {"TV", false, "G0101",
       "The command is not yet validated! Pres again Record button to validate."},
      {"TV", true, "G2", "The code you want to save is invalid."},
      {"TV", true, "g0011", "This command exist as Power"},
      {"Amp", true, "G0110", "This command exist as Vol+"},
      {"Mouse", true, "G0101", "This is a read-only device!"},  // no block to hold it
  };
  for (const auto& c : cases) {
    ScriptedPrompter fresh;
    store.currentDevice = c.device;
    store.codeValidated = c.validated;
    fresh.textAnswers = {"Name"};
    EXPECT_EQ(SaveCommand(store, fresh, c.code), std::nullopt) << c.device << " " << c.code;
    EXPECT_EQ(fresh.statuses, std::vector<std::string>{c.status}) << c.device << " " << c.code;
    EXPECT_TRUE(fresh.inputPrompts.empty());
  }
  ExpectUnchanged();
}

TEST_F(Editing, SaveCommandEndsOnCancelOrEmptyName) {
  store.currentDevice = "TV";
  store.codeValidated = true;
  for (const auto& answer : {std::optional<std::string>(), std::optional<std::string>("   ")}) {
    prompter.textAnswers = {answer};
    EXPECT_EQ(SaveCommand(store, prompter, "G1111"), std::nullopt);
  }
  EXPECT_TRUE(store.codeValidated);
  ExpectUnchanged();
}

TEST_F(Editing, SaveCommandIntoAHandEditedFileWithoutBlankLineAltersNoLine) {
  store.text = Crlf("[General]\n[TV]\n# x\nG01,A\n[End]\n");
  store.currentDevice = "TV";
  store.codeValidated = true;
  prompter.textAnswers = {"B"};
  ASSERT_EQ(SaveCommand(store, prompter, "G10"), "B");
  ExpectSaved(Crlf("[General]\n[TV]\n# x\nG01,A\nG10,B\n[End]\n"));
}

// Blocks whose end a new line cannot be placed before, each refused before the name is asked:
// a "[" that no "]" follows (a file that loads may hold sections after [End], and a save cuts
// the text after its last "]", so the line would be lost while the save reported success), and
// a header with no line break before the next section (the start of that section's line lies
// inside the header, so the line would split it or land in the block before).
TEST_F(Editing, SaveCommandRefusesABlockANewLineCannotEnd) {
  const std::pair<std::string, std::string> cases[] = {
      {"TV", Crlf("[General]\n[End]\n\n[TV]\n# x\nG01,A\n\n[stray\n")},
      // As the fuzzer found it: an empty device name and its "[]" header.
      {"", Crlf("[General]\n[End]\n\n[TV]\n# x\nG01,A\n[]\n[stray")},
      // Lines ended by CR alone, as an old editor wrote them.
      {"TV", "[General]\r\n[End]\r\n[TV]\r# x\rG01,A\r[Amp]\r\n"},
      // As the fuzzer found it: a header broken by a line feed, the next "[" on its line.
      {"X1\n0 #", "[General]\r\n[End]\r\n\r\n[X1\n0 #]\rX10 modules[\r\n/X10/*a1,Lamp\r\n"},
  };
  for (const auto& [device, text] : cases) {
    store.text = text;
    store.currentDevice = device;
    store.codeValidated = true;
    ScriptedPrompter fresh;
    fresh.textAnswers = {"B"};
    EXPECT_EQ(SaveCommand(store, fresh, "G10"), std::nullopt) << device;
    EXPECT_EQ(fresh.statuses, std::vector<std::string>{"This is a read-only device!"});
    EXPECT_TRUE(fresh.inputPrompts.empty());
    EXPECT_EQ(store.text, text);
    EXPECT_FALSE(std::filesystem::exists(store.path));
  }
}

TEST_F(Editing, DeleteCommandRemovesTheWholeLineAfterAsking) {
  prompter.yesNoAnswers = {false, true};
  EXPECT_FALSE(DeleteCommand(store, prompter, "TV", "Vol+"));
  ExpectUnchanged();
  EXPECT_TRUE(DeleteCommand(store, prompter, "TV", "Vol+"));
  ExpectSaved(Replaced(kConfig, "G0110,Vol+\r\n", ""));
  EXPECT_EQ(store.currentDevice, "tv");
  EXPECT_EQ(prompter.questions,
            (std::vector<std::string>(2, "Do you want to delete the command Vol+ from the current device?")));
  EXPECT_EQ(prompter.statuses, std::vector<std::string>{"Command Vol+ deleted successfully."});
}

TEST_F(Editing, DeletingTheLastCommandLeavesTheBlockAndShowsEmpty) {
  prompter.yesNoAnswers = {true};
  ASSERT_TRUE(DeleteCommand(store, prompter, "Amp", "standby"));
  ExpectSaved(Replaced(kConfig, "G11000100001100,Standby\r\n", ""));
  EXPECT_EQ(LoadCommandList(store, "Amp").entries, std::vector<std::string>{"EMPTY"});
}

TEST_F(Editing, DeleteCommandRefusalsAndForeignLines) {
  struct Case {
    std::string device, command, status;
  } cases[] = {
      {"Recorded", "Recorded", "This is a virtual read-only device!"},
      {"x10&Lamp", "On", "This is a read-only device!"},
      {"IR Dimmer", "ON/OFF", "This is a read-only device!"},
      {"TV", "Empty", "There are no more commands to delete for the current device!"},
  };
  for (const auto& c : cases) {
    ScriptedPrompter fresh;
    fresh.yesNoAnswers = {true};
    EXPECT_FALSE(DeleteCommand(store, fresh, c.device, c.command));
    EXPECT_EQ(fresh.statuses, std::vector<std::string>{c.status});
    EXPECT_TRUE(fresh.questions.empty());
  }
  // Amp's Standby is not a command of TV: nothing is deleted and no success is claimed.
  prompter.yesNoAnswers = {true};
  EXPECT_FALSE(DeleteCommand(store, prompter, "TV", "Standby"));
  EXPECT_TRUE(prompter.statuses.empty());
  ExpectUnchanged();
  // A name read up to the next CR in lines without one runs into Amp's block: it is not
  // deleted with them.
  store.text = Replaced(kConfig, "G0110,Vol+\r\n\r\n", "G0110,Vol+\n\n");
  const std::string runOn = ListDeviceCommands(store.text, "TV").back();
  ASSERT_NE(runOn.find("[Amp]"), std::string::npos);
  prompter.yesNoAnswers = {true};
  EXPECT_FALSE(DeleteCommand(store, prompter, "TV", runOn));
  EXPECT_FALSE(std::filesystem::exists(store.path));
}

TEST_F(Editing, DeleteDeviceRemovesTheBlockAndItsBlankLine) {
  prompter.yesNoAnswers = {true};
  ASSERT_TRUE(DeleteDevice(store, prompter, "tv"));
  const std::size_t start = kConfig.find("[TV]");
  const std::size_t end = kConfig.find("[Amp]");
  ExpectSaved(kConfig.substr(0, start) + kConfig.substr(end));
  EXPECT_EQ(prompter.questions, std::vector<std::string>{
                                    "Do you want to delete the device tv from the current "
                                    "configuration file?"});
  EXPECT_EQ(store.deviceDialogMode, DeviceDialogMode::Delete);
}

// The block ends at the next header however short it is, and a "[" inside one of its lines
// does not end it: the sections after it stay whole.
TEST_F(Editing, DeleteDeviceTakesItsOwnBlockAndNothingElse) {
  const std::pair<std::string, std::string> cases[] = {
      {"AB", "[AB]\r\n\r\n"},
      {"Key", "[Key]\r\n# A [ in it\r\nG01,[\r\n\r\n"},
  };
  for (const auto& [device, block] : cases) {
    std::filesystem::remove(store.path);
    store.text = Replaced(kConfig, "[X10]", block + "[X10]");
    prompter.yesNoAnswers = {true};
    ASSERT_TRUE(DeleteDevice(store, prompter, device));
    ExpectSaved(kConfig);
  }
}

TEST_F(Editing, DeleteDeviceRefusals) {
  struct Case {
    std::string device, message;
  } cases[] = {
      {"RECORDED", "QVX: Recorded is a virtual device and cannot be deleted!"},
      {"x10", "QVX: The X10 device cannot be deleted!"},
      {"Application", "QVX: This is a read-only device!"},
      {"IR Dimmer", "QVX: This is a read-only device!"},
      {"winamp", "QVX: This is a read-only device!"},
      {"Monitoring", "QVX: This is a read-only device!"},
  };
  for (const auto& c : cases) {
    ScriptedPrompter fresh;
    fresh.yesNoAnswers = {true};
    EXPECT_FALSE(DeleteDevice(store, fresh, c.device));
    EXPECT_EQ(fresh.messages, std::vector<std::string>{c.message});
    EXPECT_TRUE(fresh.questions.empty());
  }
  // Devices without a block of their own end silently after the question.
  for (const char* device : {"Mouse", "BT", "X10&Lamp"}) {
    ScriptedPrompter fresh;
    fresh.yesNoAnswers = {true};
    EXPECT_FALSE(DeleteDevice(store, fresh, device));
    EXPECT_EQ(fresh.questions.size(), 1u);
    EXPECT_TRUE(fresh.messages.empty() && fresh.statuses.empty());
  }
  prompter.yesNoAnswers = {false};
  EXPECT_FALSE(DeleteDevice(store, prompter, "TV"));
  ExpectUnchanged();
}

TEST_F(Editing, NewAndEditDeviceRefusals) {
  EXPECT_FALSE(BeginNewDevice(store, prompter, "TV"));
  EXPECT_EQ(prompter.statuses,
            std::vector<std::string>{"Use 'Recorded' virtual device to create a new device"});
  EXPECT_TRUE(BeginNewDevice(store, prompter, "Recorded"));
  EXPECT_EQ(store.deviceDialogMode, DeviceDialogMode::New);

  EXPECT_FALSE(BeginEditDevice(store, prompter, "recorded"));
  EXPECT_FALSE(BeginEditDevice(store, prompter, "IR Dimmer"));
  EXPECT_FALSE(BeginEditDevice(store, prompter, "Application"));
  EXPECT_FALSE(BeginEditDevice(store, prompter, "Winamp"));
  EXPECT_EQ(prompter.messages,
            (std::vector<std::string>{"QVX: Recorded is a virtual device and cannot be edited!",
                                      "QVX: This is a read-only device!",
                                      "QVX: This is a read-only device!",
                                      "QVX: This is a read-only device!"}));
  EXPECT_TRUE(BeginEditDevice(store, prompter, "Amp"));
  EXPECT_EQ(store.deviceDialogMode, DeviceDialogMode::Edit);
  EXPECT_EQ(store.currentDevice, "Amp");
  ExpectUnchanged();
}

TEST_F(Editing, ASaveThatFailsKeepsTheTextAndSaysSo) {
  store.path = dir / "missing-directory" / "pelgrin.cfg";
  store.currentDevice = "TV";
  store.codeValidated = true;
  prompter.textAnswers = {"Mute"};
  EXPECT_EQ(SaveCommand(store, prompter, "G1010"), std::nullopt);
  EXPECT_EQ(store.text, kConfig);
  EXPECT_TRUE(store.codeValidated);
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].rfind("QVX: The configuration file could not be saved: ", 0), 0u)
      << prompter.messages[0];
}

}  // namespace
}  // namespace qvx
