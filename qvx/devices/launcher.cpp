#include "qvx/devices/launcher.h"

#include <algorithm>
#include <cctype>

#include "platform/media.h"
#include "platform/process.h"

namespace qvx::devices {
namespace {

char LowerChar(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Index of the first case-insensitive occurrence of pattern at or after start; npos if none.
size_t FindNoCase(std::string_view text, std::string_view pattern, size_t start) {
  auto equal = [](char a, char b) { return LowerChar(a) == LowerChar(b); };
  if (start > text.size()) return std::string_view::npos;
  auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(),
                        pattern.begin(), pattern.end(), equal);
  return it == text.end() ? std::string_view::npos : static_cast<size_t>(it - text.begin());
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool EndsWithNoCase(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() &&
         FindNoCase(text, ending, text.size() - ending.size()) != std::string_view::npos;
}

}  // namespace

std::string LaunchApplication(std::string_view configText, const std::string& command) {
  constexpr std::string_view kHeader = "[application]";
  // An empty name would match the first comma of the section and run an unrelated entry.
  if (command.empty()) return std::string(kApplicationError);
  size_t header = FindNoCase(configText, kHeader, 0);
  if (header == std::string_view::npos) return std::string(kApplicationError);
  size_t sectionStart = header + kHeader.size();
  size_t sectionEnd = configText.find('[', sectionStart);
  if (sectionEnd == std::string_view::npos) return std::string(kApplicationError);
  size_t comma = FindNoCase(configText, "," + command, sectionStart);
  if (comma == std::string_view::npos || comma >= sectionEnd)
    return std::string(kApplicationError);

  size_t lineFeed = configText.rfind('\n', comma);
  size_t lineStart =
      lineFeed == std::string_view::npos ? sectionStart : std::max(lineFeed + 1, sectionStart);
  std::string commandLine(Trim(configText.substr(lineStart, comma - lineStart)));

  if (EndsWithNoCase(commandLine, "mp3")) {
    platform::PlayMp3(commandLine);
    return "File " + command + " start playing.";
  }
  if (EndsWithNoCase(commandLine, "wav")) {
    platform::PlayWave(commandLine);
    return "File " + command + " start playing.";
  }
  if (commandLine.starts_with('@'))
    platform::StartCommandLine(commandLine.substr(1), platform::ShowMode::kShownNoFocus);
  else
    platform::StartCommandLine(commandLine, platform::ShowMode::kHidden);
  return command + " executed.";
}

}  // namespace qvx::devices
