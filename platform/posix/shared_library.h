#pragma once

// Shared libraries opened on first use instead of at link time: a program that starts per
// request (the gateways) pays for loading a desktop library only when it really uses it.

#include <optional>
#include <string>

namespace platform {

// One shared library opened with dlopen. The handle is never closed: the functions taken from
// it are used until the process ends, and some of these libraries cannot be unloaded safely.
class SharedLibrary {
 public:
  // Opens soname, or the file the environment variable overrideVariable names when that is set
  // (another build of the library; a name that does not exist leaves the library absent).
  SharedLibrary(const char* soname, const char* overrideVariable);

  // True when the library is open.
  bool ok() const { return handle_ != nullptr; }
  // The name given to the loader: the soname, or the file the override variable names.
  const std::string& name() const { return name_; }
  // The loader's message when the library could not be opened; empty when it is open.
  const std::string& error() const { return error_; }
  // The address of the symbol called name; null when the library is absent or lacks it.
  void* Symbol(const char* name) const;

 private:
  std::string name_;
  void* handle_ = nullptr;
  std::string error_;
};

// Base of a table of function pointers filled from shared libraries. A derived table opens
// each library with Open and fills its pointers with Resolve; the whole table is usable only
// when every library opened and every function was found.
class FunctionTable {
 public:
  // True when every library opened and every function was found.
  bool loaded() const { return error_.empty(); }
  // What was missing first (the loader's message, or "NAME not found in LIBRARY"); empty when
  // loaded.
  const std::string& error() const { return error_; }

 protected:
  // Opens the library the following Resolve calls look in (see SharedLibrary); opens nothing
  // once something was missing.
  void Open(const char* soname, const char* overrideVariable);

  // Sets function to the library's symbol name; null when missing, and then loaded() is false.
  template <typename Function>
  void Resolve(const char* name, Function*& function) {
    function = reinterpret_cast<Function*>(Find(name));
  }

 private:
  void* Find(const char* name);

  std::optional<SharedLibrary> library_;
  std::string error_;
};

}  // namespace platform

// Declares a table member typed exactly as the function of that name in the system header.
#define QVX_FUNCTION_POINTER(name) decltype(&::name) name = nullptr;
// Fills that member from the library last opened (inside a FunctionTable's constructor).
#define QVX_RESOLVE_FUNCTION(name) Resolve(#name, name);
