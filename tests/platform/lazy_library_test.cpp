// The desktop services load libdbus, libX11, libXtst and libasound on first use, and behave as
// without their resource when a library cannot be loaded. Each case runs library_probe in a
// fresh process, against a real session bus or a real X server this test starts; the
// QVX_LIB* variables name a file that does not exist, so the real loading code fails.

#include <dbus/dbus.h>
#include <stdio.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "desktop_fixtures.h"
#include "tests/support/terminal.h"

namespace {

using qvx::test::ScopedEnv;

constexpr const char* kMissing = "libqvx-missing.so.0";

struct Case {
  const char* name;
  const char* service;
  std::vector<std::pair<const char*, const char*>> environment;
  const char* expected;
};

// Runs the probe with the case's environment and returns what it printed.
std::string RunProbe(const Case& c) {
  std::vector<std::unique_ptr<ScopedEnv>> scoped;
  for (const char* variable : {"QVX_LIBDBUS", "QVX_LIBX11", "QVX_LIBXTST", "QVX_LIBASOUND"})
    scoped.push_back(std::make_unique<ScopedEnv>(variable, ""));
  for (const auto& [variable, value] : c.environment)
    scoped.push_back(std::make_unique<ScopedEnv>(variable, value));
  std::string output;
  FILE* probe = popen((std::string(QVX_LIBRARY_PROBE) + " " + c.service).c_str(), "r");
  if (!probe) return "cannot start the probe";
  char chunk[256];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, probe)) > 0;) output.append(chunk, got);
  int status = pclose(probe);
  if (status != 0) output += "exit status " + std::to_string(status);
  return output;
}

// A name of a media player held on the session bus by this test: enough for the player service
// to see a running player when it can reach the bus.
class HeldPlayerName {
 public:
  HeldPlayerName(const std::string& address, const char* name) {
    DBusError error;
    dbus_error_init(&error);
    connection_ = dbus_connection_open_private(address.c_str(), &error);
    if (connection_ && dbus_bus_register(connection_, &error))
      held_ = dbus_bus_request_name(connection_, name, DBUS_NAME_FLAG_DO_NOT_QUEUE, &error) ==
              DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER;
    dbus_error_free(&error);
  }
  ~HeldPlayerName() {
    if (!connection_) return;
    dbus_connection_close(connection_);
    dbus_connection_unref(connection_);
  }
  bool held() const { return held_; }

 private:
  DBusConnection* connection_ = nullptr;
  bool held_ = false;
};

TEST(LazyLibraries, PlayerLoadsLibdbusOnFirstUseAndWithoutItSeesNoPlayer) {
  qvx::test::TempDir dir;
  qvx::test::SessionBus bus(dir.path());
  QVX_SKIP_UNLESS(bus.ok(), "dbus-daemon could not be started (package dbus)");
  HeldPlayerName player(bus.address(), "org.mpris.MediaPlayer2.probe");
  ASSERT_TRUE(player.held());
  ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.address());
  for (const Case& c : {
           Case{"loaded", "player", {}, "before=\nversion=2\nafter=libdbus-1.so.3\n"},
           Case{"missing", "player-calls", {{"QVX_LIBDBUS", kMissing}},
                "before=\nversion=0\n"
                "play=0 start=0 state=0 position=0 length=0 jump=0 songs=0\nafter=\n"},
       }) {
    EXPECT_EQ(RunProbe(c), c.expected) << c.name;
  }
}

TEST(LazyLibraries, InputLoadsXlibAndXTestOnFirstUseAndWithoutThemHasNoDisplay) {
  qvx::test::VirtualDisplay display;
  QVX_SKIP_UNLESS(display.ok(), "Xvfb could not be started (package xvfb)");
  ScopedEnv variable("DISPLAY", display.display());
  for (const Case& c : {
           Case{"loaded", "input", {},
                "before=\nset=1 get=1 x=7 y=9 key=1 button=1\nafter=libX11.so.6 libXtst.so.6\n"},
           Case{"no libX11", "input", {{"QVX_LIBX11", kMissing}},
                "before=\nset=0 get=0 x=0 y=0 key=0 button=0\nafter=\n"},
           // libX11 is opened first and stays: the process would load it again anyway.
           Case{"no libXtst", "input", {{"QVX_LIBXTST", kMissing}},
                "before=\nset=0 get=0 x=0 y=0 key=0 button=0\nafter=libX11.so.6\n"},
       }) {
    EXPECT_EQ(RunProbe(c), c.expected) << c.name;
  }
}

TEST(LazyLibraries, BeepLoadsLibasoundOnlyToSoundAndWithoutItIsSilentButTimed) {
  for (const Case& c : {
           // "null" is a real ALSA device that discards the samples
           Case{"loaded", "beep", {{"QVX_AUDIO_DEVICE", "null"}},
                "before=\nclock_ms=250\nafter=libasound.so.2\n"},
           Case{"missing", "beep", {{"QVX_AUDIO_DEVICE", "null"}, {"QVX_LIBASOUND", kMissing}},
                "before=\nclock_ms=250\nafter=\n"},
           Case{"silenced", "beep", {{"QVX_AUDIO_DEVICE", "none"}},
                "before=\nclock_ms=250\nafter=\n"},
       }) {
    EXPECT_EQ(RunProbe(c), c.expected) << c.name;
  }
}

}  // namespace
