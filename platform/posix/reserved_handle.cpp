// Handles for ports without a descriptor of their own: /dev/null, opened only to hold a number
// that no other file of the process has while the port is open.

#include <fcntl.h>
#include <unistd.h>

#include "platform/shared/registry.h"

namespace platform {

PortHandle ReserveOsHandle() {
  int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  // Descriptor 0 means "not open" as a handle: take the next free number instead.
  if (fd == 0) {
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
    close(fd);
    fd = moved;
  }
  return fd > 0 ? fd : 0;
}

void ReleaseOsHandle(PortHandle handle) { close(handle); }

}  // namespace platform
