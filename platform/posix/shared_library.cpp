#include "platform/posix/shared_library.h"

#include <dlfcn.h>

#include <cstdlib>

namespace platform {

SharedLibrary::SharedLibrary(const char* soname, const char* overrideVariable) {
  const char* chosen = std::getenv(overrideVariable);
  name_ = chosen && *chosen ? chosen : soname;
  handle_ = dlopen(name_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_) return;
  const char* message = dlerror();
  error_ = message ? message : name_ + ": cannot be opened";
}

void* SharedLibrary::Symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

void FunctionTable::Open(const char* soname, const char* overrideVariable) {
  // After a failure the table stays unusable: loading more would only cost time.
  if (!loaded()) {
    library_.reset();
    return;
  }
  library_.emplace(soname, overrideVariable);
  if (!library_->ok()) error_ = library_->error();
}

void* FunctionTable::Find(const char* name) {
  void* symbol = library_ ? library_->Symbol(name) : nullptr;
  if (!symbol && error_.empty()) {
    error_ = std::string(name) + " not found in " + (library_ ? library_->name() : "no library");
  }
  return symbol;
}

}  // namespace platform
