#pragma once

// The port map: which device each COMn stands for on this machine, kept by the user in a file
// beside the configuration so that a program started from a desktop menu or as a service finds
// its ports without environment variables. One "COMn=DEVICE" a line, for example
//   COM1=/dev/ttyUSB0
//   COM3 = /dev/rfcomm0
// Blank lines and lines starting with "#" are skipped; "COM" in any case; DEVICE is what a
// QVX_COMn variable may hold (a device path or sim:NAME), which still wins over the file.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

// Name of the port map in the folder of the configuration file.
inline constexpr const char* kPortMapFileName = "ports.cfg";

struct PortMapReading {
  std::map<int32_t, std::string> targets;  // port number to device, the valid lines only
  std::vector<std::string> problems;       // "line N: ..." for each line that was skipped
};

// Reads the lines of a port map; a line that is not a mapping is skipped and reported, and
// the first mapping of a port holds.
PortMapReading ParsePortMap(std::string_view text);

// Makes the port map beside configFile the process's port map (an empty one when there is no
// such file). Returns what the user should be told: an unreadable file, skipped lines.
std::vector<std::string> UsePortMapBeside(const std::filesystem::path& configFile);

}  // namespace qvx
