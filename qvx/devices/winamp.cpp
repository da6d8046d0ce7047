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

void StartWinamp(platform::ProgramStarter& programs, const std::string& winampPath) {
  programs.StartCommandLine(WinampProgram(winampPath), platform::ShowMode::kShownNoFocus);
}

// The name of the song at the current position, for the words that reset the browsing.
std::string CurrentSongName(clsWinamp& winamp) {
  std::int16_t noOffset = 0;
  return SongNameAt(winamp, noOffset);
}

}  // namespace

int clsWinamp::Version() { return player_.Version(); }
void clsWinamp::StartPlay() { player_.StartPlay(); }
int clsWinamp::IsPlaying() { return static_cast<int>(player_.State()); }
long long clsWinamp::SongPos() { return player_.SongPositionMs(); }
long long clsWinamp::SongLen() { return player_.SongLengthS(); }
void clsWinamp::JumpToTime(long long timeMs) { player_.JumpToTime(timeMs); }
void clsWinamp::PressButton(int commandId) { player_.PressButton(commandId); }

int clsWinamp::RefreshPlaylist() {
  platform::PlayerPlaylist playlist = player_.Playlist();
  lines_.clear();
  lines_.push_back("#EXTM3U");
  for (const platform::PlaylistSong& song : playlist.songs) {
    lines_.push_back("#EXTINF:-1," + song.title);
    lines_.push_back(song.path);
  }
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
  std::string line = winamp.PlaylistSong(2 * i + 1);
  if (line.size() < 3) return {};
  size_t separator = line.find_last_of("\\/");
  std::string name = separator == std::string::npos ? line : line.substr(separator + 1);
  return name.size() < 4 ? std::string() : name.substr(0, name.size() - 4);
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
                                 const std::string& winampPath, std::string_view command,
                                 platform::ProgramStarter& programs) {
  bool startedNow = false;
  if (winamp.Version() == 0) {
    StartWinamp(programs, winampPath);
    startedNow = true;
  }
  winamp.RefreshPlaylist();

  std::string word = ToLower(command);
  if (word == "power on") {
    // A player started a moment ago is not started a second time.
    if (!startedNow) StartWinamp(programs, winampPath);
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
    playlistOffset = static_cast<std::int16_t>(playlistOffset + entry.step);
    return SongNameAt(winamp, playlistOffset);
  }
  for (const ButtonWord& entry : kButtonWords) {
    if (word != entry.word) continue;
    for (int i = 0; i < entry.presses; ++i) winamp.PressButton(entry.commandId);
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
