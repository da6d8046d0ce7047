#include "platform/stdstreams.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

std::string ReadStandardInput(std::size_t maxBytes) {
  std::string data(maxBytes, '\0');
  while (true) {
    const ssize_t got = ::read(STDIN_FILENO, data.data(), data.size());
    if (got < 0 && errno == EINTR) continue;
    data.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return data;
  }
}

OutputStream OutputStream::Standard() { return OutputStream(STDOUT_FILENO); }

bool OutputStream::Write(std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd_, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool OutputStream::Rewind() { return ::lseek(fd_, 0, SEEK_SET) == 0; }

bool OutputStream::TruncateHere() {
  const off_t position = ::lseek(fd_, 0, SEEK_CUR);
  return position >= 0 && ::ftruncate(fd_, position) == 0;
}

}  // namespace platform
