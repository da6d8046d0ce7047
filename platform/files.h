#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// Replaces the file at path with data in one step: a temporary file in the same directory is
// written, flushed to disk and renamed over the old one, keeping its permissions. Returns false
// (and leaves the old file as it was) on any failure, with the reason in error.
bool AtomicWriteFile(const std::filesystem::path& path, std::string_view data, std::string& error);

}  // namespace platform
