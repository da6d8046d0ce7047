#pragma once

#include <string>
#include <vector>

namespace qvx::ircode::testing {

// A sample text of alternating runs, the first a mark: {10, 5, 20} gives 10 "1", 5 "0", 20 "1".
inline std::string Runs(const std::vector<int>& lengths) {
  std::string text;
  bool mark = true;
  for (const int length : lengths) {
    text.append(static_cast<size_t>(length), mark ? '1' : '0');
    mark = !mark;
  }
  return text;
}

// A SONY-style frame: a header mark, then per bit a gap of gapSamples and a mark of oneSamples
// for a 1 or zeroSamples for a 0; it ends after the last mark.
inline std::string PulseFrame(const std::string& bits, int headerSamples, int gapSamples,
                              int zeroSamples, int oneSamples) {
  std::vector<int> lengths = {headerSamples};
  for (const char bit : bits) {
    lengths.push_back(gapSamples);
    lengths.push_back(bit == '1' ? oneSamples : zeroSamples);
  }
  return Runs(lengths);
}

// The same pattern repeated.
inline std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

}  // namespace qvx::ircode::testing
