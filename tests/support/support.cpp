#include "tests/support/support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "qvx/config/general.h"

namespace qvx::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvx-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  // Programs a test runs as another user (a media player refusing root) must reach the files.
  std::filesystem::permissions(path_, std::filesystem::perms(0755));
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Crlf(const std::string& text) {
  std::string result;
  for (const char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

std::string GeneralSection(const std::map<std::string, std::string>& values,
                           const std::string& otherwise) {
  std::string text = "[General]\n";
  for (const auto& key : GeneralKeys()) {
    const auto found = values.find(key);
    text += key + "= " + (found == values.end() ? otherwise : found->second) + "\n";
  }
  return text;
}

std::filesystem::path SourceDir() { return QVX_SOURCE_DIR; }

std::filesystem::path BinDir() { return QVX_BIN_DIR; }

std::filesystem::path DeliveredConfig() { return SourceDir() / "data" / "pelgrin.cfg"; }

void ScriptedPrompter::ShowStatus(std::string_view text) { statuses.emplace_back(text); }

void ScriptedPrompter::ShowMessage(std::string_view text, MessageIcon, std::string_view title) {
  messages.push_back(std::string(title) + ": " + std::string(text));
}

namespace {

template <typename T, typename Default>
T Next(std::deque<T>& answers, Default fallback) {
  if (answers.empty()) return fallback;
  T answer = std::move(answers.front());
  answers.pop_front();
  return answer;
}

}  // namespace

bool ScriptedPrompter::AskYesNo(std::string_view question, std::string_view title,
                                MessageIcon icon) {
  questions.emplace_back(question);
  questionTitles.emplace_back(title);
  questionIcons.push_back(icon);
  return Next(yesNoAnswers, false);
}

bool ScriptedPrompter::AskOkCancel(std::string_view text, std::string_view title,
                                   MessageIcon icon) {
  questions.emplace_back(text);
  questionTitles.emplace_back(title);
  questionIcons.push_back(icon);
  return Next(okCancelAnswers, false);
}

std::optional<std::string> ScriptedPrompter::AskOpenFile(std::string_view title,
                                                         std::string_view filter) {
  fileDialogs.push_back(std::string(title) + ": " + std::string(filter));
  return Next(fileAnswers, std::nullopt);
}

std::optional<std::string> ScriptedPrompter::AskSaveFile(std::string_view title,
                                                         std::string_view filter,
                                                         std::string_view defaultExt) {
  fileDialogs.push_back(std::string(title) + ": " + std::string(filter) + " (." +
                        std::string(defaultExt) + ")");
  return Next(fileAnswers, std::nullopt);
}

std::optional<std::string> ScriptedPrompter::AskText(std::string_view title,
                                                     std::string_view prompt, std::string_view) {
  inputPrompts.push_back(std::string(title) + ": " + std::string(prompt));
  return Next(textAnswers, std::nullopt);
}

}  // namespace qvx::test
