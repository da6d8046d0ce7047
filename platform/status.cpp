#include "platform/status.h"

namespace platform {

std::string_view StatusCodeName(StatusCode code) {
  switch (code) {
    case StatusCode::Ok: return "ok";
    case StatusCode::BadArgument: return "bad argument";
    case StatusCode::InUse: return "in use";
    case StatusCode::NotFound: return "not found";
    case StatusCode::AccessDenied: return "access denied";
    case StatusCode::NotSupported: return "not supported";
    case StatusCode::SystemFailure: return "system failure";
  }
  return "unknown";
}

}  // namespace platform
