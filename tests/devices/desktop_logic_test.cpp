// The logic of the desktop outputs against fakes of the system's services: the mouse and
// keyboard words, the launcher's choice of player and window mode, and the player words'
// playlist arithmetic and start command. The real X server, mpv and VLC are the end-to-end
// tests beside these.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "qvx/config/devices.h"
#include "qvx/devices/launcher.h"
#include "qvx/devices/mouse.h"
#include "qvx/devices/winamp.h"
#include "tests/devices/player_steps.h"
#include "tests/support/fake_services.h"

namespace qvx::devices {
namespace {

using platform::ShowMode;
using test::FakeServices;

std::string Joined(const std::vector<std::string>& events) {
  std::string text;
  for (const auto& event : events) text += (text.empty() ? "" : ", ") + event;
  return text;
}

TEST(MouseWords, EveryWordOfTheListMovesOrClicksAndSaysWhat) {
  struct Case {
    const char* word;
    const char* status;
    const char* events;
  } cases[] = {
      {"LEFT CLICK", "Mouse left click", "down left, up left"},
      {"RIGHT CLICK", "Mouse right click", "down right, up right"},
      {"DOUBLECLICK", "Mouse double click", "down left, up left, down left, up left"},
      {"LEFT", "Mouse LEFT", "move 95 100"},
      {"LEFTUP", "Mouse LEFTUP", "move 95 95"},
      {"UP", "Mouse UP", "move 100 95"},
      {"RIGHTUP", "Mouse RIGHTUP", "move 105 95"},
      {"RIGHT", "Mouse RIGHT", "move 105 100"},
      {"RIGHTDOWN", "Mouse RIGHTDOWN", "move 105 105"},
      {"DOWN", "Mouse DOWN", "move 100 105"},
      {"leftdown", "Mouse LEFTDOWN", "move 95 105"},
      {"wiggle", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    FakeServices fakes;
    clsMouse mouse(fakes.input);
    EXPECT_EQ(ExecuteMouseCommand(mouse, c.word), c.status);
    EXPECT_EQ(Joined(fakes.input.events), c.events);
  }
  // The table above covers the list the window offers, word for word.
  EXPECT_EQ(FillListFromText(kMouseCommands).size(), std::size(cases) - 1);
}

TEST(MouseWords, MovesStopAtTheScreenEdge) {
  FakeServices fakes;
  clsMouse mouse(fakes.input);
  fakes.input.x = 2;
  EXPECT_EQ(ExecuteMouseCommand(mouse, "LEFT"), "Mouse LEFT");
  EXPECT_EQ(mouse.CurrentX(), 0);
}

// Without any input device the words say so instead of reporting what did not happen; a word
// that means nothing still says nothing.
TEST(MouseWords, WithoutAnInputDeviceTheWordsReportIt) {
  const std::string unreachable = "Mouse and keyboard need an X display, or write access to /dev/uinput!";
  const std::pair<const char*, std::string> mouseWords[] = {
      {"LEFT CLICK", unreachable}, {"DOUBLECLICK", unreachable}, {"RIGHT", unreachable},
      {"leftdown", unreachable},   {"wiggle", ""},
  };
  for (const auto& [word, status] : mouseWords) {
    FakeServices fakes;
    fakes.input.displayReachable = false;
    clsMouse mouse(fakes.input);
    EXPECT_EQ(ExecuteMouseCommand(mouse, word), status) << word;
    EXPECT_TRUE(fakes.input.events.empty());
  }
  FakeServices fakes;
  fakes.input.displayReachable = false;
  EXPECT_EQ(ExecuteKeyboardCommand(fakes.input, "F1"), unreachable);
  EXPECT_EQ(ExecuteKeyboardCommand(fakes.input, "F13"), "");
}

TEST(KeyboardWords, EveryKeyNamePressesAndReleasesOneKey) {
  std::istringstream names{std::string(kKeyboardKeys)};
  int count = 0;
  for (std::string name; std::getline(names, name, ',');) {
    SCOPED_TRACE(name);
    FakeServices fakes;
    EXPECT_EQ(ExecuteKeyboardCommand(fakes.input, name), "");
    ASSERT_EQ(fakes.input.events.size(), 2u);
    EXPECT_TRUE(fakes.input.events[0].ends_with(" down"));
    const std::string& down = fakes.input.events[0];
    EXPECT_EQ(fakes.input.events[1], down.substr(0, down.size() - 5) + " up");
    ++count;
  }
  EXPECT_EQ(count, 97);
  FakeServices fakes;
  EXPECT_EQ(ExecuteKeyboardCommand(fakes.input, "F13"), "");
  EXPECT_TRUE(fakes.input.events.empty());
}

TEST(Launcher, ChoosesThePlayerOrTheWindowModeByTheEntry) {
  const std::string config =
      "[Application]\r\n/bin/edit,notepad\r\n@/bin/shown prog,shown\r\n/m/one.mp3,one\r\n"
      "/m/TWO.MP3,two\r\n/m/chime.Wav,chime\r\n[End]\r\n";
  FakeServices fakes;
  auto launch = [&](const std::string& name) {
    return LaunchApplication(config, name, fakes.programs, fakes.media);
  };
  EXPECT_EQ(launch("notepad"), "notepad executed.");
  EXPECT_EQ(launch("shown"), "shown executed.");
  ASSERT_EQ(fakes.programs.started.size(), 2u);
  EXPECT_EQ(fakes.programs.started[0].commandLine, "/bin/edit");
  EXPECT_EQ(fakes.programs.started[0].mode, ShowMode::kHidden);
  EXPECT_EQ(fakes.programs.started[1].commandLine, "/bin/shown prog");
  EXPECT_EQ(fakes.programs.started[1].mode, ShowMode::kShownNoFocus);

  // MP3 files share the one alias, whatever the case of their ending; a wave leaves it alone.
  EXPECT_EQ(launch("one"), "File one start playing.");
  EXPECT_EQ(launch("two"), "File two start playing.");
  EXPECT_EQ(launch("chime"), "File chime start playing.");
  EXPECT_EQ(fakes.media.mp3s, (std::vector<std::string>{"/m/one.mp3", "/m/TWO.MP3"}));
  EXPECT_EQ(fakes.media.aliasFile, "/m/TWO.MP3");
  EXPECT_EQ(fakes.media.waves, (std::vector<std::string>{"/m/chime.Wav"}));
  EXPECT_EQ(fakes.programs.started.size(), 2u);
  EXPECT_EQ(launch("ghost"), "Error handling application!");
}

class PlayerWords : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* path : {"/m/alpha.wav", "/m/bravo.wav", "/m/charlie.wav", "C:\\M\\Delta.wav"})
      fakes_.player.playlist.songs.push_back({path, ""});
  }
  void RunSteps(const std::vector<test::PlayerStep>& steps) {
    test::RunPlayerSteps(winamp_, offset_, "/opt/player/", fakes_.programs, steps);
  }

  FakeServices fakes_;
  clsWinamp winamp_{fakes_.player};
  std::int16_t offset_ = 0;
};

TEST_F(PlayerWords, BrowsingMovesAnOffsetThatPlayTurnsIntoSkips) {
  RunSteps({
      {"next in pl", "bravo", 1},
      {"next in pl", "charlie", 2},
      {"play", "charlie(>)  ", 0},
      {"next 10 in pl", "Delta", 9},  // beyond the end: the offset steps back by one
      {"getname", "charlie", 0},
      {"next", "Delta(>>)  ", 0},
      {"next", "Delta(>>)  ", 0},
      {"prev 10 in pl", "alpha", -9},
      {"prev in pl", "alpha", -9},
      {"play", "alpha(>)  ", 0},
  });
  namespace button = platform::player_button;
  const auto& pressed = fakes_.player.pressed;
  // Play at an offset skips song by song and never presses play itself.
  EXPECT_EQ(std::count(pressed.begin(), pressed.end(), button::kPlay), 0);
  EXPECT_EQ(std::count(pressed.begin(), pressed.end(), button::kPrevSong), 9);
  EXPECT_EQ(fakes_.player.playlist.currentIndex, 0);
  EXPECT_TRUE(fakes_.programs.started.empty());
}

TEST_F(PlayerWords, APlayerThatDoesNotRunIsStartedOnce) {
  fakes_.player.running = false;
  RunSteps({{"power on", "Winamp STARTED.", 0}, {"getname", "", 0}});
  ASSERT_EQ(fakes_.programs.started.size(), 2u);  // one per word, none twice for "power on"
  EXPECT_EQ(fakes_.programs.started[0].commandLine, "/opt/player/winamp.exe");
  EXPECT_EQ(fakes_.programs.started[0].mode, ShowMode::kShownNoFocus);
}

TEST_F(PlayerWords, VolumeWordsPressFiveTimesAndUnknownWordsNothing) {
  RunSteps({{"volup", "VOLUME UP 10% OK.", 0}, {"jump", "Invalid Winamp command!", 0}});
  EXPECT_EQ(fakes_.player.pressed, std::vector<int>(5, platform::player_button::kVolumeUp));
}

TEST(WinampProgramTest, DirectoryGetsTheProgramNameAppended) {
  struct Case {
    const char* path;
    const char* program;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Winamp\\", "C:\\Program Files\\Winamp\\winamp.exe"},
      {"/opt/winamp/", "/opt/winamp/winamp.exe"},
      {"vlc --started-from-file", "vlc --started-from-file"},
      {"/usr/bin/audacious", "/usr/bin/audacious"},
      {"", "winamp.exe"},
  };
  for (const Case& c : cases) EXPECT_EQ(WinampProgram(c.path), c.program) << c.path;
}

}  // namespace
}  // namespace qvx::devices
