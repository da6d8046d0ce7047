// The event editor's lists and its edits of the [Monitoring] section, compared as whole files.
#include "qvx/monitor/eventeditor.h"

#include <gtest/gtest.h>

#include <map>

#include "qvx/config/general.h"
#include "qvx/config/text.h"
#include "tests/support/support.h"

namespace qvx::monitor {
namespace {

using Lines = std::vector<std::string>;

const char* kDevices =
    "\n[TV]\n# NEC\nGPROTO= 0\nSENDPLS= 560\nREPEAT= 0\n"
    "BITG= 1111\nBIT0= 10\nBIT1= 1000\nGREPEAT= 1\nG0010,Power\nG0011,Vol+\n"
    "\n[VCR]\n# SONY\nGPROTO= 1\nSENDPLS= 600\nREPEAT= 40\nBITG= 1111\nBIT0= 01\nBIT1= 011\n"
    "GREPEAT= 40\nG0101,Play\n"
    "\n[X10]\n# modules\n/X10/*a1,Lamp\n"
    "\n[IR Dimmer]\n# dimmer\nGPROTO= 0\nSENDPLS= 560\nREPEAT= 0\nBITG= 1\nBIT0= 10\nBIT1= 1000\n"
    "GREPEAT= 1\nG1,ON/OFF\nG0,DIM/BRI\n"
    "\n[Application]\n# programs\n@/bin/true,Nothing\n";

std::string Config(const std::map<std::string, std::string>& values, const std::string& events,
                   const std::string& devices = kDevices) {
  return test::Crlf("# The lamp follows TV&Power,X10&Lamp&On\n" + test::GeneralSection(values, "1") +
                    devices + "\n[Monitoring]\n# events\n" + events + "\n[End]\n");
}

const std::map<std::string, std::string> kAllOn = {
    {"COMPORT", "1"}, {"BTCOM", "2"}, {"BTMODE", "0"}, {"BT0", "Phone"}, {"BT3", "Den"},
    {"BTCURRENT", "0"}, {"MONITOR", "0"}, {"ITYPE", "0"}, {"WINAMPPATH", "vlc"}};

int IndexOf(const Lines& list, const std::string& entry) {
  const auto found = std::find(list.begin(), list.end(), entry);
  EXPECT_NE(found, list.end()) << entry;
  return static_cast<int>(found - list.begin());
}

class EventEditorTest : public ::testing::Test {
 protected:
  void Write(const std::map<std::string, std::string>& values, const std::string& events,
             const std::string& devices = kDevices) {
    store_.path = dir_ / "pelgrin.cfg";
    file_ = Config(values, events, devices);
    test::WriteFile(store_.path, file_);
    ASSERT_TRUE(LoadGeneral(store_).ok);
    LoadEventEditor(editor_, store_);
  }
  void Select(const std::string& in, const std::string& inCmd, const std::string& out,
              const std::string& outCmd) {
    ChooseInputDevice(editor_, store_, IndexOf(editor_.irDev, in));
    ChooseInputCommand(editor_, IndexOf(editor_.irCmd, inCmd));
    ChooseOutputDevice(editor_, store_, IndexOf(editor_.outDev, out));
    editor_.outCmdIndex = IndexOf(editor_.outCmd, outCmd);
  }
  std::string File() { return test::ReadFile(store_.path); }
  // The delivered file with these event lines instead.
  std::string WithEvents(const std::string& events) { return Config(kAllOn, events); }

  test::TempDir dir_;
  ConfigStore store_;
  EventEditor editor_;
  test::ScriptedPrompter prompter_;
  std::string file_;
};

TEST_F(EventEditorTest, LoadsTheFourLists) {
  Write(kAllOn, "TV&Power,X10&Lamp&On\n");
  EXPECT_EQ(editor_.irDev, (Lines{"TV", "VCR", "BT"}));
  EXPECT_EQ(editor_.outDev,
            (Lines{"TV", "VCR", "X10&Lamp", "Winamp", "Application", "Mouse", "IR Dimmer"}));
  EXPECT_EQ(editor_.irCmd, (Lines{"Power", "Vol+"}));
  EXPECT_EQ(editor_.outCmd, (Lines{"Power", "Vol+"}));
  EXPECT_EQ(editor_.monEvent, (Lines{"TV&Power,X10&Lamp&On"}));
  EXPECT_EQ(editor_.monEventIndex, 0);
  EXPECT_FALSE(editor_.btDevLabelShown);

  struct Case {
    const char* device;
    std::string first;
    std::size_t count;
  };
  const Case outputs[] = {{"X10&Lamp", "All-U-Off", 7}, {"Winamp", "POWER ON", 24},
                          {"Mouse", "LEFT CLICK", 11}, {"IR Dimmer", "ON/OFF", 2},
                          {"Application", "Nothing", 1}, {"VCR", "Play", 1}};
  for (const Case& c : outputs) {
    ChooseOutputDevice(editor_, store_, IndexOf(editor_.outDev, c.device));
    ASSERT_EQ(editor_.outCmd.size(), c.count) << c.device;
    EXPECT_EQ(editor_.outCmd.front(), c.first) << c.device;
    EXPECT_EQ(editor_.outCmdIndex, 0);
  }

  // Only what is enabled is offered; an [X10] section without modules offers none.
  auto some = kAllOn;
  for (const char* key : {"IROUTENA", "WINAMPENA", "MOUSEENA", "BTENA"}) some[key] = "0";
  Write(some, "", "\n[TV]\n# t\nG1,Power\n\n[X10]\n# none yet\n");
  EXPECT_EQ(editor_.irDev, (Lines{"TV"}));
  EXPECT_EQ(editor_.outDev, (Lines{"Application", "IR Dimmer"}));
}

TEST_F(EventEditorTest, ThePhoneLabelFollowsTheEntryAndTheEvent) {
  Write(kAllOn, "");
  ChooseInputDevice(editor_, store_, IndexOf(editor_.irDev, "BT"));
  EXPECT_EQ(editor_.irCmd.size(), 22u);
  EXPECT_EQ(editor_.btDevList, (Lines{"Phone", "1", "1", "Den", "1", "1", "1", "1", "1", "1"}));
  struct Step {
    const char* command;  // chosen in IRCmd, or nullptr
    int entry;            // chosen in BTDevListCombo, or -1
    const char* label;
    bool listShown;
  };
  const Step steps[] = {
      {nullptr, -1, "BT", false},  // CONNECTED is selected first
      {"YES", -1, "BT0", true},   {nullptr, 3, "BT3", true},  {"FLIP OPEN", -1, "BT", false},
      {"5", -1, "BT3", true},     {"flip closed", -1, "BT", false},
      {"DISCONNECTED", -1, "BT", false},
  };
  for (const Step& s : steps) {
    if (s.command) {
      auto found = std::find_if(editor_.irCmd.begin(), editor_.irCmd.end(),
                                [&](const std::string& c) { return EqualsIgnoreCase(c, s.command); });
      ASSERT_NE(found, editor_.irCmd.end());
      ChooseInputCommand(editor_, static_cast<int>(found - editor_.irCmd.begin()));
    }
    if (s.entry >= 0) ChoosePhoneEntry(editor_, s.entry);
    EXPECT_EQ(editor_.btDevLabel, s.label) << (s.command ? s.command : "entry");
    EXPECT_EQ(editor_.btDevListShown, s.listShown);
    EXPECT_TRUE(editor_.btDevLabelShown);
  }
  ChooseInputDevice(editor_, store_, IndexOf(editor_.irDev, "TV"));
  EXPECT_FALSE(editor_.btDevLabelShown);
  EXPECT_FALSE(editor_.btDevListShown);
}

TEST_F(EventEditorTest, AddInsertsTheLineLastInTheSection) {
  Write(kAllOn, "TV&Power,X10&Lamp&On\n");
  struct Case {
    std::string in, inCmd, out, outCmd;
    int entry;
    bool yes;
    std::string line;  // added, or "" when the file stays
  };
  const Case cases[] = {
      {"TV", "Vol+", "X10&Lamp", "Dim", -1, true, "TV&Vol+,X10&Lamp&Dim"},
      {"BT", "YES", "Mouse", "LEFT CLICK", 3, true, "BT3&YES,Mouse&LEFT CLICK"},
      {"BT", "FLIP OPEN", "Winamp", "PLAY", -1, true, "BT&FLIP OPEN,Winamp&PLAY"},
      {"VCR", "Play", "TV", "Power", -1, false, ""},
  };
  std::string events = "TV&Power,X10&Lamp&On\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in + "&" + c.inCmd);
    Select(c.in, c.inCmd, c.out, c.outCmd);
    if (c.entry >= 0) ChoosePhoneEntry(editor_, c.entry);
    prompter_.yesNoAnswers = {c.yes};
    EXPECT_EQ(AddMonitoredEvent(editor_, store_, prompter_), c.yes);
    EXPECT_EQ(prompter_.questionTitles.back(), "Infrared events");
    if (c.yes) {
      events += c.line + "\n";
      EXPECT_EQ(prompter_.questions.back(),
                "Do you want to add the event " + c.line + " to the list of the monitored events?");
      EXPECT_EQ(editor_.monEvent.back(), c.line);
    }
    EXPECT_EQ(File(), WithEvents(events));
  }

  // A line that is there already is refused without a question.
  prompter_.questions.clear();
  Select("TV", "Power", "X10&Lamp", "On");
  EXPECT_FALSE(AddMonitoredEvent(editor_, store_, prompter_));
  EXPECT_TRUE(prompter_.questions.empty());
  EXPECT_EQ(prompter_.messages, (Lines{"Zarvarel Input Event: This event exists in the "
                                       "configuration file.\r\nPlease select another event."}));
  EXPECT_EQ(File(), WithEvents(events));
}

TEST_F(EventEditorTest, DeleteAsksAndRemovesTheEventLineOnly) {
  const std::string events = "VCR&Play,Winamp&PLAY\nTV&Power,X10&Lamp&On\n";
  Write(kAllOn, events);
  editor_.monEventIndex = 1;
  prompter_.yesNoAnswers = {false};
  EXPECT_FALSE(DeleteMonitoredEvent(editor_, store_, prompter_));
  EXPECT_EQ(prompter_.questions.back(),
            "You are sure that you want to delete the Event: TV&Power,X10&Lamp&On ?");
  EXPECT_EQ(prompter_.questionTitles.back(), "Delete Event");
  EXPECT_EQ(File(), file_);

  // The same text in the comment before [General] stays where it is.
  editor_.monEventIndex = 1;
  prompter_.yesNoAnswers = {true};
  EXPECT_TRUE(DeleteMonitoredEvent(editor_, store_, prompter_));
  EXPECT_EQ(File(), WithEvents("VCR&Play,Winamp&PLAY\n"));
  EXPECT_EQ(editor_.monEvent, (Lines{"VCR&Play,Winamp&PLAY"}));
}

TEST_F(EventEditorTest, TheFilteredListShowsTheLinesOfEnabledOutputs) {
  const std::string events =
      "TV&Power,Winamp&PLAY\nTV&Vol+,X10&Lamp&On\nVCR&Play,Mouse&UP\nBT0&YES,Application&Nothing\n"
      "BT0&NO,IR Dimmer&ON/OFF\nBT0&C,irdimmer&x\n";
  struct Case {
    const char* name;
    std::vector<const char*> on;
    Lines shown;
  };
  const Case cases[] = {
      {"only Winamp", {"WINAMPENA"}, {"TV&Power,Winamp&PLAY"}},
      {"X10 and mouse", {"X10ENA", "MOUSEENA"}, {"TV&Vol+,X10&Lamp&On", "VCR&Play,Mouse&UP"}},
      {"dimmer", {"IRDIMENA"}, {"BT0&C,irdimmer&x"}},
      {"infrared output",
       {"IROUTENA"},
       {"TV&Power,Winamp&PLAY", "TV&Vol+,X10&Lamp&On", "VCR&Play,Mouse&UP",
        "BT0&YES,Application&Nothing", "BT0&NO,IR Dimmer&ON/OFF", "BT0&C,irdimmer&x"}},
  };
  for (const Case& c : cases) {
    auto values = kAllOn;
    for (const char* key : {"IRINENA", "IROUTENA", "X10ENA", "IRDIMENA", "APPLICATIONENA",
                            "WINAMPENA", "MOUSEENA", "KEYBOARDENA"})
      values[key] = "0";
    for (const char* key : c.on) values[key] = "1";
    Write(values, events);
    EXPECT_EQ(editor_.monEvent, c.shown) << c.name;
    FillEventList(editor_, store_, EventListMode::All);
    EXPECT_EQ(editor_.monEvent.size(), 6u);
  }
}

TEST_F(EventEditorTest, CleanDeletesOrphanedLinesAndReportsThem) {
  Write(kAllOn,
        "TV&Power,X10&Lamp&On\n"
        "Radio&On,Winamp&PLAY\n"
        "TV&Power,X10&Fan&On\n"
        "BT3&YES,Mouse&LEFT CLICK\n"
        "TV&Power,VCR&Rewind\n"
        "TV&Vol+,resend\n"
        "BT&FLIP OPEN,Winamp&PLAY\n"
        "VCR&Play,Application&Nothing\n");
  EXPECT_EQ(CleanMonitoredEvents(editor_, store_, prompter_), 3);
  EXPECT_EQ(File(), WithEvents("TV&Power,X10&Lamp&On\n"
                               "BT3&YES,Mouse&LEFT CLICK\n"
                               "TV&Vol+,resend\n"
                               "BT&FLIP OPEN,Winamp&PLAY\n"
                               "VCR&Play,Application&Nothing\n"));
  EXPECT_EQ(prompter_.messages,
            (Lines{"Zarvel Manager: The followig orphaned events were deleted:\r\n\r\n"
                   "Radio&On,Winamp&PLAY\r\nTV&Power,X10&Fan&On\r\nTV&Power,VCR&Rewind\r\n"}));
  EXPECT_EQ(editor_.monEvent.size(), 5u);

  const std::string cleaned = File();
  EXPECT_EQ(CleanMonitoredEvents(editor_, store_, prompter_), 0);
  EXPECT_EQ(prompter_.messages.back(), "QVX: Found no orphaned events to delete.");
  EXPECT_EQ(File(), cleaned);
}

TEST_F(EventEditorTest, OpensOnlyWithAnInput) {
  auto values = kAllOn;
  values["IRINENA"] = "0";
  Write(values, "");
  EXPECT_TRUE(MayOpenEventEditor(store_, prompter_));
  values["BTENA"] = "0";
  Write(values, "");
  EXPECT_FALSE(MayOpenEventEditor(store_, prompter_));
  EXPECT_EQ(prompter_.statuses, (Lines{"No input device available to monitor!"}));
}

}  // namespace
}  // namespace qvx::monitor
