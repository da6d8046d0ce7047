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

namespace qvx::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "qvx-devices-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  chmod(path_.c_str(), 0755);
}

TempDir::~TempDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, int keepFd) {
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    setsid();
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    for (int fd = 3; fd < 256; ++fd)
      if (fd != keepFd) close(fd);
    execvp(args[0], args.data());
    _exit(127);
  }
  if (pid_ < 0) pid_ = 0;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  Stop();
  pid_ = other.pid_;
  other.pid_ = 0;
  return *this;
}

bool ChildProcess::Running() {
  return pid_ != 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

void ChildProcess::Stop() {
  if (pid_ == 0) return;
  kill(pid_, SIGTERM);
  if (!WaitUntil([this] { return waitpid(pid_, nullptr, WNOHANG) != 0; }, 1000)) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = 0;
}

bool ProcessAlive(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

void KillAndWait(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  if (!WaitUntil([pid] { return !ProcessAlive(pid); }, 1000)) {
    kill(pid, SIGKILL);
    WaitUntil([pid] { return !ProcessAlive(pid); }, 1000);
  }
}

std::vector<pid_t> ProcessesWithArgument(const std::string& argument) {
  std::vector<pid_t> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string cmdline = ReadFile(entry.path() / "cmdline");
    std::istringstream args(cmdline);
    std::string arg;
    pid_t pid = std::stoi(name);
    while (std::getline(args, arg, '\0')) {
      if (arg == argument && ProcessAlive(pid)) {
        found.push_back(pid);
        break;
      }
    }
  }
  return found;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

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

bool HaveProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (!dir.empty() && access((fs::path(dir) / name).c_str(), X_OK) == 0) return true;
  }
  return false;
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

void WriteMp3(const fs::path& path, int seconds) {
  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, mono, no CRC: 417-byte frames of 1152 samples.
  // Zeroed side information and main data decode as silence.
  constexpr int kFrameBytes = 417;
  constexpr int kFramesPerSecond = 39;
  std::string frame(kFrameBytes, '\0');
  frame[0] = '\xFF';
  frame[1] = '\xFB';
  frame[2] = '\x90';
  frame[3] = '\xC0';
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < seconds * kFramesPerSecond; ++i) out << frame;
}

void WriteScript(const fs::path& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace qvx::testing
