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
    // The same playlist, loaded but not playing, or paused at the start of its first song.
    WriteScript(dir / "idle-player.sh", start + " --no-playlist-autostart" + songs);
    WriteScript(dir / "paused-player.sh", start + " --start-paused" + songs);
    WriteMp3(dir / "tagged.mp3", 30, "The Band", "Tagged Song");
    winampPath_ = (dir / "player.sh").string();
    winamp_ = std::make_unique<clsWinamp>(*service_, platform::SystemProgramStarter(),
                                          platform::RealClock());
  }

  void TearDown() override {
    for (pid_t pid : StartedPlayers()) KillAndWait(pid);
    second_.Stop();
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }

  // A second player beside VLC: mpv with its MPRIS plugin, looping the tagged song, which has no
  // track list to offer. Waits until it is on the bus.
  void StartSecondPlayer(bool paused) {
    std::vector<std::string> argv = {"mpv", "--no-config", "--load-scripts=no",
                                     std::string("--script=") + kMpris, "--no-video", "--ao=null",
                                     "--loop-file=inf", (temp_.path() / "tagged.mp3").string()};
    if (paused) argv.push_back("--pause");
    second_ = ChildProcess(argv);
    ASSERT_TRUE(WaitUntil([] { return BusNames().find(kSecondPlayer) != std::string::npos; },
                          kPlayerStartMs));
    ASSERT_TRUE(WaitUntil([&] { return PlayerStatus(kSecondPlayer) == (paused ? "Paused" : "Playing"); },
                          kPlayerStartMs));
    // The tags are read a moment after the file is opened.
    ASSERT_TRUE(WaitUntil([] { return PlayerMetadata(kSecondPlayer).find("Tagged Song") != std::string::npos; },
                          kPlayerStartMs));
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
    return ExecuteWinampCommand(*winamp_, offset_, winampPath_, word);
  }

  void RunSteps(const std::vector<PlayerStep>& steps) {
    RunPlayerSteps(*winamp_, offset_, winampPath_, steps);
  }

  static constexpr const char* kMpris = "/usr/lib/mpv-mpris/mpris.so";
  static constexpr const char* kFirstPlayer = "org.mpris.MediaPlayer2.vlc";
  static constexpr const char* kSecondPlayer = "org.mpris.MediaPlayer2.mpv";

  TempDir temp_;
  std::unique_ptr<SessionBus> bus_;
  ChildProcess player_;
  ChildProcess second_;
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
  // The player reads the song's length after it lists the song; a busy machine shows the gap.
  ASSERT_TRUE(WaitUntil([&] { return winamp_->SongLen() == 60; }, 8000));
  struct Case {
    const char* word;
    const char* status;
    bool closingBeep;
  };
  const Case cases[] = {
      {"volup", "VOLUME UP 10% OK.", false},
      {"VOLDOWN", "VOLUME DOWN 10% OK.", false},
      // The desktop's player interface has no equaliser and no visualisation.
      {"eqon", "Winamp toggle EQ is not available with this player!", true},
      {"repeat", "Winamp toggle REPEAT OK.", true},
      {"shuffle", "Winamp toggle SUFFLE OK.", true},
      {"playlist", "Winamp Playlist Editor OK.", true},
      {"visual", "Winamp VISUALISATION is not available with this player!", true},
      // The current song, stopped at its start, lasts a minute.
      {"time elapsed", "Winamp TIME ELAPSED 0:00.", true},
      {"Time Remaining", "Winamp TIME REMAINING 1:00.", true},
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

// The web remote reaches the user's player when its web server runs in the user's session and
// hands the gateways the session bus (data/qvx-web.service); without one it says so, at once,
// and starts no player it could never drive.
TEST_F(WinampTest, TheWebRemoteReachesThePlayerThroughTheSessionBus) {
  StartPlayer();
  const fs::path www = temp_.path() / "www";
  fs::create_directories(www);
  fs::copy_file(BinDir() / "qvxweb.cgi", www / "qvxweb.cgi");
  std::string config = ReadFile(DeliveredConfig());
  config.replace(config.find("WINAMPPATH= vlc"), 15, "WINAMPPATH= " + winampPath_);
  WriteFile(www / "pelgrin.cfg", config);
  const std::string body = "DevList=Winamp&CmdList=GETNAME&SendCmd=Send";
  const auto request = [&](const std::string& busAddress) {
    std::vector<std::string> env = {
        "GATEWAY_INTERFACE=CGI/1.1", "REQUEST_METHOD=POST", "SCRIPT_NAME=/qvxweb.cgi",
        "CONTENT_TYPE=application/x-www-form-urlencoded",
        "CONTENT_LENGTH=" + std::to_string(body.size()), "QVX_AUDIO_DEVICE=none",
        "PATH=/usr/bin:/bin"};
    if (!busAddress.empty()) env.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress);
    const ProgramRun run = RunProgram({(www / "qvxweb.cgi").string()}, env, body, www, 10000);
    EXPECT_TRUE(run.waitStatus.has_value());
    return run.out;
  };
  EXPECT_NE(request(bus_->address()).find("<b>alpha</b>"), std::string::npos);
  EXPECT_NE(request("").find("<b>No media player can be reached: there is no desktop session bus!</b>"),
            std::string::npos);
  EXPECT_EQ(StartedPlayers().size(), 1u);
}

TEST_F(WinampTest, AnyWordStartsAPlayerThatIsNotRunningOnceWhileItComesUp) {
  // A held key: the player is just starting, so whether it can name the song yet depends on how
  // fast it comes up; it is started once all the same, and the next word finds it.
  for (int press = 0; press < 5; ++press)
    EXPECT_THAT(Run("play"), ::testing::AnyOf("(>)  ", "alpha(>)  "));
  ASSERT_TRUE(WaitForPlayer());
  EXPECT_EQ(StartedPlayers().size(), 1u);
  EXPECT_EQ(Run("getname"), "alpha");
  EXPECT_EQ(StartedPlayers().size(), 1u);
}

// VLC idle with its playlist, mpv playing a tagged song: the words go to the player that plays
// and name its song by its tags; once paused by the remote it is still the one active last.
// Once the user plays VLC instead, the words follow.
TEST_F(WinampTest, TheWordsGoToThePlayerThatPlays) {
  QVX_SKIP_UNLESS(fs::exists(kMpris), "mpv's MPRIS plugin is not installed (package mpv-mpris)");
  player_ = ChildProcess({(temp_.path() / "idle-player.sh").string()});
  ASSERT_TRUE(WaitUntil([] { return PlayerStatus(kFirstPlayer) == "Stopped"; }, kPlayerStartMs));
  StartSecondPlayer(false);
  RunSteps({{"pause", "The Band - Tagged Song(||)  ", 0}});
  EXPECT_TRUE(WaitUntil([] { return PlayerStatus(kSecondPlayer) == "Paused"; }, 5000));
  EXPECT_EQ(PlayerStatus(kFirstPlayer), "Stopped");
  RunSteps({
      {"pause", "The Band - Tagged Song(||)  ", 0},
      // mpv tells its current song only.
      {"next in pl", "Playlist browsing is not available with this player!", 0},
  });
  EXPECT_TRUE(WaitUntil([] { return PlayerStatus(kSecondPlayer) == "Playing"; }, 5000));
  EXPECT_EQ(PlayerStatus(kFirstPlayer), "Stopped");

  CallPlayer(kSecondPlayer, "Pause");
  CallPlayer(kFirstPlayer, "Play");
  ASSERT_TRUE(WaitUntil([] { return PlayerStatus(kFirstPlayer) == "Playing"; }, 5000));
  RunSteps({{"getname", "alpha", 0}, {"next in pl", "bravo", 1}});
  EXPECT_EQ(StartedPlayers().size(), 1u);
}

// With two players paused and neither seen playing, the one "power on" started is the one the
// words go to.
TEST_F(WinampTest, ThePlayerTheProgramStartedIsTakenWhenNoneWasActive) {
  QVX_SKIP_UNLESS(fs::exists(kMpris), "mpv's MPRIS plugin is not installed (package mpv-mpris)");
  StartSecondPlayer(true);
  winampPath_ = (temp_.path() / "paused-player.sh").string();
  RunSteps({{"power on", "Winamp STARTED.", 0}});
  ASSERT_TRUE(WaitUntil([] { return PlayerStatus(kFirstPlayer) == "Paused"; }, kPlayerStartMs));
  RunSteps({{"getname", "alpha", 0}, {"next in pl", "bravo", 1}});
  EXPECT_EQ(PlayerStatus(kSecondPlayer), "Paused");
}

}  // namespace
}  // namespace qvx::devices
