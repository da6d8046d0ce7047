#pragma once

// How the core talks to the user. The desktop program answers with real dialogs and its status
// line; tests answer with scripted replies and record what was shown.

#include <optional>
#include <string>
#include <string_view>

namespace qvx {

// The title of every message box the core shows.
inline constexpr std::string_view kMessageTitle = "QVX";

enum class MessageIcon { NoIcon, Information, Exclamation, Critical };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // One-line text on the main window's status line.
  virtual void ShowStatus(std::string_view text) = 0;
  // A message box with an OK button; title "QVX" unless another is given.
  virtual void ShowMessage(std::string_view text, MessageIcon icon, std::string_view title) = 0;
  // A question with Yes and No buttons, titled "QVX"; true for Yes.
  virtual bool AskYesNo(std::string_view question) = 0;
  // A question with Yes and No buttons under its own title; true for Yes. Unless a prompter
  // shows the title, it asks as AskYesNo does.
  virtual bool AskYesNoTitled(std::string_view question, std::string_view /*title*/) {
    return AskYesNo(question);
  }
  // An input box; the typed text, or nothing when the user cancelled.
  virtual std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                             std::string_view initial) = 0;
};

}  // namespace qvx
