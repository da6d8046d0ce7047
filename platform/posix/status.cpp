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

std::string_view StatusCodeName(StatusCode code) {
  switch (code) {
    case StatusCode::Ok: return "ok";
    case StatusCode::BadArgument: return "bad argument";
    case StatusCode::InUse: return "in use";
    case StatusCode::NotFound: return "not found";
    case StatusCode::NotSupported: return "not supported";
    case StatusCode::SystemFailure: return "system failure";
  }
  return "unknown";
}

}  // namespace platform
