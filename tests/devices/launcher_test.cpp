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
    // Each program reports where it ran: the display it was given and its startup id.
    for (const char* name : {"hidden.sh", "shown prog.sh", "notepad.sh", "late.sh"}) {
      WriteScript(dir / name, "echo \"display=$DISPLAY startup=$DESKTOP_STARTUP_ID\" > '" +
                                  Marker(name).string() + "'");
    }
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

TEST_F(LauncherTest, ProgramWithoutAtRunsHiddenWithoutADisplay) {
  EXPECT_EQ(LaunchApplication(config_, "hidden", programs_, media_), "hidden executed.");
  EXPECT_EQ(WaitForMarker("hidden.sh"), "display= startup=\n");
}

TEST_F(LauncherTest, ProgramWithAtRunsShownWithoutTakingTheFocus) {
  EXPECT_EQ(LaunchApplication(config_, "shown", programs_, media_), "shown executed.");
  std::string report = WaitForMarker("shown prog.sh");
  EXPECT_TRUE(report.starts_with("display=:77 startup=qvx")) << report;
  EXPECT_TRUE(report.ends_with("_TIME0\n")) << report;
}

TEST_F(LauncherTest, NameMatchesCaseInsensitivelyAndByItsBeginning) {
  // The search is for "," followed by the name, so "note" finds the entry "notepad".
  EXPECT_EQ(LaunchApplication(config_, "note", programs_, media_), "note executed.");
  EXPECT_EQ(WaitForMarker("notepad.sh"), "display= startup=\n");
  fs::remove(Marker("notepad.sh"));
  EXPECT_EQ(LaunchApplication(config_, "NOTEPAD", programs_, media_), "NOTEPAD executed.");
  EXPECT_EQ(WaitForMarker("notepad.sh"), "display= startup=\n");
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
