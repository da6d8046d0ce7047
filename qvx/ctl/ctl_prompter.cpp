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

bool CtlPrompter::AskYesNo(std::string_view) {
  questionAsked = true;
  return yes;
}

std::optional<std::string> CtlPrompter::AskText(std::string_view, std::string_view,
                                                std::string_view) {
  textAsked = true;
  return std::exchange(text, std::nullopt);
}

bool CtlPrompter::Ask(std::string_view question, Buttons, std::string_view, MessageIcon) {
  return AskYesNo(question);
}

std::optional<std::string> CtlPrompter::AskFileName(const FileDialog&) {
  return std::exchange(fileName, std::nullopt);
}

}  // namespace qvx
