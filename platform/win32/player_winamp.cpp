// The media player is Winamp, reached through its window messages: WM_USER with the request in
// lParam, WM_COMMAND with the id of one of its buttons.

#include "platform/player.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>

namespace platform {
namespace {

constexpr const char* kWindowClass = "Winamp v1.x";
constexpr LPARAM kGetVersion = 0;
constexpr LPARAM kStartPlay = 102;
constexpr LPARAM kPlayState = 104;
constexpr LPARAM kSongTime = 105;  // wParam 0: position in ms, 1: length in s
constexpr LPARAM kJumpToTime = 106;
constexpr LPARAM kWritePlaylist = 120;  // writes winamp.m3u, answers the current position

HWND WinampWindow() { return FindWindowA(kWindowClass, nullptr); }

LRESULT Ask(WPARAM wParam, LPARAM request) {
  const HWND window = WinampWindow();
  return window ? SendMessageA(window, WM_USER, wParam, request) : 0;
}

// Winamp writes its playlist file beside its program.
std::filesystem::path WinampDirectory(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return {};
  char name[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  const bool found = QueryFullProcessImageNameA(process, 0, name, &size) != 0;
  CloseHandle(process);
  return found ? std::filesystem::path(name).parent_path() : std::filesystem::path();
}

// winamp.m3u: a header line, then per song an information line ("#EXTINF:seconds,title") and
// the file's path.
std::vector<PlaylistSong> ReadPlaylistFile(const std::filesystem::path& file) {
  std::vector<PlaylistSong> songs;
  std::ifstream in(file);
  std::string line;
  std::string title;
  if (!std::getline(in, line)) return songs;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("#EXTINF:")) {
      const size_t comma = line.find(',');
      title = comma == std::string::npos ? std::string() : line.substr(comma + 1);
    } else if (!line.empty() && line[0] != '#') {
      songs.push_back({line, std::exchange(title, {}), {}});
    }
  }
  return songs;
}

class WinampPlayer final : public Player {
 public:
  int Version() override { return static_cast<int>(Ask(0, kGetVersion)); }

  bool PressButton(int commandId) override {
    const HWND window = WinampWindow();
    if (!window) return false;
    SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(commandId), 0);
    return true;
  }

  PlayState State() override {
    switch (Ask(0, kPlayState)) {
      case 1: return PlayState::kPlaying;
      case 3: return PlayState::kPaused;
      default: return PlayState::kStopped;
    }
  }

  long long SongPositionMs() override { return Ask(0, kSongTime); }
  long long SongLengthS() override { return Ask(1, kSongTime); }

  bool JumpToTime(long long positionMs) override {
    const HWND window = WinampWindow();
    return window && PostMessageA(window, WM_USER, static_cast<WPARAM>(positionMs), kJumpToTime);
  }

  bool StartPlay() override {
    const HWND window = WinampWindow();
    return window && PostMessageA(window, WM_USER, 0, kStartPlay);
  }

  PlayerPlaylist Playlist() override {
    PlayerPlaylist playlist;
    const HWND window = WinampWindow();
    if (!window) return playlist;
    const LRESULT position = SendMessageA(window, WM_USER, 0, kWritePlaylist);
    playlist.songs = ReadPlaylistFile(WinampDirectory(window) / "winamp.m3u");
    if (position >= 0 && static_cast<size_t>(position) < playlist.songs.size())
      playlist.currentIndex = static_cast<int>(position);
    return playlist;
  }
};

}  // namespace

// Winamp answers its messages at once, so nothing is waited for on the clock.
std::unique_ptr<Player> OpenPlayer(Clock&) { return std::make_unique<WinampPlayer>(); }

}  // namespace platform
