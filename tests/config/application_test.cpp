// Add application: the file dialog, the checks of the path and the name, the "@" question and
// the entry inserted as the last line of [Application], compared as whole files.

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "qvx/config/editing.h"
#include "qvx/config/store.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

using test::Crlf;

const std::string kConfig = Crlf(
    "[General]\nCOMPORT= 1\n"
    "\n[Application]\n# Applications and sounds\n@/usr/bin/xterm,Terminal\n"
    "\n[Monitoring]\n# Events\n"
    "\n[End]\n");

std::string WithEntry(const std::string& line) {
  std::string text = kConfig;
  const std::string after = "Terminal\r\n";
  text.insert(text.find(after) + after.size(), line + "\r\n");
  return text;
}

TEST(AddApplication, AsksUntilPathAndNameAreUsableAndAddsTheEntry) {
  using Answers = std::vector<std::optional<std::string>>;
  struct Case {
    std::string name;
    Answers files, names;
    std::vector<bool> yesNo;
    std::string expected;  // the whole file, or kConfig when nothing is added
    std::vector<std::string> messages, statuses;
  };
  const std::string title = "Application Start/Stop: ";
  const std::vector<Case> cases = {
      {"program shown", {"/usr/bin/xclock"}, {" Clock "}, {true}, WithEntry("@/usr/bin/xclock,Clock"), {}, {}},
      {"program hidden", {"/opt/backup.sh"}, {"Backup"}, {false}, WithEntry("/opt/backup.sh,Backup"), {}, {}},
      {"sound file, no question", {"/home/u/bell.WAV"}, {"Bell"}, {true}, WithEntry("/home/u/bell.WAV,Bell"), {}, {}},
      {"sound file with & in its name", {"/home/u/b&w.mp3", "/home/u/bw.mp3"}, {"BW"}, {},
       WithEntry("/home/u/bw.mp3,BW"), {title + "The name of the file contains invalid characters!"}, {}},
      {"a program path with a bracket", {"/opt/app[1]/run"}, {}, {}, kConfig,
       {title + "The name of the file contains invalid characters!"}, {}},
      {"path already there", {"/USR/BIN/XTERM"}, {}, {}, kConfig,
       {title + "This command line exist in the configuration file."}, {}},
      {"no name", {"/usr/bin/xclock"}, {""}, {}, kConfig, {}, {"No new command defined"}},
      {"name taken, also as part of a path; an invalid name asked again",
       {"/usr/bin/xclock"}, {"terminal", "xterm", "a&b", "Clock"}, {false},
       WithEntry("/usr/bin/xclock,Clock"), {},
       {"This command name exist in the configuration file.",
        "This command name exist in the configuration file."}},
      {"cancelled", {}, {}, {}, kConfig, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    ConfigStore store;
    store.path = dir / "pelgrin.cfg";
    store.text = kConfig;
    test::ScriptedPrompter prompter;
    prompter.fileAnswers.assign(c.files.begin(), c.files.end());
    prompter.textAnswers.assign(c.names.begin(), c.names.end());
    prompter.yesNoAnswers.assign(c.yesNo.begin(), c.yesNo.end());
    EXPECT_EQ(AddApplication(store, prompter), c.expected != kConfig);
    EXPECT_EQ(store.text, c.expected);
    EXPECT_EQ(prompter.messages, c.messages);
    EXPECT_EQ(prompter.statuses, c.statuses);
    if (c.expected != kConfig) {
      EXPECT_EQ(test::ReadFile(store.path), c.expected);
    }
    ASSERT_FALSE(prompter.fileDialogs.empty());
    // Where programs have no extensions, the dialog offers every executable file.
    EXPECT_EQ(prompter.fileDialogs[0],
              platform::ProgramsHaveExtensions()
                  ? "Select file to run: Executable Files (*.exe;*.com)|*.exe;*.com|"
                    "Batch Files (*.bat;*.cmd)|*.bat;*.cmd|Sound Files (*.wav;*.mp3)|*.wav;*.mp3"
                  : "Select file to run: Programs and Scripts|<executable>|"
                    "Sound Files (*.wav;*.mp3)|*.wav;*.mp3");
  }
}

TEST(AddApplication, WithoutTheSectionNothingIsAsked) {
  ConfigStore store;
  store.text = Crlf("[General]\nCOMPORT= 1\n\n[End]\n");
  test::ScriptedPrompter prompter;
  prompter.fileAnswers = {std::string("/usr/bin/xclock")};
  EXPECT_FALSE(AddApplication(store, prompter));
  EXPECT_TRUE(prompter.inputPrompts.empty());
  EXPECT_TRUE(prompter.messages.empty());
}

// Sections a new entry cannot end: a "[" that no "]" follows (the save would cut the entry
// off), and lines ended by CR alone (the start of the next section's line lies before the
// header).
TEST(AddApplication, WhereTheSectionCannotTakeALineNothingIsAdded) {
  const std::string texts[] = {
      Crlf("[General]\nCOMPORT= 1\n\n[End]\n\n[Application]\n# Applications\n[stray\n"),
      "[General]\r\nCOMPORT= 1\r\n[End]\r\n[Application]\r# Applications\r[Monitoring]\r\n",
  };
  for (const std::string& text : texts) {
    test::TempDir dir;
    ConfigStore store;
    store.path = dir / "pelgrin.cfg";
    store.text = text;
    test::ScriptedPrompter prompter;
    prompter.fileAnswers = {std::string("/usr/bin/xclock")};
    prompter.textAnswers = {std::string("Clock")};
    prompter.yesNoAnswers = {true};
    EXPECT_FALSE(AddApplication(store, prompter)) << text;
    EXPECT_TRUE(prompter.inputPrompts.empty());
    EXPECT_FALSE(std::filesystem::exists(store.path));
  }
}

}  // namespace
}  // namespace qvx
