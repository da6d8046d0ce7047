#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

// Command ids of the media player, numbered as the player's own button commands.
namespace player_button {
inline constexpr int kClose = 40001;
inline constexpr int kRepeat = 40022;
inline constexpr int kShuffle = 40023;
inline constexpr int kEqualizer = 40036;
inline constexpr int kTimeElapsed = 40037;
inline constexpr int kTimeRemaining = 40038;
inline constexpr int kPlaylistEditor = 40040;
inline constexpr int kPrevSong = 40044;
inline constexpr int kPlay = 40045;
inline constexpr int kPause = 40046;
inline constexpr int kStop = 40047;
inline constexpr int kNextSong = 40048;
inline constexpr int kVolumeUp = 40058;
inline constexpr int kVolumeDown = 40059;
inline constexpr int kRewind = 40144;
inline constexpr int kFastForward = 40148;
inline constexpr int kDoubleSize = 40165;
inline constexpr int kVisualisation = 40192;
}  // namespace player_button

// Play state as the player reports it.
enum class PlayState { kStopped = 0, kPlaying = 1, kPaused = 3 };

// One entry of the player's playlist.
struct PlaylistSong {
  std::string path;    // local file path, or the address for a stream
  std::string title;   // the song's title as the player has it; may be empty
  std::string artist;  // its artists, joined with ", "; may be empty
};

// The player's playlist and where it stands in it.
struct PlayerPlaylist {
  std::vector<PlaylistSong> songs;
  int currentIndex = 0;  // 0 for the first song; 0 also when the player cannot tell
  // False for a player that tells its current song only: the songs before and after it are
  // unknown, and `songs` holds that one song.
  bool listed = true;
};

// The running media player, reached through the desktop's player interface. Every call does
// nothing and returns the stated failure value while no player runs.
class Player {
 public:
  Player() = default;
  virtual ~Player() = default;
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // False while no player can be reached at all, running or not (on POSIX: there is no session
  // bus to find one on).
  virtual bool Reachable() { return true; }
  // A non-zero version number while a player runs; 0 when none runs.
  virtual int Version() = 0;
  // Presses one of the player_button commands; false when no player took it, or the player
  // has nothing that does what the button does.
  virtual bool PressButton(int commandId) = 0;
  // The player's play state; kStopped when none runs.
  virtual PlayState State() = 0;
  // Position in the current song in milliseconds; 0 when unknown.
  virtual long long SongPositionMs() = 0;
  // Length of the current song in seconds; 0 when unknown.
  virtual long long SongLengthS() = 0;
  // Seeks the current song to positionMs; false when the player refused.
  virtual bool JumpToTime(long long positionMs) = 0;
  // Starts playing the current song; false when no player took it.
  virtual bool StartPlay() = 0;
  // The playlist with the current position; empty when no player runs.
  virtual PlayerPlaylist Playlist() = 0;
  // Tells which program was started as the player (its process id): where several players
  // run, none plays and none was seen playing, the one this program runs is taken.
  virtual void NoteStartedProgram(int /*processId*/) {}
};

class Clock;

// Opens the player service; waits for the player (a track change to show) are timed on
// `clock`, which must outlive it. Never fails: a player that is not running is looked for
// again on every call. On POSIX every media player on the session bus is a candidate (MPRIS):
// the one that plays, or else the one seen playing last, or else the one the program started,
// or else a paused one. The D-Bus library is loaded on the first call that looks (QVX_LIBDBUS
// names another file than libdbus-1.so.3); without it no player is ever reachable.
std::unique_ptr<Player> OpenPlayer(Clock& clock);

}  // namespace platform
