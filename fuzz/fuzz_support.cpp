#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace qvx::fuzz {
namespace {

class Scratch {
 public:
  Scratch() {
    std::error_code ec;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = (base / "qvx-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    path_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

std::vector<std::string_view> SplitFields(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (std::size_t nul = input.find('\0'); nul != std::string_view::npos;
       nul = input.find('\0', start)) {
    fields.push_back(input.substr(start, nul - start));
    start = nul + 1;
  }
  fields.push_back(input.substr(start));
  return fields;
}

const std::filesystem::path& ScratchDir() {
  static const Scratch scratch;
  return scratch.path();
}

std::filesystem::path WriteScratchFile(const std::string& name, std::string_view data) {
  const std::filesystem::path path = ScratchDir() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  Check(static_cast<bool>(out.flush()), "the scratch file can be written");
  return path;
}

void Check(bool holds, std::string_view what) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

bool ScriptPrompter::NextAnswer() {
  if (answers.empty()) return false;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<std::string> ScriptPrompter::NextText() {
  if (texts.empty()) return std::nullopt;
  std::string text = std::move(texts.front());
  texts.pop_front();
  return text;
}

}  // namespace qvx::fuzz
