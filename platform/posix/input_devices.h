#pragma once

// The ways synthetic input reaches a POSIX desktop: the X server through XTest, and the
// kernel's uinput device, which works under any compositor (and on a text console) for a user
// allowed to write it. SystemInput() picks one per call for the session it runs in; the pieces
// are here so that tests can put fakes behind them.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/input.h"

namespace platform {

// The X server of DISPLAY through XTest; NotFound while none is reachable.
Input& XTestInput();

// The system calls of the uinput device, behind one thin interface: the real device makes every
// call through it, so that tests see the events it would write without touching the machine's
// device.
class UinputSyscalls {
 public:
  virtual ~UinputSyscalls() = default;
  // Each does what the system call of its name does and answers as it does (-1 and errno).
  virtual int Open(const char* path, int flags);
  virtual int Close(int fd);
  // ioctl with an integer argument, or a pointer passed as one (UI_DEV_SETUP).
  virtual int Ioctl(int fd, unsigned long request, std::uintptr_t argument);
  virtual ssize_t Write(int fd, const void* bytes, std::size_t size);
  // Waits while the compositor takes in a device just created.
  virtual void PauseMs(int ms);
};

// The system's own calls.
UinputSyscalls& SystemUinputSyscalls();

// A pointer that moves by steps and a keyboard on the uinput device at `path`, created on the
// first call and kept until the input is destroyed. Buttons, keys and MoveCursorBy are written
// as input events; the pointer's position can be neither read nor set (NotSupported). Every
// call answers NotFound while the device cannot be opened for writing or set up.
std::unique_ptr<Input> OpenUinputInput(std::string path, UinputSyscalls& calls);

// The input of the session this program runs in: `x11` (XTest) while no Wayland session is
// announced (WAYLAND_DISPLAY, or XDG_SESSION_TYPE=wayland) and it reaches a display; otherwise
// the uinput device QVX_UINPUT names (/dev/uinput when unset, none for "none"), opened through
// `calls`. NotFound, naming everything that was tried, when nothing can be reached. Both must
// outlive it.
std::unique_ptr<Input> OpenSessionInput(Input& x11, UinputSyscalls& calls);

}  // namespace platform
