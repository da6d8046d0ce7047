#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>

extern char** environ;

namespace platform {
namespace {

// Programs started here and not yet collected; they are reaped on every call so that no
// finished program lingers as a zombie while this one runs on.
std::mutex startedMutex;
std::set<int> started;

// Collects a finished child; true when it has ended (or was never ours to wait for).
bool ReapIfEnded(int processId) {
  int status = 0;
  pid_t result = waitpid(processId, &status, WNOHANG);
  return result == processId || (result < 0 && errno == ECHILD);
}

void ReapEndedLocked() {
  for (auto it = started.begin(); it != started.end();) {
    it = ReapIfEnded(*it) ? started.erase(it) : std::next(it);
  }
}

// The environment of the started program. A hidden one gets no display to open a window on;
// a shown one gets a startup id with time 0, which tells window managers not to focus it.
std::vector<std::string> ChildEnvironment(ShowMode mode) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string_view text(*entry);
    if (text.starts_with("DESKTOP_STARTUP_ID=")) continue;
    bool display = text.starts_with("DISPLAY=") || text.starts_with("WAYLAND_DISPLAY=");
    if (display && mode == ShowMode::kHidden) continue;
    result.emplace_back(text);
  }
  if (mode == ShowMode::kShownNoFocus)
    result.push_back("DESKTOP_STARTUP_ID=qvx" + std::to_string(getpid()) + "_TIME0");
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (auto& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

}  // namespace

int StartProgram(const std::vector<std::string>& argv, ShowMode mode) {
  if (argv.empty() || argv[0].empty()) return 0;
  std::vector<std::string> args = argv;
  std::vector<std::string> env = ChildEnvironment(mode);
  auto argPointers = Pointers(args);
  auto envPointers = Pointers(env);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  // Own session and default signal handling: the program outlives this one and is not
  // stopped by the terminal or by signals this program ignores.
  sigset_t defaults;
  sigfillset(&defaults);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  // The program reads and writes nothing of this one's: a caller that waits for the end of
  // this program's output (a web server, "$(qvxctl exec ...)") must not wait for the started
  // program as well, shown or hidden. Descriptors this program opened without close-on-exec
  // stay behind for the same reason.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  pid_t processId = 0;
  int error = argv[0].find('/') == std::string::npos
                  ? posix_spawnp(&processId, args[0].c_str(), &actions, &attributes,
                                 argPointers.data(), envPointers.data())
                  : posix_spawn(&processId, args[0].c_str(), &actions, &attributes,
                                argPointers.data(), envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return 0;

  std::lock_guard lock(startedMutex);
  ReapEndedLocked();
  started.insert(processId);
  return processId;
}

namespace {

class SpawnStarter final : public ProgramStarter {
 public:
  int StartCommandLine(const std::string& commandLine, ShowMode mode) override {
    struct stat info {};
    // A path with blanks is common for programs, so a line naming a file is never split.
    if (stat(commandLine.c_str(), &info) == 0 && S_ISREG(info.st_mode))
      return StartProgram({commandLine}, mode);
    return StartProgram({"/bin/sh", "-c", commandLine}, mode);
  }
};

}  // namespace

ProgramStarter& SystemProgramStarter() {
  static SpawnStarter starter;
  return starter;
}

bool ProgramRunning(int processId) {
  std::lock_guard lock(startedMutex);
  if (!started.contains(processId)) return false;
  if (!ReapIfEnded(processId)) return true;
  started.erase(processId);
  return false;
}

bool StopProgram(int processId, int timeoutMs) {
  {
    std::lock_guard lock(startedMutex);
    if (!started.contains(processId)) return false;
  }
  kill(processId, SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (ProgramRunning(processId)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(processId, SIGKILL);
      waitpid(processId, nullptr, 0);
      std::lock_guard lock(startedMutex);
      started.erase(processId);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace platform
