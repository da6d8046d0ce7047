#include "qvx/devices/winamp.h"

#include <algorithm>
#include <cctype>

#include "qvx/config/text.h"

namespace qvx::devices {
namespace {

namespace button = platform::player_button;

constexpr int kVolumePresses = 5;

// The system's texts of the player words; those of the button words stand in their table.
constexpr std::string_view kStarted = "Winamp STARTED.";
constexpr std::string_view kClosed = "Winamp CLOSED.";
constexpr std::string_view kStopped = "Stop playing.";
constexpr std::string_view kInvalidWord = "Invalid Winamp command!";

// The words that press one button and answer with a fixed text.
struct ButtonWord {
  std::string_view word;
  int commandId;
  int presses;
  std::string_view status;
};
constexpr ButtonWord kButtonWords[] = {
    {"volup", button::kVolumeUp, kVolumePresses, "VOLUME UP 10% OK."},
    {"voldown", button::kVolumeDown, kVolumePresses, "VOLUME DOWN 10% OK."},
    {"eqon", button::kEqualizer, 1, "Winamp toggle EQ OK."},
    {"repeat", button::kRepeat, 1, "Winamp toggle REPEAT OK."},
    {"shuffle", button::kShuffle, 1, "Winamp toggle SUFFLE OK."},
    {"playlist", button::kPlaylistEditor, 1, "Winamp Playlist Editor OK."},
    {"double", button::kDoubleSize, 1, "Winamp toggle DOUBLE SIZE OK."},
    {"visual", button::kVisualisation, 1, "Winamp VISUALISATION OK."},
    {"time elapsed", button::kTimeElapsed, 1, "Winamp TIME ELAPSED OK."},
    {"time remaining", button::kTimeRemaining, 1, "Winamp TIME REMAINING OK."},
};

// The words that browse the playlist without playing, with their step.
struct BrowseWord {
  std::string_view word;
  int step;
};
constexpr BrowseWord kBrowseWords[] = {
    {"next in pl", 1}, {"prev in pl", -1}, {"next 10 in pl", 10}, {"prev 10 in pl", -10}};

// The name of the song at the current position, for the words that reset the browsing.
std::string CurrentSongName(clsWinamp& winamp) {
  std::int16_t noOffset = 0;
  return SongNameAt(winamp, noOffset);
}

// The information line of a song: artist and title as a playlist file writes them. A title
// that is the file's own name (what players show for a file without tags) is no title.
std::string InformationLine(const platform::PlaylistSong& song) {
  const std::string_view path = song.path;
  const bool fileName = song.title == path.substr(path.rfind('/') + 1) ||
                        song.title == path.substr(path.find_last_of("\\/") + 1);
  std::string title = fileName ? std::string() : song.title;
  if (!title.empty() && !song.artist.empty()) title = song.artist + " - " + title;
  return "#EXTINF:-1," + title;
}

// "1:05", or "1:02:03" from an hour on.
std::string ClockText(long long ms) {
  const long long seconds = std::max(ms, 0LL) / 1000;
  const auto twoDigits = [](long long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
  if (seconds < 3600) return std::to_string(seconds / 60) + ":" + twoDigits(seconds % 60);
  return std::to_string(seconds / 3600) + ":" + twoDigits(seconds / 60 % 60) + ":" +
         twoDigits(seconds % 60);
}

// A word whose button the player had nothing for: its own text says so, or, for the time
// display, the time itself (kept whole where the player cannot tell the length).
std::string Unserved(clsWinamp& winamp, const ButtonWord& entry) {
  const std::string_view what = entry.status.substr(0, entry.status.rfind(" OK."));
  const long long positionMs = winamp.SongPos();
  if (entry.commandId == button::kTimeElapsed)
    return std::string(what) + " " + ClockText(positionMs) + ".";
  if (entry.commandId == button::kTimeRemaining && winamp.SongLen() > 0)
    // Counted in whole seconds still to come, as a player's display does: 59.9 s left is 1:00.
    return std::string(what) + " " + ClockText(winamp.SongLen() * 1000 - positionMs + 999) + ".";
  return std::string(what) + std::string(kNotAvailableEnding);
}

}  // namespace

int clsWinamp::Version() { return player_.Version(); }
void clsWinamp::StartPlay() { player_.StartPlay(); }
int clsWinamp::IsPlaying() { return static_cast<int>(player_.State()); }
long long clsWinamp::SongPos() { return player_.SongPositionMs(); }
long long clsWinamp::SongLen() { return player_.SongLengthS(); }
void clsWinamp::JumpToTime(long long timeMs) { player_.JumpToTime(timeMs); }
bool clsWinamp::PressButton(int commandId) { return player_.PressButton(commandId); }

void clsWinamp::StartWinamp(const std::string& winampPath) {
  const int64_t nowNs = clock_.NowNs();
  const bool comingUp = startedProgram_ != 0 && player_.Version() == 0 &&
                        (programs_.Running(startedProgram_) ||
                         nowNs - startedAtNs_ < int64_t{kPlayerStartupMs} * 1'000'000);
  if (comingUp) return;
  startedProgram_ = programs_.StartCommandLine(WinampProgram(winampPath),
                                               platform::ShowMode::kShownNoFocus);
  startedAtNs_ = nowNs;
  if (startedProgram_ != 0) player_.NoteStartedProgram(startedProgram_);
}

int clsWinamp::RefreshPlaylist() {
  platform::PlayerPlaylist playlist = player_.Playlist();
  lines_.clear();
  lines_.push_back("#EXTM3U");
  for (const platform::PlaylistSong& song : playlist.songs) {
    lines_.push_back(InformationLine(song));
    lines_.push_back(song.path);
  }
  listed_ = playlist.listed;
  return playlist.currentIndex;
}

std::string clsWinamp::PlaylistSong(int i) const {
  if (i < 1 || i > PlaylistCount()) return {};
  return lines_[static_cast<size_t>(i) - 1];
}

std::string SongNameAt(clsWinamp& winamp, std::int16_t& offset) {
  // The list is read first, so the song count always belongs to the list that is indexed.
  int position = winamp.RefreshPlaylist();
  int songs = (winamp.PlaylistCount() - 1) / 2;
  if (songs < 1) return {};
  int i = position + 1 + offset;
  if (i < 1) {
    i = 1;
    offset = static_cast<std::int16_t>(offset + 1);
  }
  if (i > songs) {
    i = songs;
    offset = static_cast<std::int16_t>(offset - 1);
  }
  const std::string information = winamp.PlaylistSong(2 * i);
  const std::size_t comma = information.find(',');
  if (comma != std::string::npos && comma + 1 < information.size()) return information.substr(comma + 1);
  const std::string line = winamp.PlaylistSong(2 * i + 1);
  if (line.size() < 3) return {};
  // The file's name without its extension; a stream's address may have none to cut off.
  const std::size_t separator = line.find_last_of("\\/");
  const std::string name = separator == std::string::npos ? line : line.substr(separator + 1);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

void PlayAtOffset(clsWinamp& winamp, int offset) {
  for (int i = 0; i < offset; ++i) winamp.CommandNextSong();
  for (int i = 0; i < -offset; ++i) winamp.CommandPrevSong();
  if (offset == 0) winamp.CommandPlay();
}

std::string WinampProgram(const std::string& winampPath) {
  if (winampPath.empty() || winampPath.back() == '\\' || winampPath.back() == '/')
    return winampPath + "winamp.exe";
  return winampPath;
}

std::string ExecuteWinampCommand(clsWinamp& winamp, std::int16_t& playlistOffset,
                                 const std::string& winampPath, std::string_view command) {
  // A player started where none can be reached could never be driven.
  if (!winamp.Reachable()) return std::string(kPlayerUnreachable);
  const bool running = winamp.Version() != 0;
  if (!running) winamp.StartWinamp(winampPath);
  winamp.RefreshPlaylist();

  std::string word = ToLower(command);
  if (word == "power on") {
    // A running player decides what a second start does; one still coming up is left to it.
    if (running) winamp.StartWinamp(winampPath);
    return std::string(kStarted);
  }
  if (word == "power off") {
    winamp.CommandCloseWinamp();
    return std::string(kClosed);
  }
  if (word == "play") {
    PlayAtOffset(winamp, playlistOffset);
    playlistOffset = 0;
    return CurrentSongName(winamp) + "(>)  ";
  }
  if (word == "stop") {
    winamp.CommandStop();
    playlistOffset = 0;
    return std::string(kStopped);
  }
  struct SongWord {
    std::string_view word;
    int commandId;
    std::string_view mark;
  };
  static constexpr SongWord kSongWords[] = {
      {"next", button::kNextSong, "(>>)  "},
      {"prev", button::kPrevSong, "(<<)  "},
      {"pause", button::kPause, "(||)  "},
      {"ffw", button::kFastForward, "(>>)  "},
      {"rew", button::kRewind, "(<<)  "},
  };
  for (const SongWord& entry : kSongWords) {
    if (word != entry.word) continue;
    winamp.PressButton(entry.commandId);
    playlistOffset = 0;
    return CurrentSongName(winamp) + std::string(entry.mark);
  }
  for (const BrowseWord& entry : kBrowseWords) {
    if (word != entry.word) continue;
    if (running && !winamp.PlaylistListed()) return std::string(kBrowsingUnavailable);
    playlistOffset = static_cast<std::int16_t>(playlistOffset + entry.step);
    return SongNameAt(winamp, playlistOffset);
  }
  for (const ButtonWord& entry : kButtonWords) {
    if (word != entry.word) continue;
    bool taken = true;
    for (int i = 0; i < entry.presses; ++i) taken = winamp.PressButton(entry.commandId) && taken;
    if (!taken && running) return Unserved(winamp, entry);
    return std::string(entry.status);
  }
  if (word == "getname") {
    playlistOffset = 0;
    return CurrentSongName(winamp);
  }
  return std::string(kInvalidWord);
}

bool WinampClosingBeep(std::string_view command) {
  std::string word = ToLower(command);
  return word != "volup" && word != "voldown";
}

}  // namespace qvx::devices
