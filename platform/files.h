#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace platform {

// Replaces the file at path with data in one step: a temporary file in the same directory is
// written, flushed to disk and renamed over the old one, keeping its permissions. On any
// failure the old file stays as it was and the status says which step failed and why.
Status AtomicWriteFile(const std::filesystem::path& path, std::string_view data);

}  // namespace platform
