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

bool ProgramsHaveExtensions() { return true; }

}  // namespace platform
