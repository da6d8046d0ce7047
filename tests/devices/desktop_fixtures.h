#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/skip.h"
#include "tests/support/support.h"

namespace qvx::test {

// Xvfb on a free display number; display() is the DISPLAY value.
class VirtualDisplay {
 public:
  VirtualDisplay();
  bool ok() const { return !display_.empty(); }
  const std::string& display() const { return display_; }

 private:
  ChildProcess server_;
  std::string display_;
};

// A private D-Bus session bus in dir that accepts every local user; address() for
// DBUS_SESSION_BUS_ADDRESS.
class SessionBus {
 public:
  explicit SessionBus(const std::filesystem::path& dir);
  bool ok() const { return !address_.empty(); }
  const std::string& address() const { return address_; }

 private:
  ChildProcess daemon_;
  std::string address_;
};

// Writes a mono 8 kHz wave file of a quiet tone lasting seconds.
void WriteWave(const std::filesystem::path& path, int seconds);
// Writes an MP3 file of silent frames lasting about seconds; with an artist or a title, an
// ID3v2.3 tag with them goes first.
void WriteMp3(const std::filesystem::path& path, int seconds, const std::string& artist = "",
              const std::string& title = "");

// The names on the session bus at DBUS_SESSION_BUS_ADDRESS, as dbus-send lists them.
std::string BusNames();
// The PlaybackStatus of the media player that owns busName ("Playing", "Paused", "Stopped"),
// asked with dbus-send; empty when it does not answer.
std::string PlayerStatus(const std::string& busName);
// The media player's Metadata as dbus-send prints it; empty when it does not answer.
std::string PlayerMetadata(const std::string& busName);
// Calls a method without arguments of the media player's Player interface (Play, Pause, ...).
void CallPlayer(const std::string& busName, const std::string& method);

}  // namespace qvx::test
