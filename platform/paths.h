#pragma once

#include <filesystem>

namespace platform {

// Directory that holds the running program; empty when the system cannot tell.
std::filesystem::path ProgramDirectory();

}  // namespace platform
