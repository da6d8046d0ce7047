#include "platform/files.h"

#include <system_error>

namespace platform {

std::string TemporaryPrefix(const std::filesystem::path& target) {
  return target.filename().string() + ".qvxtmp-";
}

void RemoveLeftoverTemporaries(const std::filesystem::path& target) {
  const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
  const std::string prefix = TemporaryPrefix(target);
  std::error_code ec;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    // Litter that cannot be removed now is tried again by the next writer.
    std::error_code ignored;
    if (it->path().filename().string().starts_with(prefix) && it->is_regular_file(ignored))
      std::filesystem::remove(it->path(), ignored);
  }
}

FileLock::FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    other.handle_ = kNone;
  }
  return *this;
}

FileLock::~FileLock() { Release(); }

MachineLock::MachineLock(MachineLock&& other) noexcept : handle_(other.handle_) {
  other.handle_ = kNone;
}

MachineLock& MachineLock::operator=(MachineLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    other.handle_ = kNone;
  }
  return *this;
}

MachineLock::~MachineLock() { Release(); }

}  // namespace platform
