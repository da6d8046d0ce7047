// Handles for ports without a HANDLE of their own: an event, created only to hold a number
// that no other object of the process has while the port is open.

#include <windows.h>

#include "platform/shared/registry.h"
#include "platform/win32/handles.h"

namespace platform {

PortHandle ReserveOsHandle() {
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event ? PortHandleOf(event) : 0;
}

void ReleaseOsHandle(PortHandle handle) { CloseHandle(Win32HandleOf(handle)); }

}  // namespace platform
