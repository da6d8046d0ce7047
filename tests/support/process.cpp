#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

ProgramRun RunProgram(const std::vector<std::string>& argv,
                      const std::vector<std::string>& environment, std::string_view input,
                      const fs::path& dir, int deadlineMs) {
  ProgramRun run;
  signal(SIGPIPE, SIG_IGN);  // a program that stops reading must not end the test
  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) return run;
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    return run;
  }
  std::vector<char*> args, env;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  for (const auto& pair : environment) env.push_back(const_cast<char*>(pair.c_str()));
  args.push_back(nullptr);
  env.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);  // as a web server starts it, whatever this process ignores
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execve(args[0], args.data(), env.data());
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  int in = toChild[1];
  const int out = fromChild[0];
  fcntl(in, F_SETFL, O_NONBLOCK);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
  bool killed = false;
  for (std::size_t sent = 0;;) {
    if (in >= 0 && sent == input.size()) {
      close(in);
      in = -1;
    }
    pollfd fds[2] = {{out, POLLIN, 0}, {in, POLLOUT, 0}};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    if (poll(fds, in >= 0 ? 2 : 1, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    if (in >= 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = write(in, input.data() + sent, input.size() - sent);
      if (n > 0) sent += static_cast<std::size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EINTR) {  // it stopped reading: EPIPE
        close(in);
        in = -1;
      }
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[65536];
      const ssize_t n = read(out, buffer, sizeof buffer);
      if (n > 0) run.out.append(buffer, static_cast<std::size_t>(n));
      if (n == 0 || (n < 0 && errno != EINTR)) break;
    }
  }
  if (in >= 0) close(in);
  close(out);
  int status = 0;
  if (!killed) {
    // Its output is closed; give the program the rest of the deadline to end.
    if (WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; },
                  static_cast<int>(std::max<int64_t>(
                      0, std::chrono::duration_cast<std::chrono::milliseconds>(
                             deadline - std::chrono::steady_clock::now())
                             .count())))) {
      run.waitStatus = status;
      return run;
    }
    kill(pid, SIGKILL);
  }
  waitpid(pid, &status, 0);
  return run;
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
