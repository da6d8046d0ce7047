#include "desktop_fixtures.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace qvx::test {
namespace fs = std::filesystem;

// Reads what a starting server writes to the pipe, up to the first newline.
static std::string ReadLineFromPipe(int fd, int timeoutMs) {
  std::string text;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  fcntl(fd, F_SETFL, O_NONBLOCK);
  while (std::chrono::steady_clock::now() < deadline) {
    char c = 0;
    ssize_t got = read(fd, &c, 1);
    if (got == 1) {
      if (c == '\n') return text;
      text += c;
    } else if (got == 0) {
      break;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return {};
}

VirtualDisplay::VirtualDisplay() {
  if (!HaveProgram("Xvfb")) return;
  int fds[2];
  if (pipe(fds) != 0) return;
  server_ = ChildProcess({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                          "640x480x24", "-nolisten", "tcp", "-noreset"},
                         fds[1]);
  close(fds[1]);
  std::string number = ReadLineFromPipe(fds[0], 10000);
  close(fds[0]);
  if (!number.empty()) display_ = ":" + number;
}

SessionBus::SessionBus(const fs::path& dir) {
  if (!HaveProgram("dbus-daemon")) return;
  fs::path config = dir / "session-bus.conf";
  std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                           "Configuration 1.0//EN\"\n"
                           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig><type>session</type>\n"
                        << "<listen>unix:path=" << (dir / "bus").string() << "</listen>\n"
                        << "<auth>EXTERNAL</auth>\n"
                           "<policy context=\"default\"><allow user=\"*\"/>"
                           "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>\n"
                           "</busconfig>\n";
  int fds[2];
  if (pipe(fds) != 0) return;
  daemon_ = ChildProcess({"dbus-daemon", "--nofork", "--config-file=" + config.string(),
                          "--print-address=" + std::to_string(fds[1])},
                         fds[1]);
  close(fds[1]);
  address_ = ReadLineFromPipe(fds[0], 10000);
  close(fds[0]);
}

static void PutLe(std::ofstream& out, unsigned value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void WriteWave(const fs::path& path, int seconds) {
  constexpr unsigned kRate = 8000;
  unsigned samples = kRate * static_cast<unsigned>(seconds);
  std::ofstream out(path, std::ios::binary);
  out << "RIFF";
  PutLe(out, 36 + samples, 4);
  out << "WAVEfmt ";
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);  // PCM
  PutLe(out, 1, 2);  // mono
  PutLe(out, kRate, 4);
  PutLe(out, kRate, 4);
  PutLe(out, 1, 2);
  PutLe(out, 8, 2);
  out << "data";
  PutLe(out, samples, 4);
  for (unsigned i = 0; i < samples; ++i)
    out.put(static_cast<char>(128 + static_cast<int>(20 * std::sin(i * 0.3))));
}

// An ID3v2.3 text frame in ISO-8859-1.
static std::string TextFrame(const std::string& id, const std::string& text) {
  const std::size_t size = text.size() + 1;
  std::string frame = id;
  for (int shift = 24; shift >= 0; shift -= 8) frame += static_cast<char>((size >> shift) & 0xFF);
  frame += std::string(2, '\0');  // flags
  frame += '\0';                   // encoding
  return frame + text;
}

void WriteMp3(const fs::path& path, int seconds, const std::string& artist,
              const std::string& title) {
  std::ofstream out(path, std::ios::binary);
  if (!artist.empty() || !title.empty()) {
    std::string frames;
    if (!title.empty()) frames += TextFrame("TIT2", title);
    if (!artist.empty()) frames += TextFrame("TPE1", artist);
    out << "ID3" << '\x03' << '\0' << '\0';
    for (int shift = 21; shift >= 0; shift -= 7)
      out.put(static_cast<char>((frames.size() >> shift) & 0x7F));  // seven bits a byte
    out << frames;
  }
  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, mono, no CRC: 417-byte frames of 1152 samples.
  // Zeroed side information and main data decode as silence.
  constexpr int kFrameBytes = 417;
  constexpr int kFramesPerSecond = 39;
  std::string frame(kFrameBytes, '\0');
  frame[0] = '\xFF';
  frame[1] = '\xFB';
  frame[2] = '\x90';
  frame[3] = '\xC0';
  for (int i = 0; i < seconds * kFramesPerSecond; ++i) out << frame;
}

// Runs dbus-send on the session bus of this process and returns what it printed.
static std::string DbusSend(const std::vector<std::string>& arguments) {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  std::vector<std::string> argv = {"/usr/bin/dbus-send", "--session", "--print-reply"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunProgram(argv, {std::string("DBUS_SESSION_BUS_ADDRESS=") + (address ? address : "")}, "",
                    fs::temp_directory_path(), 5000)
      .out;
}

std::string BusNames() {
  return DbusSend({"--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                   "org.freedesktop.DBus.ListNames"});
}

std::string PlayerStatus(const std::string& busName) {
  const std::string reply =
      DbusSend({"--dest=" + busName, "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Get",
                "string:org.mpris.MediaPlayer2.Player", "string:PlaybackStatus"});
  const std::size_t open = reply.find("string \"");
  if (open == std::string::npos) return {};
  const std::size_t start = open + 8;
  return reply.substr(start, reply.find('"', start) - start);
}

std::string PlayerMetadata(const std::string& busName) {
  return DbusSend({"--dest=" + busName, "/org/mpris/MediaPlayer2",
                   "org.freedesktop.DBus.Properties.Get", "string:org.mpris.MediaPlayer2.Player",
                   "string:Metadata"});
}

void CallPlayer(const std::string& busName, const std::string& method) {
  DbusSend({"--dest=" + busName, "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player." + method});
}

}  // namespace qvx::test
