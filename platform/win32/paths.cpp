#include "platform/paths.h"

#include <windows.h>

#include <string>

namespace platform {

std::filesystem::path ProgramDirectory() {
  std::wstring name(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);  // the path was cut off
  }
}

std::filesystem::path UserConfigDirectory() {
  std::wstring value(MAX_PATH, L'\0');
  DWORD length =
      GetEnvironmentVariableW(L"APPDATA", value.data(), static_cast<DWORD>(value.size()));
  if (length >= value.size()) {
    value.resize(length);
    length = GetEnvironmentVariableW(L"APPDATA", value.data(), static_cast<DWORD>(value.size()));
  }
  if (length == 0 || length >= value.size()) return {};
  value.resize(length);
  return std::filesystem::path(value);
}

bool ProgramsHaveExtensions() { return true; }

}  // namespace platform
