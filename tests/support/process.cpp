#include "tests/support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/support.h"

namespace qvx::test {
namespace fs = std::filesystem;

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

std::optional<int> ChildProcess::Wait(int timeoutMs) {
  if (pid_ == 0) return std::nullopt;
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeoutMs))
    return std::nullopt;
  pid_ = 0;
  return status;
}

std::optional<int> ChildProcess::Terminate(int timeoutMs) {
  if (pid_ == 0) return std::nullopt;
  kill(pid_, SIGTERM);
  const auto status = Wait(timeoutMs);
  if (!status) Stop();
  return status;
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

bool HaveProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (!dir.empty() && access((fs::path(dir) / name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

void WriteScript(const fs::path& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}

}  // namespace qvx::test
