#include "qvx/config/file.h"

#include <fstream>
#include <system_error>

#include "platform/files.h"

namespace qvx {

std::optional<std::string> ReadConfigFile(const std::filesystem::path& path, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    error = "cannot open " + path.string() + ": " +
            (ec ? ec.message() : std::string("not a regular file"));
    return std::nullopt;
  }
  // The size of the file that was opened, not of the name: another program may put a new file
  // under the name between the two, and a size taken from the name would cut or fail the read.
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    error = "cannot open " + path.string();
    return std::nullopt;
  }
  const std::streamoff end = in.tellg();
  if (end < 0 || !in.seekg(0)) {
    error = "cannot read " + path.string();
    return std::nullopt;
  }
  const auto size = static_cast<std::uintmax_t>(end);
  if (size > kMaxConfigBytes) {
    error = path.string() + " is too large (" + std::to_string(size) + " bytes)";
    return std::nullopt;
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (static_cast<std::uintmax_t>(in.gcount()) != size) {
    error = "cannot read " + path.string();
    return std::nullopt;
  }
  return text;
}

bool SaveConfigFile(std::string& text, const std::filesystem::path& path, std::string& error) {
  // A text without any "]" would be cut to nothing and wipe the file.
  const std::size_t lastBracket = text.rfind(']');
  if (lastBracket == std::string::npos) {
    error = "the configuration has no section and is not saved";
    return false;
  }
  std::string saved = text.substr(0, lastBracket + 1);
  saved += "\r\n";
  if (const platform::Status written = platform::AtomicWriteFile(path, saved); !written) {
    error = written.osText();
    return false;
  }
  text = std::move(saved);
  return true;
}

}  // namespace qvx
