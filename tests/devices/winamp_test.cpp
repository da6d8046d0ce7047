#include "qvx/devices/winamp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "desktop_fixtures.h"
#include "platform/clock.h"
#include "tests/devices/player_steps.h"

namespace qvx::devices {
namespace {

namespace fs = std::filesystem;
using namespace qvx::test;

constexpr int kPlayerStartMs = 15000;
const char* const kSongs[] = {"alpha.wav", "bravo.wav", "charlie.wav", "C:\\Music\\Delta.wav"};

// A real media player (VLC without a window or sound card) on a private session bus, with a
// playlist of four 60-second songs. The player is started by a script that notes its process
// id, so that players the code under test starts are found and stopped as well.
class WinampTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QVX_SKIP_UNLESS(HaveProgram("vlc"), "VLC is not installed (packages vlc-bin, vlc-plugin-base)");
    const fs::path& dir = temp_.path();
    bus_ = std::make_unique<SessionBus>(dir);
    QVX_SKIP_UNLESS(bus_->ok(), "dbus-daemon could not be started (package dbus)");
    setenv("DBUS_SESSION_BUS_ADDRESS", bus_->address().c_str(), 1);

    fs::create_directory(dir / "home");
    std::string songs;
    for (const char* song : kSongs) {
      WriteWave(dir / song, 60);
      songs += " '" + (dir / song).string() + "'";
    }
    // VLC refuses to run as root; there it runs as nobody, which the bus lets in.
    std::string asUser;
    if (geteuid() == 0) {
      QVX_SKIP_UNLESS(chown((dir / "home").c_str(), 65534, 65534) == 0,
                      "the player's home cannot be handed to nobody");
      asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    std::string start = "echo $$ >> '" + (dir / "player.pids").string() + "'\n" +
                        "HOME='" + (dir / "home").string() + "' exec " + asUser +
                        "vlc -I dummy --extraintf dbus -A dummy --no-video "
                        "--no-random --no-loop --no-repeat";
    WriteScript(dir / "player.sh", start + songs);
    WriteScript(dir / "empty-player.sh", start);
    winampPath_ = (dir / "player.sh").string();
    winamp_ = std::make_unique<clsWinamp>(*service_);
  }

  void TearDown() override {
    for (pid_t pid : StartedPlayers()) KillAndWait(pid);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }

  // Starts the player as the user would have it running, and waits until it has its playlist.
  void StartPlayer() {
    player_ = ChildProcess({winampPath_});
    ASSERT_TRUE(WaitForPlayer());
  }

  bool WaitForPlayer() {
    return WaitUntil([&] { return winamp_->RefreshPlaylist() >= 0 && winamp_->PlaylistCount() == 9; },
                     kPlayerStartMs);
  }

  std::vector<pid_t> StartedPlayers() {
    std::vector<pid_t> pids;
    std::ifstream in(temp_.path() / "player.pids");
    for (pid_t pid; in >> pid;) pids.push_back(pid);
    return pids;
  }

  std::string Run(const std::string& word) {
    return ExecuteWinampCommand(*winamp_, offset_, winampPath_, word,
                                platform::SystemProgramStarter());
  }

  void RunSteps(const std::vector<PlayerStep>& steps) {
    RunPlayerSteps(*winamp_, offset_, winampPath_, platform::SystemProgramStarter(), steps);
  }

  TempDir temp_;
  std::unique_ptr<SessionBus> bus_;
  ChildProcess player_;
  std::string winampPath_;
  std::unique_ptr<platform::Player> service_ = platform::OpenPlayer(platform::RealClock());
  std::unique_ptr<clsWinamp> winamp_;
  std::int16_t offset_ = 0;
};

TEST_F(WinampTest, PlaySkipAndBrowseThePlaylist) {
  StartPlayer();
  RunSteps({
      {"play", "alpha(>)  ", 0},
      {"getname", "alpha", 0},
      {"next in pl", "bravo", 1},
      {"NEXT IN PL", "charlie", 2},
      {"play", "charlie(>)  ", 0},
      {"prev", "bravo(<<)  ", 0},
      {"next", "charlie(>>)  ", 0},
      {"prev in pl", "bravo", -1},
      {"Play", "bravo(>)  ", 0},
  });
  EXPECT_TRUE(WaitUntil([&] { return winamp_->IsPlaying() == 1; }, 5000));
  RunSteps({{"stop", "Stop playing.", 0}});
  EXPECT_TRUE(WaitUntil([&] { return winamp_->IsPlaying() == 0; }, 8000));
}

TEST_F(WinampTest, BrowsingStopsAtBothEndsOfThePlaylist) {
  StartPlayer();
  RunSteps({
      {"play", "alpha(>)  ", 0},
      {"prev in pl", "alpha", 0},
      {"next 10 in pl", "Delta", 9},
      {"getname", "alpha", 0},
      {"next", "bravo(>>)  ", 0},
      {"next", "charlie(>>)  ", 0},
      {"next", "Delta(>>)  ", 0},
      {"next in pl", "Delta", 0},
      // Three songs precede: the step of ten is clamped back by one.
      {"prev 10 in pl", "alpha", -9},
      {"play", "alpha(>)  ", 0},
  });
  EXPECT_EQ(winamp_->IsPlaying(), 1);
}

TEST_F(WinampTest, RepeatLetsNextGoRoundToTheFirstSong) {
  StartPlayer();
  RunSteps({
      {"next", "bravo(>>)  ", 0},
      {"next", "charlie(>>)  ", 0},
      {"next", "Delta(>>)  ", 0},
      {"next", "Delta(>>)  ", 0},
      {"repeat", "Winamp toggle REPEAT OK.", 0},
      {"next", "alpha(>>)  ", 0},
  });
}

TEST_F(WinampTest, WithoutAnyPlayerTheWordsStillAnswer) {
  winampPath_ = (temp_.path() / "no-such-player").string();
  RunSteps({
      {"getname", "", 0},
      {"next", "(>>)  ", 0},
      {"next in pl", "", 1},
      {"volup", "VOLUME UP 10% OK.", 1},
      {"power off", "Winamp CLOSED.", 1},
      {"power on", "Winamp STARTED.", 1},
      {"stop", "Stop playing.", 0},
  });
  EXPECT_EQ(winamp_->Version(), 0);
}

TEST_F(WinampTest, PauseAndSeekWordsActOnTheCurrentSong) {
  StartPlayer();
  RunSteps({{"play", "alpha(>)  ", 0}});
  ASSERT_TRUE(WaitUntil([&] { return winamp_->IsPlaying() == 1; }, 8000));
  offset_ = 2;
  RunSteps({{"pause", "alpha(||)  ", 0}});
  EXPECT_TRUE(WaitUntil([&] { return winamp_->IsPlaying() == 3; }, 8000));
  RunSteps({{"pause", "alpha(||)  ", 0}});
  EXPECT_TRUE(WaitUntil([&] { return winamp_->IsPlaying() == 1; }, 8000));

  long long before = winamp_->SongPos();
  RunSteps({{"ffw", "alpha(>>)  ", 0}});
  EXPECT_TRUE(WaitUntil([&] { return winamp_->SongPos() >= before + 4000; }, 8000));
  long long ahead = winamp_->SongPos();
  RunSteps({{"rew", "alpha(<<)  ", 0}});
  EXPECT_TRUE(WaitUntil([&] { return winamp_->SongPos() <= ahead - 3000; }, 8000));
}

TEST_F(WinampTest, ButtonWordsAnswerTheirTexts) {
  StartPlayer();
  struct Case {
    const char* word;
    const char* status;
    bool closingBeep;
  };
  const Case cases[] = {
      {"volup", "VOLUME UP 10% OK.", false},
      {"VOLDOWN", "VOLUME DOWN 10% OK.", false},
      {"eqon", "Winamp toggle EQ OK.", true},
      {"repeat", "Winamp toggle REPEAT OK.", true},
      {"shuffle", "Winamp toggle SUFFLE OK.", true},
      {"playlist", "Winamp Playlist Editor OK.", true},
      {"double", "Winamp toggle DOUBLE SIZE OK.", true},
      {"visual", "Winamp VISUALISATION OK.", true},
      {"time elapsed", "Winamp TIME ELAPSED OK.", true},
      {"Time Remaining", "Winamp TIME REMAINING OK.", true},
      {"next in playlist", "Invalid Winamp command!", true},
      {" play", "Invalid Winamp command!", true},
      {"", "Invalid Winamp command!", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    offset_ = 3;
    EXPECT_EQ(Run(c.word), c.status);
    EXPECT_EQ(offset_, 3);
    EXPECT_EQ(WinampClosingBeep(c.word), c.closingBeep);
  }
  // The player took every word and is still there.
  EXPECT_NE(winamp_->Version(), 0);
}

TEST_F(WinampTest, PlaylistOperationsReachThePlayer) {
  StartPlayer();
  EXPECT_EQ(winamp_->PlaylistSong(1), "#EXTM3U");
  EXPECT_EQ(winamp_->PlaylistSong(3), (temp_.path() / "alpha.wav").string());
  EXPECT_EQ(winamp_->PlaylistSong(9), (temp_.path() / kSongs[3]).string());
  EXPECT_EQ(winamp_->PlaylistSong(10), "");
  EXPECT_EQ(winamp_->PlaylistSong(0), "");

  winamp_->StartPlay();
  ASSERT_TRUE(WaitUntil([&] { return winamp_->SongLen() == 60; }, 8000));
  winamp_->JumpToTime(30000);
  // A loaded machine may keep the player busy for a while; the seek must arrive all the same.
  EXPECT_TRUE(WaitUntil([&] { return winamp_->SongPos() >= 29000; }, 8000));

}

TEST_F(WinampTest, EmptyPlaylistGivesNoSongName) {
  player_ = ChildProcess({(temp_.path() / "empty-player.sh").string()});
  ASSERT_TRUE(WaitUntil([&] { return winamp_->Version() != 0; }, kPlayerStartMs));
  RunSteps({
      {"getname", "", 0},
      {"next in pl", "", 1},
      {"prev 10 in pl", "", -9},
      {"play", "(>)  ", 0},
      {"next", "(>>)  ", 0},
  });
  EXPECT_EQ(winamp_->PlaylistCount(), 1);
}

TEST_F(WinampTest, PowerOnStartsTheConfiguredPlayerOnceAndPowerOffClosesIt) {
  EXPECT_EQ(winamp_->Version(), 0);
  EXPECT_EQ(Run("POWER ON"), "Winamp STARTED.");
  ASSERT_TRUE(WaitForPlayer());
  EXPECT_EQ(StartedPlayers().size(), 1u);

  EXPECT_EQ(Run("power off"), "Winamp CLOSED.");
  EXPECT_TRUE(WaitUntil([&] { return winamp_->Version() == 0; }, 5000));
}

TEST_F(WinampTest, AnyWordStartsAPlayerThatIsNotRunning) {
  // The player is just starting: whether it can name the song yet depends on how fast it comes
  // up; the next word finds it in any case.
  EXPECT_THAT(Run("play"), ::testing::AnyOf("(>)  ", "alpha(>)  "));
  ASSERT_TRUE(WaitForPlayer());
  EXPECT_EQ(StartedPlayers().size(), 1u);
  EXPECT_EQ(Run("getname"), "alpha");
  EXPECT_EQ(StartedPlayers().size(), 1u);
}

}  // namespace
}  // namespace qvx::devices
