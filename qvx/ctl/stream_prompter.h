#pragma once

// What the core would show in the window, written as lines to a stream (standard error);
// questions are answered No and input boxes cancelled, as nobody is there to answer them.

#include <ostream>

#include "qvx/config/prompter.h"

namespace qvx {

class StreamPrompter final : public Prompter {
 public:
  explicit StreamPrompter(std::ostream& err) : err_(err) {}
  // Status-line texts are written only while this is set; empty ones never.
  bool showStatus = true;

  void ShowStatus(std::string_view text) override {
    if (showStatus && !text.empty()) err_ << text << '\n';
  }
  void ShowMessage(std::string_view text, MessageIcon, std::string_view) override {
    err_ << text << '\n';
  }
  bool AskYesNo(std::string_view, std::string_view) override { return false; }
  bool AskOkCancel(std::string_view, std::string_view) override { return false; }
  std::optional<std::string> AskText(std::string_view, std::string_view, std::string_view) override {
    return std::nullopt;
  }
  std::optional<std::string> AskOpenFile(std::string_view, std::string_view) override {
    return std::nullopt;
  }

 private:
  std::ostream& err_;
};

}  // namespace qvx
