// Saves of one configuration file by more than one program: the writers' lock, the re-read, and
// what each kind of save does when another program saved first.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/files.h"
#include "qvx/config/editing.h"
#include "qvx/config/general.h"
#include "qvx/config/importform.h"
#include "qvx/config/store.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

using test::Crlf;
using test::ReadFile;
using Strings = std::vector<std::string>;

const std::string kTvBlock =
    "[TV]\n# Living room\nGPROTO= 0\nSENDPLS= 550\nREPEAT= 50\nBITG= 1111\nBIT0= 10\n"
    "BIT1= 1000\nGREPEAT= 1\nG0011,Power\nG0110,Vol+\n";
const std::string kConfig =
    Crlf(test::GeneralSection({}, "0") + "\n" + kTvBlock +
         "\n[X10]\n# X10 modules\n/X10/*a1,Lamp\n\n[Application]\n# Applications\n"
         "\n[Monitoring]\n# Events\n\n[End]\n");

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) ADD_FAILURE() << "no " << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

class TwoPrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(path, kConfig);
    Load(mine);
    Load(theirs);
  }
  void Load(ConfigStore& store) {
    store = ConfigStore{};
    store.path = path;
    const LoadResult loaded = LoadGeneral(store);
    ASSERT_TRUE(loaded.ok) << loaded.reason;
  }

  test::TempDir dir;
  const std::filesystem::path path = dir / "pelgrin.cfg";
  ConfigStore mine, theirs;
};

TEST_F(TwoPrograms, AWholeTextBuiltFromAnOlderFileIsRefusedAndTheActionCanBeRepeated) {
  using Action = std::function<bool(ConfigStore&, test::ScriptedPrompter&)>;
  struct Case {
    const char* name;
    Action action;
    std::string from, to;  // what the action changes in the file once it is repeated
  } cases[] = {
      {"save command",
       [](ConfigStore& store, test::ScriptedPrompter& prompter) {
         store.currentDevice = "TV";
         prompter.textAnswers = {"Mute"};
         return SaveCommand(store, prompter, "G1010").has_value();
       },
       "G0110,Vol+\r\n", "G0110,Vol+\r\nG1010,Mute\r\n"},
      {"delete command",
       [](ConfigStore& store, test::ScriptedPrompter& prompter) {
         prompter.yesNoAnswers = {true};
         return DeleteCommand(store, prompter, "TV", "Power");
       },
       "G0011,Power\r\n", ""},
      {"delete device",
       [](ConfigStore& store, test::ScriptedPrompter& prompter) {
         prompter.yesNoAnswers = {true};
         return DeleteDevice(store, prompter, "tv");
       },
       Crlf(kTvBlock + "\n"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    mine.codeValidated = true;
    ASSERT_TRUE(SetGeneralParam(theirs, "BTCURRENT", "7"));
    const std::string saved = ReadFile(path);

    test::ScriptedPrompter refused;
    EXPECT_FALSE(c.action(mine, refused));
    EXPECT_EQ(refused.messages, Strings{"QVX: " + std::string(kFileChangedMeanwhile)});
    EXPECT_EQ(ReadFile(path), saved);
    EXPECT_EQ(mine.text, saved);
    EXPECT_EQ(mine.general.btCurrent, 7);
    EXPECT_TRUE(mine.codeValidated) << "a learned code must stay ready to be saved again";

    test::ScriptedPrompter repeated;
    EXPECT_TRUE(c.action(mine, repeated));
    EXPECT_TRUE(repeated.messages.empty());
    EXPECT_EQ(ReadFile(path), Replaced(saved, c.from, c.to));
    EXPECT_EQ(mine.text, ReadFile(path));
  }
}

TEST_F(TwoPrograms, OneKeyEditsAreMadeOnTheFileAsItIsNow) {
  ASSERT_TRUE(SetGeneralParam(theirs, "COMPORT", "5"));
  ASSERT_TRUE(SetGeneralParam(mine, "X10COM", "9"));
  ASSERT_EQ(ToggleGeneralFlag(theirs, "BEEPON"), true);
  const std::string both = Replaced(
      Replaced(Replaced(kConfig, "COMPORT= 0", "COMPORT= 5"), "X10COM= 0", "X10COM= 9"),
      "BEEPON= 0", "BEEPON= 1");
  EXPECT_EQ(ReadFile(path), both);
  EXPECT_EQ(theirs.text, both);
  EXPECT_EQ(theirs.general.x10Com, 9);  // read again with the file, not only the text

  // A key the other program's file lacks is not found there: nothing is saved, and the store
  // holds that file.
  const std::string without = Replaced(both, "BTMODE= 0\r\n", "");
  test::WriteFile(path, without);
  EXPECT_FALSE(SetGeneralParam(mine, "BTMODE", "2"));
  EXPECT_TRUE(mine.lastError.empty());
  EXPECT_EQ(mine.text, without);
  EXPECT_EQ(mine.general.comPort, 5);
  EXPECT_TRUE(mine.general.beepOn);

  // The exit save of a program with nothing unsaved keeps what the other program wrote.
  ASSERT_TRUE(SetGeneralParam(theirs, "COMPORT", "6"));
  EXPECT_EQ(CommitConfigText(mine, mine.text), CommitResult::FileChanged);
  EXPECT_EQ(mine.lastError, kFileChangedMeanwhile);
  EXPECT_EQ(ReadFile(path), theirs.text);
  EXPECT_EQ(CommitConfigText(mine, mine.text), CommitResult::Saved);
  EXPECT_EQ(ReadFile(path), theirs.text);
}

// A file that holds nothing any more (deleted, or emptied) is never taken over: the next save
// writes the configuration in memory back, with its change.
TEST_F(TwoPrograms, AFileThatHoldsNoConfigurationIsWrittenBackFromMemory) {
  const std::function<void()> damages[] = {
      [&] { std::filesystem::remove(path); },
      [&] { test::WriteFile(path, ""); },
  };
  const std::string withMute = Replaced(kConfig, "G0110,Vol+\r\n", "G0110,Vol+\r\nG1010,Mute\r\n");
  for (const auto& damage : damages) {
    SetUp();
    damage();
    mine.codeValidated = true;
    mine.currentDevice = "TV";
    test::ScriptedPrompter prompter;
    prompter.textAnswers = {"Mute"};
    ASSERT_TRUE(SaveCommand(mine, prompter, "G1010").has_value());
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(ReadFile(path), withMute);
    damage();
    ASSERT_TRUE(SetGeneralParam(mine, "COMPORT", "4"));
    EXPECT_EQ(ReadFile(path), Replaced(withMute, "COMPORT= 0", "COMPORT= 4"));
  }

  // Exporting onto the file in use is refused: it would replace the configuration by the
  // sections ticked.
  const std::string saved = ReadFile(path);
  test::ScriptedPrompter exporter;
  exporter.fileAnswers = {path.string()};
  exporter.yesNoAnswers = {true};
  EXPECT_FALSE(PressImportButton(mine, exporter, {" Living room"}));
  EXPECT_EQ(exporter.messages, Strings{"QVX: The file " + path.string() +
                                       " is the configuration file in use; export to another file."});
  EXPECT_EQ(ReadFile(path), saved);
}

TEST_F(TwoPrograms, TheNextSaveRemovesWhatKilledWritersLeftAndNothingElse) {
  const std::string prefix = platform::TemporaryPrefix(path);
  test::WriteFile(dir / (prefix + "Ab12Cd"), "half a config");
  test::WriteFile(dir / (prefix + "7-0"), "");
  const Strings kept = {"other.cfg.qvxtmp-Ab12Cd", "pelgrin.cfg", "pelgrin.cfg.bak",
                        "pelgrin.cfg.qvxtmp"};
  for (const auto& name : kept)
    if (name != "pelgrin.cfg") test::WriteFile(dir / name, "x");
  ASSERT_TRUE(SetGeneralParam(mine, "COMPORT", "2"));
  Strings names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, kept);
}

TEST_F(TwoPrograms, TheLockIsHeldByOneWriterAtATime) {
  platform::FileLock first;
  ASSERT_TRUE(platform::FileLock::Acquire(path, first));
  std::atomic<bool> acquired{false};
  std::thread second([&] {
    platform::FileLock lock;
    if (platform::FileLock::Acquire(path, lock)) acquired = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(acquired) << "a second writer got in while the first held the lock";
  platform::FileLock moved = std::move(first);
  EXPECT_FALSE(first.held());
  moved = platform::FileLock();  // released by being replaced
  second.join();
  EXPECT_TRUE(acquired);
}

}  // namespace
}  // namespace qvx
