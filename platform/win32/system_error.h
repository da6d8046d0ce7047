#pragma once

// Internal to the Windows platform code: Win32 failures as platform::Status.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/status.h"

namespace platform {

// A failed Win32 call: the kind its error code stands for, and "what: <the system's message>".
Status FromWin32Error(DWORD error, std::string_view what);
// The same for the calling thread's last error (GetLastError).
Status LastWin32Error(std::string_view what);

}  // namespace platform
