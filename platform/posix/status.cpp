#include "platform/status.h"

#include <cerrno>
#include <cstring>

namespace platform {

Status Status::FromErrno(int error, std::string_view what) {
  StatusCode code = StatusCode::SystemFailure;
  switch (error) {
    case EBUSY:
    case EWOULDBLOCK:
      code = StatusCode::InUse;
      break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      code = StatusCode::NotFound;
      break;
    case EACCES:
    case EPERM:
      code = StatusCode::AccessDenied;
      break;
    case EINVAL:
    case EBADF:
    case ERANGE:
      code = StatusCode::BadArgument;
      break;
    case ENOTTY:
    case EOPNOTSUPP:
    case ENOSYS:
      code = StatusCode::NotSupported;
      break;
    default:
      break;
  }
  return Status(code, std::string(what) + ": " + std::strerror(error));
}

}  // namespace platform
