#pragma once

// A pseudo-terminal standing in for a serial device (real termios code), for the port tests;
// with it the environment helper of env.h.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "tests/support/env.h"

namespace qvx::test {

// A pseudo-terminal pair; the slave's path is given to the code under test as a port.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
      char name[128] = {};
      if (ptsname_r(master_, name, sizeof name) == 0) path_ = name;
    }
    if (master_ >= 0) fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~PseudoTerminal() { Hangup(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Path of the slave side ("" when the pair could not be made).
  const std::string& Path() const { return path_; }

  // Sends bytes to the port (they arrive as its input).
  bool SendToPort(const std::string& bytes) {
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Everything the port has written, waiting up to `timeoutMs` for the first byte.
  std::string ReceivedFromPort(int timeoutMs = 200) {
    std::string all;
    pollfd entry{master_, POLLIN, 0};
    if (poll(&entry, 1, timeoutMs) <= 0) return all;
    char chunk[256];
    ssize_t got;
    while ((got = ::read(master_, chunk, sizeof chunk)) > 0) all.append(chunk, static_cast<size_t>(got));
    return all;
  }

  // Closes the master side, as a far end that goes away.
  void Hangup() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string path_;
};

}  // namespace qvx::test
