#pragma once

// Where a program finds its configuration file, its port map and its shipped files.
//
// A program reads pelgrin.cfg from its own folder. An installed program's folder (/usr/bin)
// holds no pelgrin.cfg and is not the user's to write: its shipped default lies in the shared
// data folder (/usr/share/qvx), and each user gets a configuration of their own, copied from
// that default on first use.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qvx {

// Folder of this system's files in the user's settings directory ($XDG_CONFIG_HOME/qvx).
inline constexpr const char* kUserConfigFolder = "qvx";

struct ProgramFiles {
  std::filesystem::path config;       // the configuration file to read and save
  std::filesystem::path resources;    // the folder of the icons and the manual
  std::vector<std::string> warnings;  // what the user should be told about these files
};

// The shared data folder of an installed program in programDir: the folder with the shipped
// default configuration, when programDir holds no pelgrin.cfg of its own; empty otherwise.
std::filesystem::path InstalledDataDirectory(const std::filesystem::path& programDir);

// Finds the files of the program in programDir and readies them. The configuration file is
// explicitPath when given, else $QVX_CONFIG when set and not empty, else pelgrin.cfg in
// programDir, except for an installed program (InstalledDataDirectory), which uses the user's
// UserConfigDirectory()/qvx/pelgrin.cfg and copies the shipped default there when it is
// missing (with the shipped ports.cfg, whose comments explain the port map). The icons and the manual lie in the shared data folder of an installed program,
// else in programDir. The port map beside the configuration file becomes the process's
// (UsePortMapBeside). A configuration that cannot be made is named anyway, with the reason in
// the warnings, so that loading it reports the missing file as usual.
ProgramFiles SetUpProgramFiles(const std::optional<std::filesystem::path>& explicitPath,
                               const std::filesystem::path& programDir);

// SetUpProgramFiles for the running program's folder.
ProgramFiles SetUpProgramFiles(const std::optional<std::filesystem::path>& explicitPath);

}  // namespace qvx
