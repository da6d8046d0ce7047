#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/player.h"
#include "platform/process.h"

namespace qvx::devices {

// The media player as the remote drives it: commands, button presses and the playlist.
class clsWinamp {
 public:
  // Drives `player`, which must outlive it.
  explicit clsWinamp(platform::Player& player) : player_(player) {}

  // The player's version number; 0 when it does not run.
  int Version();
  // Starts playing the current song; nothing when the player does not run.
  void StartPlay();
  // 1 playing, 3 paused, 0 stopped or not running.
  int IsPlaying();
  // Position in the current song in milliseconds; 0 when unknown.
  long long SongPos();
  // Length of the current song in seconds; 0 when unknown.
  long long SongLen();
  // Seeks the current song to timeMs; nothing when the player does not run.
  void JumpToTime(long long timeMs);
  // Rereads the playlist lines (a header, then an information line and a path per song);
  // returns the current position, 0 for the first song and when the player does not run.
  int RefreshPlaylist();
  // Number of playlist lines last read.
  int PlaylistCount() const { return static_cast<int>(lines_.size()); }
  // Playlist line i, counted from 1; empty outside the lines read.
  std::string PlaylistSong(int i) const;
  // Closes the player.
  void CommandCloseWinamp() { PressButton(platform::player_button::kClose); }
  // Goes to the previous song.
  void CommandPrevSong() { PressButton(platform::player_button::kPrevSong); }
  // Plays the current song.
  void CommandPlay() { PressButton(platform::player_button::kPlay); }
  // Stops playing.
  void CommandStop() { PressButton(platform::player_button::kStop); }
  // Goes to the next song.
  void CommandNextSong() { PressButton(platform::player_button::kNextSong); }
  // Presses one of the player's buttons by command id; nothing when the player does not run.
  void PressButton(int commandId);

 private:
  platform::Player& player_;
  std::vector<std::string> lines_;
};

// The player's display name of the playlist song at the current position plus offset, after
// rereading the playlist. A step beyond either end moves offset back by one; empty when the
// playlist is empty.
std::string SongNameAt(clsWinamp& winamp, std::int16_t& offset);
// Skips offset songs forward (or back when negative); plays the current song for 0.
void PlayAtOffset(clsWinamp& winamp, int offset);
// The command line that starts the player: WINAMPPATH with "winamp.exe" appended when it
// ends in a directory separator, otherwise WINAMPPATH itself.
std::string WinampProgram(const std::string& winampPath);
// Carries out one player word (case ignored) with the current WINAMPPATH, starting the player
// through `programs` first when it does not run; returns the status text ("Invalid Winamp
// command!" for an unknown word). playlistOffset is the browsing offset kept between commands.
std::string ExecuteWinampCommand(clsWinamp& winamp, std::int16_t& playlistOffset,
                                 const std::string& winampPath, std::string_view command,
                                 platform::ProgramStarter& programs);
// False for the words after which no closing beep sounds ("volup", "voldown").
bool WinampClosingBeep(std::string_view command);

}  // namespace qvx::devices
