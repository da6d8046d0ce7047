#pragma once

// How the core talks to the user. The desktop program answers with real dialogs and its status
// line; tests answer with scripted replies and record what was shown.

#include <optional>
#include <string>
#include <string_view>

namespace qvx {

// The title of every message box the core shows.
inline constexpr std::string_view kMessageTitle = "QVX";

enum class MessageIcon { NoIcon, Information, Exclamation, Critical, Question };

// In a file filter, the pattern that stands for every file the user may execute, whatever its
// name (programs and scripts on systems that give them no extensions).
inline constexpr std::string_view kExecutableFiles = "<executable>";

class Prompter {
 public:
  virtual ~Prompter() = default;
  // One-line text on the main window's status line.
  virtual void ShowStatus(std::string_view text) = 0;
  // A message box with an OK button under the given title.
  virtual void ShowMessage(std::string_view text, MessageIcon icon, std::string_view title) = 0;
  // A question with Yes and No buttons under the given title and icon; true for Yes.
  virtual bool AskYesNo(std::string_view question, std::string_view title, MessageIcon icon) = 0;
  // The same under the question icon.
  bool AskYesNo(std::string_view question, std::string_view title) {
    return AskYesNo(question, title, MessageIcon::Question);
  }
  // A message box with OK and Cancel buttons under the given title and icon; true for OK.
  virtual bool AskOkCancel(std::string_view text, std::string_view title, MessageIcon icon) = 0;
  // The same without an icon.
  bool AskOkCancel(std::string_view text, std::string_view title) {
    return AskOkCancel(text, title, MessageIcon::NoIcon);
  }
  // An input box; the typed text, or nothing when the user cancelled.
  virtual std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                             std::string_view initial) = 0;
  // An open-file dialog; filter is written "Name (*.a;*.b)|*.a;*.b|Other|*.c", a pattern may be
  // kExecutableFiles. The chosen path, or nothing when the user cancelled.
  virtual std::optional<std::string> AskOpenFile(std::string_view title,
                                                 std::string_view filter) = 0;
  // A save-file dialog for exporting, filter as for AskOpenFile; defaultExt ("cfg", no dot) is
  // added by the dialog to a name typed without an extension. The chosen path, or nothing when
  // the user cancelled.
  virtual std::optional<std::string> AskSaveFile(std::string_view title, std::string_view filter,
                                                 std::string_view defaultExt) = 0;
};

}  // namespace qvx
