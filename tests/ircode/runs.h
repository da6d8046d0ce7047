#pragma once

#include <initializer_list>
#include <string>

namespace qvx::ircode::testing {

// A sample text of alternating runs, the first a mark: {10, 5, 20} gives 10 "1", 5 "0", 20 "1".
inline std::string Runs(std::initializer_list<int> lengths) {
  std::string text;
  bool mark = true;
  for (const int length : lengths) {
    text.append(static_cast<size_t>(length), mark ? '1' : '0');
    mark = !mark;
  }
  return text;
}

// The same pattern repeated.
inline std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

}  // namespace qvx::ircode::testing
