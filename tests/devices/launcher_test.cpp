#include "qvx/devices/launcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "desktop_fixtures.h"
#include "platform/media.h"
#include "platform/process.h"

namespace qvx::devices {
namespace {

namespace fs = std::filesystem;
using namespace qvx::test;

constexpr const char* kError = "Error handling application!";

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("DISPLAY", ":77", 1);
    const fs::path& dir = temp_.path();
    // Each program reports where it ran: the display it was given, its startup id, where its
    // standard streams lead and whether it leads a session of its own.
    for (const char* name : {"hidden.sh", "shown prog.sh", "notepad.sh", "late.sh"}) {
      WriteScript(dir / name,
                  "streams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2 | tr '\\n' ' ')\n"
                  "session=$(sed 's/.*) //' /proc/$$/stat | cut -d' ' -f4)\n"
                  "[ \"$session\" = $$ ] && leader=yes || leader=no\n"
                  "echo \"display=$DISPLAY startup=$DESKTOP_STARTUP_ID streams=${streams}"
                  "leader=$leader\" > '" + Marker(name).string() + "'");
    }
    WriteScript(dir / "sleeper.sh", "sleep 6");
    WriteMp3(dir / "first.mp3", 30);
    WriteMp3(dir / "second.MP3", 30);
    WriteWave(dir / "chime.wav", 30);
    config_ = "[General]\r\nBEEPON=1\r\n[Application]\r\n" + Entry("notepad.sh", "notepad") +
              "@" + Entry("shown prog.sh", "shown") + Entry("hidden.sh", "hidden") +
              Entry("first.mp3", "first") + Entry("second.MP3", "second") +
              Entry("chime.wav", "chime") + Entry("missing.exe", "ghost") +
              "[Monitoring]\r\n" + Entry("late.sh", "late");
  }

  void TearDown() override {
    platform::SystemMedia().CloseMp3();
    for (pid_t pid : ProcessesWithArgument((temp_.path() / "chime.wav").string()))
      KillAndWait(pid);
    unsetenv("DISPLAY");
  }

  std::string Entry(const std::string& file, const std::string& name) {
    return (temp_.path() / file).string() + "," + name + "\r\n";
  }
  fs::path Marker(const std::string& program) { return temp_.path() / (program + ".ran"); }
  std::string WaitForMarker(const std::string& program) {
    WaitUntil([&] { return ReadFile(Marker(program)).ends_with("\n"); }, 5000);
    return ReadFile(Marker(program));
  }

  TempDir temp_;
  std::string config_;
  platform::ProgramStarter& programs_ = platform::SystemProgramStarter();
  platform::Media& media_ = platform::SystemMedia();
};

TEST_F(LauncherTest, EntriesThatCannotBeFoundGiveTheErrorText) {
  struct Case {
    const char* what;
    std::string config;
    std::string command;
  };
  const Case cases[] = {
      {"no section", "[General]\r\nBEEPON=1\r\n[TV]\r\n", "notepad"},
      {"section without end", "[Application]\r\n/bin/true,notepad\r\n", "notepad"},
      {"no such entry", config_, "calculator"},
      {"entry in a later section", config_, "late"},
      {"empty name", config_, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(LaunchApplication(c.config, c.command, programs_, media_), kError);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(fs::exists(Marker("late.sh")));
  EXPECT_FALSE(fs::exists(Marker("notepad.sh")));
}

// Hidden or shown, a program runs in a session of its own and reads and writes nothing of its
// caller's; only a shown one gets the display, with a startup id that keeps the focus away.
TEST_F(LauncherTest, ProgramsRunDetachedHiddenOrShown) {
  struct Case {
    const char* command;
    const char* program;
    const char* reportStart;
  };
  const std::string detached = "streams=/dev/null /dev/null /dev/null leader=yes\n";
  const Case cases[] = {
      {"hidden", "hidden.sh", "display= startup= "},
      {"shown", "shown prog.sh", "display=:77 startup=qvx"},
      // The search is for "," followed by the name, so "note" finds the entry "notepad".
      {"note", "notepad.sh", "display= startup= "},
      {"NOTEPAD", "notepad.sh", "display= startup= "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    fs::remove(Marker(c.program));
    EXPECT_EQ(LaunchApplication(config_, c.command, programs_, media_),
              std::string(c.command) + " executed.");
    const std::string report = WaitForMarker(c.program);
    EXPECT_TRUE(report.starts_with(c.reportStart)) << report;
    EXPECT_TRUE(report.ends_with(detached)) << report;
  }
  EXPECT_NE(ReadFile(Marker("shown prog.sh")).find("_TIME0 "), std::string::npos);
}

// A caller that reads the status text to its end (a web server, "$(qvxctl exec ...)") has it at
// once, while the shown program it started runs on.
TEST_F(LauncherTest, AStartedProgramDoesNotHoldItsCallersOutput) {
  const fs::path config = temp_.path() / "pelgrin.cfg";
  WriteFile(config, Crlf(GeneralSection({{"APPLICATIONENA", "1"}}, "0") + "\n[Application]\n" +
                         "# programs\n@" + (temp_.path() / "sleeper.sh").string() +
                         ",sleeper\n\n[End]\n"));
  const auto start = std::chrono::steady_clock::now();
  const ProgramRun run = RunProgram(
      {(BinDir() / "qvxctl").string(), "--config", config.string(), "exec", "Application&sleeper"},
      {"PATH=/usr/bin:/bin", "QVX_AUDIO_DEVICE=none"}, "", temp_.path(), 4000);
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(run.waitStatus.has_value());
  EXPECT_EQ(*run.waitStatus, 0);
  EXPECT_EQ(run.out, "sleeper executed.\n");
  EXPECT_LT(took, std::chrono::seconds(4));
  const std::string sleeper = (temp_.path() / "sleeper.sh").string();
  EXPECT_FALSE(ProcessesWithArgument(sleeper).empty());
  for (pid_t pid : ProcessesWithArgument(sleeper)) KillAndWait(pid);
}

TEST_F(LauncherTest, ProgramThatCannotStartStillReportsExecuted) {
  EXPECT_EQ(LaunchApplication(config_, "ghost", programs_, media_), "ghost executed.");
}

TEST_F(LauncherTest, SecondMp3ClosesTheFirst) {
  QVX_SKIP_UNLESS(HaveProgram("mpv"), "mpv is not installed (package mpv)");
  std::string first = (temp_.path() / "first.mp3").string();
  std::string second = (temp_.path() / "second.MP3").string();

  EXPECT_EQ(LaunchApplication(config_, "first", programs_, media_), "File first start playing.");
  EXPECT_EQ(platform::SystemMedia().OpenMp3(), first);
  EXPECT_TRUE(WaitUntil([&] { return !ProcessesWithArgument(first).empty(); }, 2000));

  // Upper-case ".MP3" is an MP3 too.
  EXPECT_EQ(LaunchApplication(config_, "second", programs_, media_), "File second start playing.");
  EXPECT_EQ(platform::SystemMedia().OpenMp3(), second);
  EXPECT_TRUE(ProcessesWithArgument(first).empty());
  EXPECT_TRUE(WaitUntil([&] { return !ProcessesWithArgument(second).empty(); }, 2000));

  platform::SystemMedia().CloseMp3();
  EXPECT_EQ(platform::SystemMedia().OpenMp3(), "");
  EXPECT_TRUE(ProcessesWithArgument(second).empty());
}

TEST_F(LauncherTest, WaveFilePlaysInTheBackground) {
  QVX_SKIP_UNLESS(HaveProgram("mpv"), "mpv is not installed (package mpv)");
  std::string chime = (temp_.path() / "chime.wav").string();
  EXPECT_EQ(LaunchApplication(config_, "chime", programs_, media_), "File chime start playing.");
  EXPECT_TRUE(WaitUntil([&] { return !ProcessesWithArgument(chime).empty(); }, 2000));
  // A wave file leaves the MP3 alias alone.
  EXPECT_EQ(platform::SystemMedia().OpenMp3(), "");
}

}  // namespace
}  // namespace qvx::devices
