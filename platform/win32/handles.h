#pragma once

// Port handles and Win32 HANDLEs: a kernel handle has 32 significant bits also in 64-bit
// processes, so it is kept as a 32-bit number and sign-extended back.

#include <windows.h>

#include <cstdint>

#include "platform/serial.h"

namespace platform {

inline PortHandle PortHandleOf(HANDLE handle) {
  return static_cast<PortHandle>(reinterpret_cast<intptr_t>(handle));
}

inline HANDLE Win32HandleOf(PortHandle handle) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
}

}  // namespace platform
