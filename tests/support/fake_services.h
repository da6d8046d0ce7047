#pragma once

// Fakes of the system's services for the logic tests: each records what the code under test
// asked for and answers from a script, so that the word tables, the playlist arithmetic and
// the launcher's choices are tested without a display, a player or a sound program. The real
// services have their own end-to-end tests.

#include <string>
#include <vector>

#include "platform/services.h"
#include "platform/sim/virtual_clock.h"

namespace qvx::test {

// A pointer on a 1000 x 800 screen that clips, and a keyboard; events are recorded as
// "move 105 100", "down left", "up left", "key a down", ...
class FakeInput : public platform::Input {
 public:
  int x = 100, y = 100;
  bool displayReachable = true;
  std::vector<std::string> events;

  platform::Status GetCursorPos(int& outX, int& outY) override;
  platform::Status SetCursorPos(int newX, int newY) override;
  platform::Status SendMouseButton(platform::MouseButton button, bool down) override;
  platform::Status SendKey(platform::Key key, bool down) override;
};

// Records every start; each gets the next process id. Started programs run while `running`.
class FakeProgramStarter : public platform::ProgramStarter {
 public:
  struct Start {
    std::string commandLine;
    platform::ShowMode mode;
  };
  std::vector<Start> started;
  bool running = true;

  int StartCommandLine(const std::string& commandLine, platform::ShowMode mode) override;
  bool Running(int) override { return running; }
};

// Wave files played, and the MP3 alias with every file opened under it.
class FakeMedia : public platform::Media {
 public:
  std::vector<std::string> waves;
  std::vector<std::string> mp3s;
  std::string aliasFile;

  bool PlayWave(const std::string& path) override;
  bool PlayMp3(const std::string& path) override;
  void CloseMp3() override { aliasFile.clear(); }
  std::string OpenMp3() override { return aliasFile; }
};

// A player with a playlist; the song buttons move in it and stop at its ends, like the remote's
// player, and the buttons in `lacking` are refused. While `running` is false every call answers
// as without a player; while `reachable` is false there is none to be had at all.
class FakePlayer : public platform::Player {
 public:
  bool reachable = true;
  bool running = true;
  platform::PlayerPlaylist playlist;
  platform::PlayState state = platform::PlayState::kStopped;
  std::vector<int> lacking;
  long long positionMs = 0;
  long long lengthS = 0;
  std::vector<int> pressed;
  int startedProgram = 0;

  bool Reachable() override { return reachable; }
  int Version() override { return running ? 2 : 0; }
  bool PressButton(int commandId) override;
  platform::PlayState State() override { return running ? state : platform::PlayState::kStopped; }
  long long SongPositionMs() override { return running ? positionMs : 0; }
  long long SongLengthS() override { return running ? lengthS : 0; }
  bool JumpToTime(long long) override { return running; }
  bool StartPlay() override;
  platform::PlayerPlaylist Playlist() override;
  void NoteStartedProgram(int processId) override { startedProgram = processId; }
};

// All of them together, on a virtual clock.
struct FakeServices {
  platform::sim::VirtualClock clock;
  FakeInput input;
  FakeProgramStarter programs;
  FakeMedia media;
  FakePlayer player;

  platform::Services Services() { return {clock, input, programs, media, player}; }
};

}  // namespace qvx::test
