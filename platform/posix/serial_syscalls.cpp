#include "platform/posix/serial_syscalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

int SerialSyscalls::Open(const char* path, int flags) { return ::open(path, flags); }
int SerialSyscalls::Close(int fd) { return ::close(fd); }
int SerialSyscalls::Flock(int fd, int operation) { return ::flock(fd, operation); }
int SerialSyscalls::IsATty(int fd) { return ::isatty(fd); }
int SerialSyscalls::Ioctl(int fd, unsigned long request, void* argument) {
  return ::ioctl(fd, request, argument);
}
int SerialSyscalls::TcGetAttr(int fd, termios* tio) { return ::tcgetattr(fd, tio); }
int SerialSyscalls::TcFlow(int fd, int action) { return ::tcflow(fd, action); }
int SerialSyscalls::TcSetAttr(int fd, int when, const termios* tio) {
  return ::tcsetattr(fd, when, tio);
}
ssize_t SerialSyscalls::Read(int fd, void* buffer, std::size_t size) {
  return ::read(fd, buffer, size);
}
ssize_t SerialSyscalls::Write(int fd, const void* bytes, std::size_t size) {
  return ::write(fd, bytes, size);
}
int SerialSyscalls::Poll(pollfd* entries, nfds_t count, int timeoutMs) {
  return ::poll(entries, count, timeoutMs);
}

Status Failed(std::string_view what, const std::string& path) {
  const int error = errno;
  return Status::FromErrno(error, std::string(what) + " " + path);
}

SerialSyscalls& SystemSerialSyscalls() {
  static SerialSyscalls calls;
  return calls;
}

}  // namespace platform
