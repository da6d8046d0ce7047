#include "platform/paths.h"

#include <system_error>

namespace platform {

std::filesystem::path ProgramDirectory() {
  std::error_code error;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return exe.parent_path();
}

bool ProgramsHaveExtensions() { return false; }

}  // namespace platform
