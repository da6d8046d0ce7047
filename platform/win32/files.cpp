#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/win32/system_error.h"

namespace platform {
namespace {

std::atomic<unsigned> temporaryCount{0};

}  // namespace

Status AtomicWriteFile(const std::filesystem::path& path, std::string_view data) {
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
  const std::filesystem::path temporary =
      dir / (path.filename().wstring() + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
             std::to_wstring(temporaryCount++) + L".tmp");
  const std::string name = temporary.string();
  const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastWin32Error("cannot create " + name);
  const auto fail = [&](const char* what) {
    const Status failed = LastWin32Error(std::string(what) + " " + name);
    CloseHandle(file);
    DeleteFileW(temporary.c_str());
    return failed;
  };
  while (!data.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1 << 20));
    if (!WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0)
      return fail("cannot write");
    data.remove_prefix(written);
  }
  if (!FlushFileBuffers(file)) return fail("cannot flush");
  if (!CloseHandle(file)) {
    const Status failed = LastWin32Error("cannot close " + name);
    DeleteFileW(temporary.c_str());
    return failed;
  }
  // One step that either leaves the old file or puts the new one in its place; a read-only
  // old file is refused and stays.
  if (!MoveFileExW(temporary.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const Status failed = LastWin32Error("cannot replace " + path.string());
    DeleteFileW(temporary.c_str());
    return failed;
  }
  return {};
}

FileLock FileLock::TryAcquire(const std::filesystem::path& path) {
  // Opened without sharing, the file itself is the lock: a second opener gets a sharing violation.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileLock();
  return FileLock(reinterpret_cast<std::intptr_t>(file));
}

FileLock::~FileLock() { Release(); }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    other.handle_ = kNone;
  }
  return *this;
}

void FileLock::Release() {
  if (handle_ == kNone) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

}  // namespace platform
