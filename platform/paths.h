#pragma once

#include <filesystem>

namespace platform {

// Directory that holds the running program; empty when the system cannot tell.
std::filesystem::path ProgramDirectory();

// True where the system tells programs by the extensions of their names (.exe, .bat); false
// where any file the user may execute is a program, whatever its name.
bool ProgramsHaveExtensions();

}  // namespace platform
