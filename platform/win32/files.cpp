#include "platform/files.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/win32/system_error.h"

namespace platform {
namespace {

std::atomic<unsigned> temporaryCount{0};

// The name of the mutex that guards a file: derived from its absolute path in one case, as the
// file system compares names; a hash, because a mutex name may not hold the path's backslashes.
std::wstring LockName(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) absolute = path;
  std::wstring key = absolute.lexically_normal().wstring();
  CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const wchar_t unit : key) {
    hash ^= static_cast<std::uint16_t>(unit);
    hash *= 1099511628211ull;
  }
  wchar_t hex[17] = {};
  for (int i = 15; i >= 0; --i, hash >>= 4) hex[i] = L"0123456789abcdef"[hash & 0xf];
  return std::wstring(L"QvxFileLock-") + hex;
}

// The desktop program runs in the user's session, a web server or a monitoring service in
// session 0 under another account: the mutex lives in the global namespace and every account may
// wait on it. Where the global namespace is refused, the session's own still guards its programs.
HANDLE OpenLockMutex(const std::wstring& name) {
  constexpr DWORD kWaitAndRelease = SYNCHRONIZE | MUTEX_MODIFY_STATE;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x100001;;;WD)", SDDL_REVISION_1,
                                                           &descriptor, nullptr)) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const HANDLE global =
        CreateMutexExW(&attributes, (L"Global\\" + name).c_str(), 0, kWaitAndRelease);
    LocalFree(descriptor);
    if (global != nullptr) return global;
  }
  return CreateMutexExW(nullptr, name.c_str(), 0, kWaitAndRelease);
}

// Writes all of data at the file's position; false (GetLastError says why) when a write fails.
bool WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1 << 20));
    if (!WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

// Writes data over the file itself, for a file whose directory this process may not change: the
// file keeps its identity, attributes and security. Room for a longer text is reserved first,
// so a full disk fails before a byte of the old text is touched.
Status WriteInPlace(const std::filesystem::path& path, std::string_view data) {
  const std::string name = path.string();
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastWin32Error("cannot write " + name);
  const auto fail = [&](const char* what) {
    const Status failed = LastWin32Error(std::string(what) + " " + name);
    CloseHandle(file);
    return failed;
  };
  const auto endAt = [&](LONGLONG size) {
    LARGE_INTEGER at{};
    at.QuadPart = size;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  };
  LARGE_INTEGER old{};
  if (!GetFileSizeEx(file, &old)) return fail("cannot look at");
  const auto size = static_cast<LONGLONG>(data.size());
  if (size > old.QuadPart && !endAt(size)) {
    const Status failed = LastWin32Error("no room to write " + name);
    endAt(old.QuadPart);
    CloseHandle(file);
    return failed;
  }
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !WriteAll(file, data))
    return fail("cannot write");
  if (!endAt(size)) return fail("cannot cut");
  if (!FlushFileBuffers(file)) return fail("cannot flush");
  if (!CloseHandle(file)) return LastWin32Error("cannot close " + name);
  return {};
}

}  // namespace

Status AtomicWriteFile(const std::filesystem::path& path, std::string_view data) {
  const bool exists = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
  const std::filesystem::path temporary =
      dir / (TemporaryPrefix(path) + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(temporaryCount++));
  const std::string name = temporary.string();
  const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (exists && error == ERROR_ACCESS_DENIED) return WriteInPlace(path, data);
    return FromWin32Error(error, "cannot create " + name);
  }
  const auto fail = [&](const char* what) {
    const Status failed = LastWin32Error(std::string(what) + " " + name);
    CloseHandle(file);
    DeleteFileW(temporary.c_str());
    return failed;
  };
  if (!WriteAll(file, data)) return fail("cannot write");
  if (!FlushFileBuffers(file)) return fail("cannot flush");
  if (!CloseHandle(file)) {
    const Status failed = LastWin32Error("cannot close " + name);
    DeleteFileW(temporary.c_str());
    return failed;
  }
  // One step that either leaves the old file or puts the new one in its place. ReplaceFileW
  // gives the new file the old one's attributes and security; a read-only old file is refused
  // and stays. Where the directory refuses the replacement, the file is written in place. Some
  // file systems do not serve ReplaceFileW at all; there a rename replaces the file, in one
  // step still, with the attributes of the new file.
  bool replaced = exists ? ReplaceFileW(path.c_str(), temporary.c_str(), nullptr,
                                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                         : MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
  if (!replaced && exists && GetLastError() != ERROR_ACCESS_DENIED) {
    replaced = MoveFileExW(temporary.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  if (!replaced) {
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    if (exists && error == ERROR_ACCESS_DENIED) return WriteInPlace(path, data);
    return FromWin32Error(error, "cannot replace " + path.string());
  }
  return {};
}

Status FileLock::Acquire(const std::filesystem::path& path, FileLock& lock) {
  const HANDLE mutex = OpenLockMutex(LockName(path));
  if (mutex == nullptr) return LastWin32Error("cannot create the lock of " + path.string());
  // An abandoned mutex is a writer that died holding it; its litter is removed below.
  const DWORD waited = WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    const Status failed = LastWin32Error("cannot lock " + path.string());
    CloseHandle(mutex);
    return failed;
  }
  lock = FileLock(reinterpret_cast<std::intptr_t>(mutex));
  RemoveLeftoverTemporaries(path);
  return {};
}

void FileLock::Release() {
  if (!held()) return;
  const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  handle_ = kNone;
}

MachineLock MachineLock::TryAcquire(const std::filesystem::path& path) {
  // Opened without sharing, the file itself is the lock: a second opener gets a sharing violation.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return MachineLock();
  return MachineLock(reinterpret_cast<std::intptr_t>(file));
}

void MachineLock::Release() {
  if (handle_ == kNone) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

}  // namespace platform
