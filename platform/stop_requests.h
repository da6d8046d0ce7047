#pragma once

#include <memory>

namespace platform {

// While one exists, the user's interrupt (Ctrl+C) and the system's request to end the program
// (SIGTERM; on Windows Ctrl+Break and the console window's closing) no longer end it: they
// are recorded for Requested(), so that a loop can finish the step it is in and clean up. The
// previous handling comes back when it is destroyed. One at a time per process.
class StopRequests {
 public:
  StopRequests();
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

  bool Requested() const;

 private:
  struct Previous;
  std::unique_ptr<Previous> previous_;
};

// While one exists, SIGHUP, by which a service manager asks a program to read its
// configuration again, no longer ends the program: it is recorded for Take(). Windows has no
// such request; Take() then stays false. One at a time per process.
class ReloadRequests {
 public:
  ReloadRequests();
  ~ReloadRequests();
  ReloadRequests(const ReloadRequests&) = delete;
  ReloadRequests& operator=(const ReloadRequests&) = delete;

  // True once for the requests that came since the last call.
  bool Take();

 private:
  struct Previous;
  std::unique_ptr<Previous> previous_;
};

}  // namespace platform
