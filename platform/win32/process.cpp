#include "platform/process.h"

#include <windows.h>

#include <cctype>
#include <cctype>
#include <filesystem>
#include <map>
#include <mutex>

namespace platform {
namespace {

// Programs started here and not yet collected, by process id, with their process handles.
std::mutex startedMutex;
std::map<int, HANDLE> started;

// One argument as the C runtime of the started program splits it again: quoted when it holds a
// blank, a tab or a quote, with the backslashes before a quote doubled.
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

// Starts a command line (the program is looked up in PATH when it has no directory): hidden,
// or in a window that does not take the focus. Returns the process id, 0 on failure.
int StartCommand(std::string commandLine, ShowMode mode) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = mode == ShowMode::kHidden ? SW_HIDE : SW_SHOWNOACTIVATE;
  const DWORD flags = mode == ShowMode::kHidden ? CREATE_NO_WINDOW : CREATE_NEW_CONSOLE;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                      flags | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process))
    return 0;
  CloseHandle(process.hThread);
  std::lock_guard lock(startedMutex);
  started[static_cast<int>(process.dwProcessId)] = process.hProcess;
  return static_cast<int>(process.dwProcessId);
}

bool IsProgramFile(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".exe" || extension == ".com";
}

class CreateProcessStarter final : public ProgramStarter {
 public:
  // A program file starts as itself (paths with blanks need no quotes in the configuration);
  // batch files, documents and anything else go to the command interpreter, which also opens
  // a file with the program its type is registered to.
  int StartCommandLine(const std::string& commandLine, ShowMode mode) override {
    std::error_code error;
    const std::filesystem::path path(commandLine);
    const bool isFile = std::filesystem::is_regular_file(path, error);
    if (isFile && IsProgramFile(path)) return StartCommand(QuoteArgument(commandLine), mode);
    if (isFile) return StartCommand("cmd.exe /c \"\"" + commandLine + "\"\"", mode);
    return StartCommand("cmd.exe /c " + commandLine, mode);
  }
};

}  // namespace

int StartProgram(const std::vector<std::string>& argv, ShowMode mode) {
  if (argv.empty() || argv[0].empty()) return 0;
  std::string commandLine;
  for (const std::string& argument : argv) {
    if (!commandLine.empty()) commandLine += ' ';
    commandLine += QuoteArgument(argument);
  }
  return StartCommand(std::move(commandLine), mode);
}

ProgramStarter& SystemProgramStarter() {
  static CreateProcessStarter starter;
  return starter;
}

bool ProgramRunning(int processId) {
  std::lock_guard lock(startedMutex);
  auto it = started.find(processId);
  if (it == started.end()) return false;
  if (WaitForSingleObject(it->second, 0) == WAIT_TIMEOUT) return true;
  CloseHandle(it->second);
  started.erase(it);
  return false;
}

// Windows has no request to end that every program heeds, so the program is ended at once;
// timeoutMs bounds the wait for it to be gone.
bool StopProgram(int processId, int timeoutMs) {
  HANDLE process = nullptr;
  {
    std::lock_guard lock(startedMutex);
    auto it = started.find(processId);
    if (it == started.end()) return false;
    process = it->second;
    started.erase(it);
  }
  TerminateProcess(process, 1);
  WaitForSingleObject(process, static_cast<DWORD>(timeoutMs));
  CloseHandle(process);
  return true;
}

}  // namespace platform
