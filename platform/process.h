#pragma once

#include <string>
#include <vector>

namespace platform {

// How a started program shows itself.
enum class ShowMode {
  kHidden,        // no window and no terminal
  kShownNoFocus,  // its windows appear, without taking the focus from the user's window
};

// Starts a program detached from this one, in a session of its own, with standard input,
// output and error on the null device; argv[0] is looked up in PATH when it has no directory.
// Returns its process id, 0 when it cannot be started.
int StartProgram(const std::vector<std::string>& argv, ShowMode mode);
// True while a program started here runs; collects it once it has ended.
bool ProgramRunning(int processId);
// Ends a program started here: SIGTERM, then SIGKILL after timeoutMs (on Windows it is ended at
// once and timeoutMs bounds the wait); false when it was not ours.
bool StopProgram(int processId, int timeoutMs);

// Starting the programs a user configured (ShellExecute and the window-show mode).
class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;
  // Starts a command line detached from this program: one that names an existing file is
  // started as that file (paths with blanks need no quotes), anything else is run by the
  // system's shell. Returns the process id, 0 when it cannot be started.
  virtual int StartCommandLine(const std::string& commandLine, ShowMode mode) = 0;
  // True while a program this starter started still runs (ProgramRunning).
  virtual bool Running(int processId) { return ProgramRunning(processId); }
};

// The system's program start (posix_spawn, detached; CreateProcessA on Windows).
ProgramStarter& SystemProgramStarter();

}  // namespace platform
