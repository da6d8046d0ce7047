// Stop requests as the console's control events, taken by a handler that only sets a flag.
// Windows runs the handler on a thread of its own; for the closing of the console window it
// ends the process once the handler returns, so the handler gives the loop a moment first.

#include <windows.h>

#include <atomic>

#include "platform/stop_requests.h"

namespace platform {
namespace {

std::atomic<bool> stopRequested{false};

constexpr DWORD kCloseGraceMs = 2000;

BOOL WINAPI RequestStop(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      stopRequested = true;
      return TRUE;
    case CTRL_CLOSE_EVENT:
      stopRequested = true;
      Sleep(kCloseGraceMs);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

// The handler list is the system's; nothing of it needs keeping here.
struct StopRequests::Previous {};

StopRequests::StopRequests() {
  stopRequested = false;
  SetConsoleCtrlHandler(RequestStop, TRUE);
}

StopRequests::~StopRequests() { SetConsoleCtrlHandler(RequestStop, FALSE); }

bool StopRequests::Requested() const { return stopRequested; }

// Nothing asks a Windows program to read its configuration again.
struct ReloadRequests::Previous {};

ReloadRequests::ReloadRequests() = default;

ReloadRequests::~ReloadRequests() = default;

bool ReloadRequests::Take() { return false; }

}  // namespace platform
