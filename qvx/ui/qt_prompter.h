#pragma once

// The Prompter of the desktop program: message boxes, questions, input boxes and file dialogs
// as Qt dialogs over the main window, status texts on its status line.

#include <QWidget>
#include <functional>
#include <string_view>

#include "qvx/config/prompter.h"

namespace qvx::ui {

class QtPrompter final : public Prompter {
 public:
  // Dialogs are owned by `parent`; status texts are handed to `showStatus`.
  QtPrompter(QWidget* parent, std::function<void(std::string_view)> showStatus);

  void ShowStatus(std::string_view text) override;
  void ShowMessage(std::string_view text, MessageIcon icon, std::string_view title) override;
  using Prompter::AskOkCancel;
  using Prompter::AskYesNo;
  bool AskYesNo(std::string_view question, std::string_view title, MessageIcon icon) override;
  bool AskOkCancel(std::string_view text, std::string_view title, MessageIcon icon) override;
  std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                     std::string_view initial) override;
  std::optional<std::string> AskOpenFile(std::string_view title, std::string_view filter) override;
  std::optional<std::string> AskSaveFile(std::string_view title, std::string_view filter,
                                         std::string_view defaultExt) override;

 private:
  QWidget* parent_;
  std::function<void(std::string_view)> showStatus_;
};

}  // namespace qvx::ui
