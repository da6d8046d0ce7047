#pragma once

// What the fuzz targets share: the input split into its fields, a scratch directory of the
// process, a Prompter answering from the input, and the check that stops a run with a report.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qvx/config/prompter.h"

namespace qvx::fuzz {

// The fields of an input separated by NUL bytes; the first is the input itself when it has none.
std::vector<std::string_view> SplitFields(const uint8_t* data, std::size_t size);

// A directory of this process, on tmpfs where there is one (saves flush the file to disk),
// removed when the process ends.
const std::filesystem::path& ScratchDir();

// Writes data to a file of the scratch directory and returns its path.
std::filesystem::path WriteScratchFile(const std::string& name, std::string_view data);

// Ends the run with a report naming the broken invariant when `holds` is false.
void Check(bool holds, std::string_view what);

// Answers every question from a script and cancels once the script is exhausted, so that every
// loop that asks again ends.
class ScriptPrompter final : public Prompter {
 public:
  std::deque<std::string> texts;  // typed texts and chosen files, in order
  std::deque<bool> answers;       // Yes/No and OK/Cancel, in order
  int shown = 0;                  // status lines and message boxes seen

  void ShowStatus(std::string_view) override { ++shown; }
  void ShowMessage(std::string_view, MessageIcon, std::string_view) override { ++shown; }
  bool AskYesNo(std::string_view, std::string_view, MessageIcon) override { return NextAnswer(); }
  bool AskOkCancel(std::string_view, std::string_view, MessageIcon) override {
    return NextAnswer();
  }
  std::optional<std::string> AskText(std::string_view, std::string_view,
                                     std::string_view) override {
    return NextText();
  }
  std::optional<std::string> AskOpenFile(std::string_view, std::string_view) override {
    return NextText();
  }
  std::optional<std::string> AskSaveFile(std::string_view, std::string_view,
                                         std::string_view) override {
    return NextText();
  }

 private:
  bool NextAnswer();
  std::optional<std::string> NextText();
};

}  // namespace qvx::fuzz
