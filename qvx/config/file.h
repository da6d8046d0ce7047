#pragma once

// Reading and writing the configuration file as a whole.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace qvx {

// Name of the configuration file in the program directory.
inline constexpr const char* kConfigFileName = "pelgrin.cfg";

// Environment variable that names another configuration file.
inline constexpr const char* kConfigEnvVar = "QVX_CONFIG";

// Largest configuration file that is read; a larger one is refused rather than exhausting memory.
inline constexpr std::uintmax_t kMaxConfigBytes = 256u << 20;

// Reads the whole file, one character per byte. Empty optional on failure, with the reason in error.
std::optional<std::string> ReadConfigFile(const std::filesystem::path& path, std::string& error);

// Cuts the text after its last "]", writes it followed by CR LF (replacing the file atomically)
// and, on success, makes the text in memory equal to the file. Returns false and changes neither
// the text nor the file when the text has no "]" or the file cannot be written.
bool SaveConfigFile(std::string& text, const std::filesystem::path& path, std::string& error);

}  // namespace qvx
