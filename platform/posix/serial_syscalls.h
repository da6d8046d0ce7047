#pragma once

// The system calls of a POSIX serial port, behind one thin interface: the real port makes
// every call through it, so that tests can make any of them fail.

#include <poll.h>
#include <sys/types.h>
#include <termios.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/serial.h"

namespace platform {

class SerialSyscalls {
 public:
  virtual ~SerialSyscalls() = default;
  // Each does what the system call of its name does and answers as it does (-1 and errno).
  virtual int Open(const char* path, int flags);
  virtual int Close(int fd);
  virtual int Flock(int fd, int operation);
  virtual int IsATty(int fd);  // 1, or 0 with errno
  // ioctl with a pointer argument, or none (nullptr) for requests that take none.
  virtual int Ioctl(int fd, unsigned long request, void* argument);
  virtual int TcGetAttr(int fd, termios* tio);
  virtual int TcSetAttr(int fd, int when, const termios* tio);
  virtual int TcFlow(int fd, int action);
  virtual ssize_t Read(int fd, void* buffer, std::size_t size);
  virtual ssize_t Write(int fd, const void* bytes, std::size_t size);
  virtual int Poll(pollfd* entries, nfds_t count, int timeoutMs);
};

// The system's own calls.
SerialSyscalls& SystemSerialSyscalls();

// The failure of the call just made on `path`, in the words of errno ("what path: message"),
// read before anything else can change it.
Status Failed(std::string_view what, const std::string& path);

// OpenSerialDevice with the port's system calls made through `calls`, which must outlive it.
std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, Status& why,
                                             SerialSyscalls& calls);

}  // namespace platform
