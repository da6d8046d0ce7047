#include "tests/support/fake_services.h"

#include <algorithm>

namespace qvx::test {
namespace {

constexpr int kScreenWidth = 1000;
constexpr int kScreenHeight = 800;

const char* ButtonName(platform::MouseButton button) {
  switch (button) {
    case platform::MouseButton::kLeft: return "left";
    case platform::MouseButton::kRight: return "right";
    case platform::MouseButton::kMiddle: return "middle";
  }
  return "?";
}

platform::Status NoDisplay() { return {platform::StatusCode::NotFound, "no display"}; }

}  // namespace

platform::Status FakeInput::GetCursorPos(int& outX, int& outY) {
  outX = outY = 0;
  if (!displayReachable) return NoDisplay();
  outX = x;
  outY = y;
  return {};
}

platform::Status FakeInput::SetCursorPos(int newX, int newY) {
  if (!displayReachable) return NoDisplay();
  x = std::clamp(newX, 0, kScreenWidth - 1);
  y = std::clamp(newY, 0, kScreenHeight - 1);
  events.push_back("move " + std::to_string(x) + " " + std::to_string(y));
  return {};
}

platform::Status FakeInput::SendMouseButton(platform::MouseButton button, bool down) {
  if (!displayReachable) return NoDisplay();
  events.push_back(std::string(down ? "down " : "up ") + ButtonName(button));
  return {};
}

platform::Status FakeInput::SendKey(platform::Key key, bool down) {
  if (!displayReachable) return NoDisplay();
  events.push_back("key " + std::to_string(static_cast<int>(key)) + (down ? " down" : " up"));
  return {};
}

int FakeProgramStarter::StartCommandLine(const std::string& commandLine, platform::ShowMode mode) {
  started.push_back({commandLine, mode});
  return 1000 + static_cast<int>(started.size());
}

bool FakeMedia::PlayWave(const std::string& path) {
  waves.push_back(path);
  return true;
}

bool FakeMedia::PlayMp3(const std::string& path) {
  mp3s.push_back(path);
  aliasFile = path;
  return true;
}

bool FakePlayer::PressButton(int commandId) {
  if (!running || std::find(lacking.begin(), lacking.end(), commandId) != lacking.end()) return false;
  pressed.push_back(commandId);
  const int last = static_cast<int>(playlist.songs.size()) - 1;
  namespace button = platform::player_button;
  int& current = playlist.currentIndex;
  if (commandId == button::kNextSong) current = std::min(current + 1, last);
  if (commandId == button::kPrevSong) current = std::max(current - 1, 0);
  if (commandId == button::kPlay) state = platform::PlayState::kPlaying;
  if (commandId == button::kStop) state = platform::PlayState::kStopped;
  return true;
}

bool FakePlayer::StartPlay() {
  if (!running) return false;
  state = platform::PlayState::kPlaying;
  return true;
}

platform::PlayerPlaylist FakePlayer::Playlist() {
  return running ? playlist : platform::PlayerPlaylist{};
}

}  // namespace qvx::test
