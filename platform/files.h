#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace platform {

// Replaces the file at path with data in one step: a temporary file in the same directory is
// written, flushed to disk and renamed over the old one, with the old one's owner, group and
// mode (on Windows its attributes and security). Where the directory refuses the new file (or
// its owner cannot be kept), an existing file that may be written is written over itself
// instead: room is reserved first, then it is written, cut to length and flushed. On any failure
// before the old text is touched, the old file stays as it was; the status says which step
// failed and why.
Status AtomicWriteFile(const std::filesystem::path& path, std::string_view data);

// The start of the names AtomicWriteFile gives its temporary files beside target ("name.qvxtmp-");
// no other code makes such names, so one that survives its writer is litter.
std::string TemporaryPrefix(const std::filesystem::path& target);

// Removes the temporary files a writer of target killed in the middle of AtomicWriteFile left
// behind. Only safe while holding target's FileLock: every other writer waits outside.
void RemoveLeftoverTemporaries(const std::filesystem::path& target);

// Serialises the writers of one file across processes, so that reading the file, deciding and
// replacing it is one step for each of them. Released when destroyed; a process that dies holding
// it releases it too. The lock follows the file, not its name's current inode, so a writer that
// waited while another replaced the file holds the lock of the new one.
class FileLock {
 public:
  // Waits until no other process holds the lock of path, takes it and removes the litter of
  // killed writers (RemoveLeftoverTemporaries).
  static Status Acquire(const std::filesystem::path& path, FileLock& lock);

  FileLock() = default;
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  bool held() const { return handle_ != kNone; }

 private:
  static constexpr std::intptr_t kNone = -1;
  explicit FileLock(std::intptr_t handle) : handle_(handle) {}
  void Release();

  std::intptr_t handle_ = kNone;  // the system's handle: a descriptor or a mutex
};

// An exclusive hold on a lock file that every process of this machine naming the same path
// contends for, as they contend for one COM port; released when the object goes (or its process
// ends). Move-only.
class MachineLock {
 public:
  // Takes the lock on path (creating the file) without waiting; not held() when another holder
  // has it or the file cannot be created.
  static MachineLock TryAcquire(const std::filesystem::path& path);

  MachineLock() = default;
  MachineLock(MachineLock&& other) noexcept;
  MachineLock& operator=(MachineLock&& other) noexcept;
  MachineLock(const MachineLock&) = delete;
  MachineLock& operator=(const MachineLock&) = delete;
  ~MachineLock();

  bool held() const { return handle_ != kNone; }

 private:
  static constexpr std::intptr_t kNone = -1;
  explicit MachineLock(std::intptr_t handle) : handle_(handle) {}
  void Release();

  std::intptr_t handle_ = kNone;  // the system's handle: a descriptor or a file
};

}  // namespace platform
