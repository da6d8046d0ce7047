#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qvx::testing {

// A private temporary directory, readable by other users, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A program the test starts and stops.
class ChildProcess {
 public:
  ChildProcess() = default;
  // Starts argv; keepFd stays open in the child (for the programs that report through it).
  explicit ChildProcess(const std::vector<std::string>& argv, int keepFd = -1);
  ~ChildProcess() { Stop(); }
  ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_) { other.pid_ = 0; }
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  pid_t pid() const { return pid_; }
  bool Running();
  // SIGTERM, then SIGKILL after a second; waits for the end.
  void Stop();

 private:
  pid_t pid_ = 0;
};

// Ends a process that is not our child (one a program under test started) and waits for it.
void KillAndWait(pid_t pid);
// True when the process exists and is not a zombie.
bool ProcessAlive(pid_t pid);
// Processes (not zombies) one of whose arguments equals argument.
std::vector<pid_t> ProcessesWithArgument(const std::string& argument);

// Polls condition every 10 ms until it holds or timeoutMs pass; returns its last value.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

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

// True when an executable of that name is on PATH.
bool HaveProgram(const std::string& name);
// Writes a mono 8 kHz wave file of a quiet tone lasting seconds.
void WriteWave(const std::filesystem::path& path, int seconds);
// Writes an MP3 file of silent frames lasting about seconds.
void WriteMp3(const std::filesystem::path& path, int seconds);
// Writes an executable shell script.
void WriteScript(const std::filesystem::path& path, const std::string& body);
// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace qvx::testing
