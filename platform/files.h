#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace platform {

// Replaces the file at path with data in one step: a temporary file in the same directory is
// written, flushed to disk and renamed over the old one, keeping its permissions. On any
// failure the old file stays as it was and the status says which step failed and why.
Status AtomicWriteFile(const std::filesystem::path& path, std::string_view data);

// An exclusive lock on a file, which every process naming the same path contends for; released
// when the object goes (or its process ends). Move-only.
class FileLock {
 public:
  // Takes the lock on path (creating the file) without waiting; not held() when another holder
  // has it or the file cannot be created.
  static FileLock TryAcquire(const std::filesystem::path& path);
  FileLock() = default;
  ~FileLock();
  FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return handle_ != kNone; }

 private:
  static constexpr std::intptr_t kNone = -1;
  explicit FileLock(std::intptr_t handle) : handle_(handle) {}
  void Release();
  std::intptr_t handle_ = kNone;  // a file descriptor or a HANDLE
};

}  // namespace platform
