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
      fakes_.player.playlist.songs.push_back({path, "", ""});
  }
  void RunSteps(const std::vector<test::PlayerStep>& steps) {
    test::RunPlayerSteps(winamp_, offset_, "/opt/player/", steps);
  }

  FakeServices fakes_;
  clsWinamp winamp_{fakes_.player, fakes_.programs, fakes_.clock};
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

// A key held while the player comes up starts it once; a start that brought no player is tried
// again once the start-up time has passed; a running player is started again by "power on" only.
TEST_F(PlayerWords, AHeldKeyStartsThePlayerOnceWhileItComesUp) {
  fakes_.player.running = false;
  RunSteps({{"play", "(>)  ", 0}, {"play", "(>)  ", 0}, {"power on", "Winamp STARTED.", 0}});
  const auto& started = fakes_.programs.started;
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].commandLine, "/opt/player/winamp.exe");
  EXPECT_EQ(started[0].mode, ShowMode::kShownNoFocus);
  EXPECT_EQ(fakes_.player.startedProgram, 1001);

  fakes_.programs.running = false;
  RunSteps({{"getname", "", 0}});
  EXPECT_EQ(started.size(), 1u);
  fakes_.clock.AdvanceNs(int64_t{kPlayerStartupMs} * 1'000'000);
  RunSteps({{"getname", "", 0}});
  EXPECT_EQ(started.size(), 2u);

  fakes_.player.running = true;
  RunSteps({{"getname", "alpha", 0}, {"power on", "Winamp STARTED.", 0}});
  EXPECT_EQ(started.size(), 3u);
}

TEST(PlayerSongNames, ArtistAndTitleOrElseTheFileName) {
  struct Case {
    platform::PlaylistSong song;
    const char* name;
  };
  const Case cases[] = {
      {{"/m/alpha.wav", "", ""}, "alpha"},
      {{"/m/alpha.wav", "alpha.wav", ""}, "alpha"},  // a player's title that is the file's name
      {{"/m/b.mp3", "Bravo Song", "The Band"}, "The Band - Bravo Song"},
      {{"/m/b.mp3", "Bravo Song", ""}, "Bravo Song"},
      {{"", "Morning Show", "Radio One"}, "Radio One - Morning Show"},  // a browser's player
      {{"https://radio.example/live", "", ""}, "live"},                  // a stream
      {{"C:\\Music\\Song.mp3", "", ""}, "Song"},
      {{"/m/Song.flac", "", "Nobody"}, "Song"},  // an artist without a title names nothing
      {{"", "", ""}, ""},
  };
  for (const Case& c : cases) {
    FakeServices fakes;
    fakes.player.playlist.songs = {c.song};
    clsWinamp winamp(fakes.player, fakes.programs, fakes.clock);
    std::int16_t offset = 0;
    EXPECT_EQ(SongNameAt(winamp, offset), c.name) << c.song.path << " " << c.song.title;
  }
}

TEST_F(PlayerWords, VolumeWordsPressFiveTimesAndUnknownWordsNothing) {
  RunSteps({{"volup", "VOLUME UP 10% OK.", 0}, {"jump", "Invalid Winamp command!", 0}});
  EXPECT_EQ(fakes_.player.pressed, std::vector<int>(5, platform::player_button::kVolumeUp));
}

// Words whose button the player has nothing for say so; the time display's words tell the time
// from the song's position and length. Without a player the words answer as ever.
TEST_F(PlayerWords, WordsThePlayerHasNothingForSaySo) {
  namespace button = platform::player_button;
  fakes_.player.lacking = {button::kEqualizer, button::kVisualisation, button::kDoubleSize,
                           button::kTimeElapsed, button::kTimeRemaining, button::kVolumeUp};
  fakes_.player.positionMs = 83'400;
  fakes_.player.lengthS = 240;
  RunSteps({
      {"eqon", "Winamp toggle EQ is not available with this player!", 0},
      {"visual", "Winamp VISUALISATION is not available with this player!", 0},
      {"double", "Winamp toggle DOUBLE SIZE is not available with this player!", 0},
      {"volup", "VOLUME UP 10% is not available with this player!", 0},
      {"time elapsed", "Winamp TIME ELAPSED 1:23.", 0},
      {"time remaining", "Winamp TIME REMAINING 2:37.", 0},  // 156.6 s still to come
      {"shuffle", "Winamp toggle SUFFLE OK.", 0},
  });
  fakes_.player.lengthS = 0;  // a stream has no length
  fakes_.player.positionMs = 3'723'000;
  RunSteps({{"time remaining", "Winamp TIME REMAINING is not available with this player!", 0},
            {"time elapsed", "Winamp TIME ELAPSED 1:02:03.", 0}});

  fakes_.player.running = false;
  RunSteps({{"eqon", "Winamp toggle EQ OK.", 0}, {"time elapsed", "Winamp TIME ELAPSED OK.", 0}});
}

// A player that tells its current song only can name it, and cannot be browsed.
TEST_F(PlayerWords, APlayerWithoutATrackListCannotBeBrowsed) {
  fakes_.player.playlist = {{{"/m/b.mp3", "Bravo Song", "The Band"}}, 0, false};
  offset_ = 0;
  RunSteps({
      {"getname", "The Band - Bravo Song", 0},
      {"next in pl", "Playlist browsing is not available with this player!", 0},
      {"prev 10 in pl", "Playlist browsing is not available with this player!", 0},
      {"play", "The Band - Bravo Song(>)  ", 0},
  });
}

// Where no player can be reached at all, no player is started that could never be driven.
TEST_F(PlayerWords, WithoutASessionBusNoPlayerIsStarted) {
  fakes_.player.reachable = false;
  fakes_.player.running = false;
  for (const char* word : {"power on", "play", "getname", "jump"})
    RunSteps({{word, "No media player can be reached: there is no desktop session bus!", 0}});
  EXPECT_TRUE(fakes_.programs.started.empty());
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
