#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/player.h"
#include "platform/process.h"

namespace qvx::devices {

// The status of every player word while no player can be reached at all (no session bus).
inline constexpr std::string_view kPlayerUnreachable =
    "No media player can be reached: there is no desktop session bus!";
// The status of a browsing word for a player that tells its current song only.
inline constexpr std::string_view kBrowsingUnavailable =
    "Playlist browsing is not available with this player!";
// Ends the text of a word whose button the player has nothing for ("Winamp toggle EQ" + it).
inline constexpr std::string_view kNotAvailableEnding = " is not available with this player!";

// How long a player program just started is given to appear before a word starts it again,
// also when the program that was started has ended (a launcher that hands over to the player).
inline constexpr int kPlayerStartupMs = 10'000;

// The media player as the remote drives it: commands, button presses, the playlist, and the
// start of the player program.
class clsWinamp {
 public:
  // Drives `player`, starts the player program through `programs` and times its start-up on
  // `clock`; all must outlive it.
  clsWinamp(platform::Player& player, platform::ProgramStarter& programs, platform::Clock& clock)
      : player_(player), programs_(programs), clock_(clock) {}

  // False while no player can be reached at all, whether one runs or not.
  bool Reachable() { return player_.Reachable(); }
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
  // Rereads the playlist lines (a header, then per song an information line "#EXTINF:-1,"
  // with the song's artist and title as the player has them, and its path); returns the
  // current position, 0 for the first song and when the player does not run.
  int RefreshPlaylist();
  // Number of playlist lines last read.
  int PlaylistCount() const { return static_cast<int>(lines_.size()); }
  // Playlist line i, counted from 1; empty outside the lines read.
  std::string PlaylistSong(int i) const;
  // False when the list last read holds the current song only, the player telling no more.
  bool PlaylistListed() const { return listed_; }
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
  // Presses one of the player's buttons by command id; false when no player took it.
  bool PressButton(int commandId);
  // Starts the player program (WinampProgram of winampPath) in a window that does not take the
  // focus, unless the one started before is still coming up: no player runs yet, and that
  // program still runs or was started less than kPlayerStartupMs ago.
  void StartWinamp(const std::string& winampPath);

 private:
  platform::Player& player_;
  platform::ProgramStarter& programs_;
  platform::Clock& clock_;
  std::vector<std::string> lines_;
  bool listed_ = true;
  int startedProgram_ = 0;   // process id of the player program started last; 0 for none
  int64_t startedAtNs_ = 0;  // when, on clock_
};

// The display name of the playlist song at the current position plus offset, after rereading
// the playlist: its artist and title as the player has them, or else its file's name without
// the extension. A step beyond either end moves offset back by one; empty when the playlist is
// empty.
std::string SongNameAt(clsWinamp& winamp, std::int16_t& offset);
// Skips offset songs forward (or back when negative); plays the current song for 0.
void PlayAtOffset(clsWinamp& winamp, int offset);
// The command line that starts the player: WINAMPPATH with "winamp.exe" appended when it
// ends in a directory separator, otherwise WINAMPPATH itself.
std::string WinampProgram(const std::string& winampPath);
// Carries out one player word (case ignored) with the current WINAMPPATH, starting the player
// first when it does not run; returns the status text ("Invalid Winamp command!" for an unknown
// word). A word the running player has nothing for says so instead of "... OK."; the time
// words tell the song's elapsed or remaining time where the player's display cannot show it.
// playlistOffset is the browsing offset kept between commands.
std::string ExecuteWinampCommand(clsWinamp& winamp, std::int16_t& playlistOffset,
                                 const std::string& winampPath, std::string_view command);
// False for the words after which no closing beep sounds ("volup", "voldown").
bool WinampClosingBeep(std::string_view command);

}  // namespace qvx::devices
