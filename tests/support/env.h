#pragma once

// An environment variable set for the length of a test. The Windows build of the tests gets
// setenv and unsetenv from win32/posix_compat.h.

#include <stdlib.h>

#include <optional>
#include <string>

namespace qvx::test {

// Sets an environment variable and restores the previous value at the end of the scope.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = getenv(name_.c_str())) previous_ = old;
    setenv(name_.c_str(), value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (previous_) {
      setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace qvx::test
