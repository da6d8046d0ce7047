#pragma once

// The Win32 calls through which serial ports read and write their settings (the DCB) and
// time-outs. They are one replaceable set so that tests under wine can stand in for a port's
// driver and see exactly what each open and each change writes.

#include <windows.h>

namespace platform {

struct CommCalls {
  BOOL(WINAPI* getCommState)(HANDLE, LPDCB) = ::GetCommState;
  BOOL(WINAPI* setCommState)(HANDLE, LPDCB) = ::SetCommState;
  BOOL(WINAPI* getCommTimeouts)(HANDLE, LPCOMMTIMEOUTS) = ::GetCommTimeouts;
  BOOL(WINAPI* setCommTimeouts)(HANDLE, LPCOMMTIMEOUTS) = ::SetCommTimeouts;
};

// The calls every serial port of this process makes; the real ones unless a test replaced them.
CommCalls& ActiveCommCalls();

}  // namespace platform
