#include "platform/status.h"

#include <cerrno>
#include <cstring>

#include "platform/win32/system_error.h"

namespace platform {

Status Status::FromErrno(int error, std::string_view what) {
  StatusCode code = StatusCode::SystemFailure;
  switch (error) {
    case EBUSY:
    case EACCES: code = StatusCode::InUse; break;
    case ENOENT:
    case ENODEV:
    case ENXIO: code = StatusCode::NotFound; break;
    case EINVAL:
    case EBADF:
    case ERANGE: code = StatusCode::BadArgument; break;
    case ENOSYS: code = StatusCode::NotSupported; break;
    default: break;
  }
  return Status(code, std::string(what) + ": " + std::strerror(error));
}

Status FromWin32Error(DWORD error, std::string_view what) {
  StatusCode code = StatusCode::SystemFailure;
  switch (error) {
    case ERROR_ACCESS_DENIED:  // what CreateFile says for a COM port another program holds
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY: code = StatusCode::InUse; break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST: code = StatusCode::NotFound; break;
    case ERROR_INVALID_HANDLE:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_NAME: code = StatusCode::BadArgument; break;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_CALL_NOT_IMPLEMENTED: code = StatusCode::NotSupported; break;
    default: break;
  }
  char* message = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&message), 0, nullptr);
  std::string text = length > 0 ? std::string(message, length) : "error " + std::to_string(error);
  if (message) LocalFree(message);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return Status(code, std::string(what) + ": " + text);
}

Status LastWin32Error(std::string_view what) { return FromWin32Error(GetLastError(), what); }

}  // namespace platform
