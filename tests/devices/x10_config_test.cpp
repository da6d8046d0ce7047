// The X10 dialog's operations: the port list, Add/Modify and Delete on the name table, and the
// rewrite of [X10] with the port and the switch, compared as whole files.

#include "qvx/devices/x10_config.h"

#include <gtest/gtest.h>

#include "qvx/config/general.h"
#include "qvx/config/text.h"
#include "tests/support/support.h"

namespace qvx::devices {
namespace {

using test::Crlf;

TEST(X10PortEntries, LeaveOutTheInfraredPortAndEndWithDefault) {
  const std::vector<std::string> ports = {"COM1", "COM3", "COM4"};
  struct Case {
    int irPort, x10Com;
    std::vector<std::string> entries;
    int selected;
  };
  const std::vector<Case> cases = {
      {1, 0, {"COM3", "COM4", "Default"}, 2},
      {1, 4, {"COM3", "COM4", "Default"}, 1},
      {3, 1, {"COM1", "COM4", "Default"}, 0},
      {1, 7, {"COM3", "COM4", "Default"}, -1},
  };
  for (const Case& c : cases) {
    const X10PortChoice choice = X10PortEntries(ports, c.irPort, c.x10Com);
    EXPECT_EQ(choice.entries, c.entries);
    EXPECT_EQ(choice.selected, c.selected);
  }
}

TEST(AddX10Module, ChecksTheNameAndAsksBeforeReplacingAnother) {
  struct Case {
    std::string name;
    int house, unit;
    std::vector<bool> answers;
    bool stored;
    std::string message;  // the message box, or "" for none
  };
  const std::string longest(20, 'n');
  const std::vector<Case> cases = {
      {"  Fan ", 2, 2, {}, true, ""},
      {longest, 2, 2, {}, true, ""},
      {longest + "n", 2, 2, {}, false, "QVX: The X10 device name must be less than 20 characters!"},
      {"Fan,Big", 2, 2, {}, false,
       "QVX: The X10 Device Name cannot contain the following characters: \",\", \"[\" and \"]\" !"},
      {"[Fan]", 2, 2, {}, false,
       "QVX: The X10 Device Name cannot contain the following characters: \",\", \"[\" and \"]\" !"},
      {"HEATER", 2, 2, {}, false, "QVX: There is another device with this name!"},
      {"lamp", 0, 0, {}, false, ""},       // the same name where it is: nothing to do
      {"Fan", 0, 1, {false}, false, ""},   // A2 holds Heater: No keeps it
      {"Fan", 0, 1, {true}, true, ""},
      {"Fan", -1, 1, {}, false, ""},       // no house chosen
      {"", 2, 2, {}, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    X10NameTable names;
    LoadX10Section(names, Crlf("[X10]\n# modules\n/X10/*a1,Lamp\n/X10/*a2,Heater\n\n[End]\n"));
    test::ScriptedPrompter prompter;
    prompter.yesNoAnswers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(AddX10Module(names, c.house, c.unit, c.name, prompter), c.stored);
    EXPECT_EQ(prompter.messages, c.message.empty() ? std::vector<std::string>{}
                                                   : std::vector<std::string>{c.message});
    EXPECT_EQ(prompter.questions.size(), c.answers.size());
    if (c.stored) {
      EXPECT_EQ(X10NameAt(names, c.house, c.unit), std::string(TrimBlanks(c.name)));
      EXPECT_EQ(names[static_cast<size_t>(c.house)][static_cast<size_t>(c.unit)].size(), 20u);
    }
  }
}

TEST(DeleteX10Module, FreesTheFieldUnlessTheAnswerIsNo) {
  X10NameTable names;
  LoadX10Section(names, Crlf("[X10]\n# modules\n/X10/*a1,Lamp\n/X10/*b3,Porch\n\n[End]\n"));
  test::ScriptedPrompter prompter;
  prompter.yesNoAnswers = {false, true};
  EXPECT_FALSE(DeleteX10Module(names, 0, 0, "Lamp", prompter));
  EXPECT_TRUE(DeleteX10Module(names, 0, 0, "Lamp", prompter));
  EXPECT_FALSE(DeleteX10Module(names, 1, 2, "  ", prompter));  // nothing named, nothing asked
  EXPECT_EQ(prompter.questions, std::vector<std::string>(2, "Do you want to delete the selected device?"));
  EXPECT_EQ(X10TableNames(names), std::vector<std::string>{"Porch"});
}

TEST(RewriteX10Section, WritesTheEntriesHouseByHouseAfterTheDescription) {
  const auto table = [](const std::string& section) {
    X10NameTable names;
    LoadX10Section(names, Crlf(section));
    return names;
  };
  struct Case {
    std::string name, before, names, after;  // after "" means no rewrite
  };
  const std::vector<Case> cases = {
      {"unchanged entries keep the file as it was",
       "[X10]\n# X10 modules\n/X10/*a1,Lamp\n/X10/*a2,Heater\n\n[Application]\n",
       "[X10]\n/X10/*a1,Lamp\n/X10/*a2,Heater\n",
       "[X10]\n# X10 modules\n/X10/*a1,Lamp\n/X10/*a2,Heater\n\n[Application]\n"},
      {"entries in reverse order, upper case and padded",
       "[X10]\n# X10 modules\n/X10/*B3,Porch\n/X10/*a16, Lamp \n\n[Application]\n",
       "[X10]\n/X10/*B3,Porch\n/X10/*a16, Lamp \n",
       "[X10]\n# X10 modules\n/X10/*a16,Lamp\n/X10/*b3,Porch\n\n[Application]\n"},
      {"an empty table", "[X10]\n# X10 modules\n/X10/*a1,Lamp\n\n[Application]\n", "",
       "[X10]\n# X10 modules\n\n[Application]\n"},
      {"a first line that is an entry itself is rewritten too",
       "[X10]\n/X10/*a1,Lamp\n/X10/*a2,Heater\n\n[Application]\n", "[X10]\n/X10/*a2,Heater\n",
       "[X10]\n/X10/*a2,Heater\n\n[Application]\n"},
      {"no section after it", "[X10]\n# X10 modules\n/X10/*a1,Lamp\n", "[X10]\n/X10/*a1,Lamp\n", ""},
      {"no [X10] at all", "[Application]\n", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto rewritten = RewriteX10Section(Crlf(c.before), table(c.names));
    if (c.after.empty()) {
      EXPECT_EQ(rewritten, std::nullopt);
    } else {
      EXPECT_EQ(rewritten, std::optional<std::string>(Crlf(c.after)));
    }
  }
}

TEST(SaveX10Config, WritesSectionPortAndSwitchOrNothing) {
  test::TempDir dir;
  ConfigStore store;
  store.path = dir / "pelgrin.cfg";
  store.text = Crlf("[General]\nX10COM= 3\nX10ENA= 1\n\n[X10]\n# modules\n/X10/*a1,Lamp\n\n[End]\n");
  store.general.x10Com = 3;
  store.general.x10Ena = true;
  X10State state;
  LoadX10Section(state.names, store.text);
  test::ScriptedPrompter prompter;
  ASSERT_TRUE(AddX10Module(state.names, 15, 15, "Gate", prompter));
  ASSERT_TRUE(SaveX10Config(store, state, state.names, "Default", true));
  const std::string expected =
      Crlf("[General]\nX10COM= 0\nX10ENA= 0\n\n[X10]\n# modules\n/X10/*a1,Lamp\n/X10/*p16,Gate\n\n[End]\n");
  EXPECT_EQ(test::ReadFile(store.path), expected);
  EXPECT_EQ(store.general.x10Com, 0);
  EXPECT_FALSE(store.general.x10Ena);
  ASSERT_TRUE(SaveX10Config(store, state, state.names, "COM4", false));
  EXPECT_EQ(store.general.x10Com, 4);
  EXPECT_TRUE(store.general.x10Ena);

  ConfigStore unwritable = store;
  unwritable.text = Crlf("[General]\nX10COM= 0\nX10ENA= 1\n\n[X10]\n# modules\n");
  EXPECT_FALSE(SaveX10Config(unwritable, state, state.names, "COM4", false));
  EXPECT_EQ(unwritable.general.x10Com, 4);
}

}  // namespace
}  // namespace qvx::devices
