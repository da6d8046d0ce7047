#pragma once

// Helpers shared by the test suites: temporary directories, whole-file reads and writes, and a
// Prompter that answers from a script and records what the user was shown.

#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "qvx/config/prompter.h"

namespace qvx::test {

// A fresh directory (readable by other users) that is removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& data);

// Turns LF line ends into CR LF, so test texts can be written readably.
std::string Crlf(const std::string& text);

// The "[General]" header and every general key in order, one a line ending in LF, each with its
// value from `values` or `otherwise`.
std::string GeneralSection(const std::map<std::string, std::string>& values,
                           const std::string& otherwise);

// The project's source tree.
std::filesystem::path SourceDir();
// Where the build puts the programs (and a copy of the delivered configuration).
std::filesystem::path BinDir();
// The delivered default configuration file.
std::filesystem::path DeliveredConfig();

class ScriptedPrompter : public Prompter {
 public:
  std::vector<std::string> statuses;
  std::vector<std::string> messages;
  std::vector<std::string> questions;       // Yes/No and OK/Cancel questions, text only
  std::vector<std::string> questionTitles;  // their titles, in the same order
  std::vector<MessageIcon> questionIcons;   // and their icons
  std::vector<std::string> inputPrompts;
  std::vector<std::string> fileDialogs;     // "title: filter" of each open-file dialog, and
                                            // "title: filter (.ext)" of each save-file dialog
  std::deque<bool> yesNoAnswers;                     // answered in order; No when exhausted
  std::deque<bool> okCancelAnswers;                  // answered in order; Cancel when exhausted
  std::deque<std::optional<std::string>> textAnswers;  // answered in order; Cancel when exhausted
  std::deque<std::optional<std::string>> fileAnswers;  // answered in order; Cancel when exhausted

  void ShowStatus(std::string_view text) override;
  void ShowMessage(std::string_view text, MessageIcon icon, std::string_view title) override;
  bool AskYesNo(std::string_view question, std::string_view title, MessageIcon icon) override;
  bool AskOkCancel(std::string_view text, std::string_view title, MessageIcon icon) override;
  std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                     std::string_view initial) override;
  std::optional<std::string> AskOpenFile(std::string_view title, std::string_view filter) override;
  std::optional<std::string> AskSaveFile(std::string_view title, std::string_view filter,
                                         std::string_view defaultExt) override;
};

}  // namespace qvx::test
