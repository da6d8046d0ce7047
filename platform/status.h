#pragma once

// What a platform call reports: success, or one of a few kinds of failure with the operating
// system's own words captured where it failed. Callers decide from the kind; only the core
// turns a failure into a text for the user.

#include <string>
#include <string_view>

namespace platform {

// The kinds of failure a caller can act on differently.
enum class StatusCode {
  Ok,
  BadArgument,    // something the call cannot use: a value out of range, a closed handle
  InUse,          // another opener holds the resource
  NotFound,       // there is no such device, file or program
  AccessDenied,   // the user lacks the permission (a device of a group the user is not in)
  NotSupported,   // the device or system cannot do what was asked
  SystemFailure,  // anything else the system refused
};

class Status {
 public:
  // Success.
  Status() = default;
  // A failure of the given kind; osText says what failed in the system's words.
  Status(StatusCode code, std::string osText) : code_(code), osText_(std::move(osText)) {}

  // A failed system call: the kind its errno stands for, and "what: <the system's message>".
  // Read errno into `error` before building `what`, which may change it.
  static Status FromErrno(int error, std::string_view what);

  bool ok() const { return code_ == StatusCode::Ok; }
  explicit operator bool() const { return ok(); }
  StatusCode code() const { return code_; }
  // What failed, in the system's words; empty on success.
  const std::string& osText() const { return osText_; }

 private:
  StatusCode code_ = StatusCode::Ok;
  std::string osText_;
};

// A short name of the kind ("in use", "not found", ...), for diagnostics.
std::string_view StatusCodeName(StatusCode code);

}  // namespace platform
