// Uses one desktop service and prints what it answered, with the desktop libraries the process
// had mapped before and after. The lazy-loading tests run it in a fresh process per case, as
// each library is loaded at most once in a process.
//   library_probe player|player-calls|input|beep

#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/player.h"
#include "platform/sim/virtual_clock.h"
#include "platform/sound.h"

namespace {

// The desktop libraries in the process's memory map, by soname, in a fixed order.
std::string MappedLibraries() {
  static const char* const kSonames[] = {"libasound.so.2", "libdbus-1.so.3", "libX11.so.6",
                                         "libXtst.so.6"};
  std::vector<std::string> files;
  std::string line;
  for (std::ifstream in("/proc/self/maps"); std::getline(in, line);) {
    std::string::size_type slash = line.rfind('/');
    if (slash != std::string::npos) files.push_back(line.substr(slash + 1));
  }
  std::string found;
  for (const char* soname : kSonames) {
    // A mapped file carries the full version: libdbus-1.so.3.32.4.
    auto isIt = [&](const std::string& file) { return file.starts_with(soname); };
    if (std::ranges::any_of(files, isIt))
      found += (found.empty() ? "" : " ") + std::string(soname);
  }
  return found;
}

void Player(bool allCalls) {
  auto player = platform::OpenPlayer(platform::RealClock());
  std::cout << "version=" << player->Version() << "\n";
  // Only without a reachable player: a real one would be asked and could take its time.
  if (!allCalls) return;
  platform::PlayerPlaylist playlist = player->Playlist();
  std::cout << "play=" << player->PressButton(platform::player_button::kPlay)
            << " start=" << player->StartPlay() << " state=" << static_cast<int>(player->State())
            << " position=" << player->SongPositionMs() << " length=" << player->SongLengthS()
            << " jump=" << player->JumpToTime(1000) << " songs=" << playlist.songs.size() << "\n";
}

void Input() {
  platform::Input& input = platform::SystemInput();
  int x = -1, y = -1;
  bool set = input.SetCursorPos(7, 9).ok();
  bool get = input.GetCursorPos(x, y).ok();
  bool key = input.SendKey(platform::Key::kA, true) && input.SendKey(platform::Key::kA, false);
  bool button = input.SendMouseButton(platform::MouseButton::kLeft, true) &&
                input.SendMouseButton(platform::MouseButton::kLeft, false);
  std::cout << "set=" << set << " get=" << get << " x=" << x << " y=" << y << " key=" << key
            << " button=" << button << "\n";
}

void Beep() {
  platform::sim::VirtualClock clock;
  platform::Beep(clock, 1000, 250);
  std::cout << "clock_ms=" << clock.NowNs() / 1'000'000 << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::string service = argc == 2 ? argv[1] : "";
  std::cout << "before=" << MappedLibraries() << "\n";
  if (service == "player" || service == "player-calls") {
    Player(service == "player-calls");
  } else if (service == "input") {
    Input();
  } else if (service == "beep") {
    Beep();
  } else {
    std::cerr << "usage: library_probe player|player-calls|input|beep\n";
    return 2;
  }
  std::cout << "after=" << MappedLibraries() << "\n";
  return 0;
}
