#include "qvx/ctl/ctl_prompter.h"

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

void CtlPrompter::ShowStatus(std::string_view status) { WriteLines(err_, status); }

void CtlPrompter::ShowMessage(std::string_view message, MessageIcon icon, std::string_view) {
  WriteLines(icon == MessageIcon::Information ? info_ : err_, message);
}

bool CtlPrompter::AskYesNo(std::string_view, std::string_view) {
  questionAsked = true;
  return yes;
}

bool CtlPrompter::AskOkCancel(std::string_view text, std::string_view title) {
  return AskYesNo(text, title);
}

std::optional<std::string> CtlPrompter::AskText(std::string_view, std::string_view,
                                                std::string_view) {
  textAsked = true;
  return std::exchange(text, std::nullopt);
}

std::optional<std::string> CtlPrompter::AskOpenFile(std::string_view, std::string_view) {
  return std::exchange(fileName, std::nullopt);
}

std::optional<std::string> CtlPrompter::AskSaveFile(std::string_view, std::string_view,
                                                    std::string_view) {
  return std::exchange(fileName, std::nullopt);
}

}  // namespace qvx
