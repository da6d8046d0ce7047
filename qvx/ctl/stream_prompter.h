#pragma once

// The user of qvxctl: what the core would show in the window is written as lines to a stream;
// questions, input boxes and file dialogs are answered by the command's options instead of a
// person (No, Cancel and nothing chosen unless an option said otherwise).

#include <iosfwd>
#include <optional>
#include <string>

#include "qvx/config/prompter.h"

namespace qvx {

class StreamPrompter final : public Prompter {
 public:
  // Every text goes to err.
  explicit StreamPrompter(std::ostream& err) : info_(err), err_(err) {}
  // Information messages go to info, every other text to err.
  StreamPrompter(std::ostream& info, std::ostream& err) : info_(info), err_(err) {}

  bool showStatus = true;               // status-line texts are written only while set; empty ones never
  std::string statusLine;               // the status line as the last text left it, written or not
  bool yes = false;                     // the answer to every question
  std::optional<std::string> text;      // the answer to the first input box; later ones cancel
  std::optional<std::string> fileName;  // the answer to the first file dialog; later ones cancel
  bool textAsked = false;               // an input box was shown
  bool questionAsked = false;           // a question was asked

  void ShowStatus(std::string_view status) override;
  void ShowMessage(std::string_view message, MessageIcon icon, std::string_view title) override;
  bool AskYesNo(std::string_view question, std::string_view title, MessageIcon icon) override;
  bool AskOkCancel(std::string_view question, std::string_view title, MessageIcon icon) override;
  std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                     std::string_view initial) override;
  std::optional<std::string> AskOpenFile(std::string_view title, std::string_view filter) override;
  std::optional<std::string> AskSaveFile(std::string_view title, std::string_view filter,
                                         std::string_view defaultExt) override;

 private:
  std::ostream& info_;
  std::ostream& err_;
};

}  // namespace qvx
