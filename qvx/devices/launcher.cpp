#include "qvx/devices/launcher.h"

#include <algorithm>

#include "qvx/config/sections.h"
#include "qvx/config/text.h"

namespace qvx::devices {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() && EqualsIgnoreCase(text.substr(text.size() - ending.size()), ending);
}

}  // namespace

std::string LaunchApplication(std::string_view configText, const std::string& command,
                              platform::ProgramStarter& programs, platform::Media& media) {
  // An empty name would match the first comma of the section and run an unrelated entry.
  if (command.empty()) return std::string(kApplicationError);
  const auto section = FindSection(configText, "Application");
  if (!section || section->end > configText.size()) return std::string(kApplicationError);
  const std::string pattern = "," + command;
  const std::size_t hit = FindInText(pattern, configText, section->body);
  if (hit == 0 || hit > section->end) return std::string(kApplicationError);

  const std::size_t comma = hit - pattern.size();
  const std::size_t lineStart = std::max(FindBack(configText, '\n', comma) + 1, section->body);
  const std::string commandLine(TrimBlanks(Between(configText, lineStart, comma - 1)));

  if (EndsWithNoCase(commandLine, "mp3")) {
    media.PlayMp3(commandLine);
    return "File " + command + " start playing.";
  }
  if (EndsWithNoCase(commandLine, "wav")) {
    media.PlayWave(commandLine);
    return "File " + command + " start playing.";
  }
  if (commandLine.starts_with('@'))
    programs.StartCommandLine(commandLine.substr(1), platform::ShowMode::kShownNoFocus);
  else
    programs.StartCommandLine(commandLine, platform::ShowMode::kHidden);
  return command + " executed.";
}

}  // namespace qvx::devices
