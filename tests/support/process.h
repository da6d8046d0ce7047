#pragma once

// Programs a test starts, watches and stops.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::test {

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
  // Waits up to timeoutMs for the program to end by itself; its wait status, or nothing.
  std::optional<int> Wait(int timeoutMs);
  // SIGTERM, then waits up to timeoutMs; the wait status, or nothing when it had to be killed.
  std::optional<int> Terminate(int timeoutMs);

 private:
  pid_t pid_ = 0;
};

// One run of a program fed from and read through pipes.
struct ProgramRun {
  std::optional<int> waitStatus;  // nothing when it outlived its deadline and was killed
  std::string out;                // everything it wrote to standard output
};

// Runs argv in dir with exactly `environment` (NAME=VALUE each), writes input to its standard
// input and closes it, and collects its standard output until it ends; a program still running
// after deadlineMs is killed. A program that stops reading its input early is not an error.
ProgramRun RunProgram(const std::vector<std::string>& argv,
                      const std::vector<std::string>& environment, std::string_view input,
                      const std::filesystem::path& dir, int deadlineMs);

// Ends a process that is not our child (one a program under test started) and waits for it.
void KillAndWait(pid_t pid);
// True when the process exists and is not a zombie.
bool ProcessAlive(pid_t pid);
// Processes (not zombies) one of whose arguments equals argument.
std::vector<pid_t> ProcessesWithArgument(const std::string& argument);

// Polls condition every 10 ms until it holds or timeoutMs pass; returns its last value.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

// True when an executable of that name is on PATH.
bool HaveProgram(const std::string& name);
// Writes an executable shell script.
void WriteScript(const std::filesystem::path& path, const std::string& body);

}  // namespace qvx::test
