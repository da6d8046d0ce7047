#include "qvx/ctl/stream_prompter.h"

#include <ostream>
#include <utility>

namespace qvx {
namespace {

// Message texts break their lines with CR LF; a terminal wants LF.
void WriteLines(std::ostream& out, std::string_view text) {
  for (const char c : text)
    if (c != '\r') out << c;
  out << '\n';
}

}  // namespace

void StreamPrompter::ShowStatus(std::string_view status) {
  statusLine = std::string(status);
  if (showStatus && !status.empty()) WriteLines(err_, status);
}

void StreamPrompter::ShowMessage(std::string_view message, MessageIcon icon, std::string_view) {
  WriteLines(icon == MessageIcon::Information ? info_ : err_, message);
}

bool StreamPrompter::AskYesNo(std::string_view, std::string_view, MessageIcon) {
  questionAsked = true;
  return yes;
}

bool StreamPrompter::AskOkCancel(std::string_view question, std::string_view title,
                                 MessageIcon icon) {
  return AskYesNo(question, title, icon);
}

std::optional<std::string> StreamPrompter::AskText(std::string_view, std::string_view,
                                                   std::string_view) {
  textAsked = true;
  return std::exchange(text, std::nullopt);
}

std::optional<std::string> StreamPrompter::AskOpenFile(std::string_view, std::string_view) {
  return std::exchange(fileName, std::nullopt);
}

std::optional<std::string> StreamPrompter::AskSaveFile(std::string_view, std::string_view,
                                                       std::string_view) {
  return std::exchange(fileName, std::nullopt);
}

}  // namespace qvx
