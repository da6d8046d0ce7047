#pragma once

#include <filesystem>

namespace platform {

// Directory that holds the running program; empty when the system cannot tell.
std::filesystem::path ProgramDirectory();

// Directory where this user's programs keep their settings: $XDG_CONFIG_HOME when it is an
// absolute path, else ~/.config (POSIX); %APPDATA% (Windows). Empty when the system cannot tell.
std::filesystem::path UserConfigDirectory();

// True where the system tells programs by the extensions of their names (.exe, .bat); false
// where any file the user may execute is a program, whatever its name.
bool ProgramsHaveExtensions();

}  // namespace platform
