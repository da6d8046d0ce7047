#include "qvx/ircode/runanalysis.h"

#include <algorithm>

#include "qvx/config/text.h"
#include "qvx/ircode/irtypes.h"

namespace qvx::ircode {

namespace {

constexpr int kClampRun = 99;
constexpr int kSignalOverSamples = 300;
constexpr int kOpenGapLongSamples = 100;
constexpr int kLongRunsEndDecode = 6;

size_t CountRun(std::string_view text, size_t pos, char level) {
  size_t end = pos;
  while (end < text.size() && text[end] == level) ++end;
  return end - pos;
}

// The first bin from 4 to 90 with the largest sum over itself and its two neighbours.
int FindPeak(const std::array<int, 101>& histogram) {
  int peak = 0;
  int best = 0;
  for (int i = 4; i <= 90; ++i) {
    const int sum = histogram[i - 1] + histogram[i] + histogram[i + 1];
    if (sum > best) {
      best = sum;
      peak = i;
    }
  }
  return peak;
}

bool HasLongRuns(const std::array<int, 101>& histogram, int peak) {
  for (int i = std::max(0, 2 * peak - 3); i <= 90; ++i) {
    if (histogram[i] > 0) return true;
  }
  return false;
}

}  // namespace

std::string SamplesToText(std::span<const uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 8);
  for (const uint8_t byte : bytes) text += ByteToBinText(byte);
  return text;
}

std::string ByteToBinText(uint8_t byte) {
  std::string text(8, '0');
  for (int bit = 0; bit < 8; ++bit) {
    if (byte & (0x80u >> bit)) text[bit] = '1';
  }
  return text;
}

int BinToInt(std::string_view bits) {
  int value = 0;
  for (const char c : bits) value = ((value << 1) | (c == '1' ? 1 : 0)) & 0xFFFF;
  return value;
}

RunAnalysis AnalyseRuns(std::string_view sampleText) {
  RunAnalysis result;
  size_t pos = 0;
  while (true) {
    const size_t mark = CountRun(sampleText, pos, '1');
    pos += mark;
    if (pos >= sampleText.size()) break;
    ++result.markHistogram[std::min<size_t>(mark, kClampRun)];
    const size_t gap = CountRun(sampleText, pos, '0');
    pos += gap;
    if (pos >= sampleText.size() || gap > kSignalOverSamples) break;
    ++result.gapHistogram[std::min<size_t>(gap, kClampRun)];
  }
  result.markPeak = FindPeak(result.markHistogram);
  result.gapPeak = FindPeak(result.gapHistogram);
  if (result.markPeak == 0 || result.gapPeak == 0) return result;

  const bool longGaps = HasLongRuns(result.gapHistogram, result.gapPeak);
  const bool longMarks = HasLongRuns(result.markHistogram, result.markPeak);
  if (longGaps && !longMarks) {
    result.codingType = kGapCoded;
  } else if (longMarks && !longGaps) {
    result.codingType = kPulseCoded;
  } else if (longMarks && longGaps) {
    result.codingType = kBiPhase;
  } else {
    result.codingType = kUnknownCoding;
  }
  result.unitSamples = (result.markPeak + result.gapPeak) / 2;
  result.ok = true;
  return result;
}

int RunClass(int n, int u) {
  if (n < u + 5) return 1;
  if (n < 2 * (u + 3)) return 2;
  if (n < 3 * (u + 3)) return 3;
  return 9;
}

SymbolText BuildSymbolText(std::string_view sampleText, int unitSamples, int codingType) {
  SymbolText out;
  std::string symbols = codingType == kBiPhase ? "g" : "";
  size_t pos = 0;
  while (pos < sampleText.size()) {
    const size_t mark = CountRun(sampleText, pos, '1');
    pos += mark;
    if (pos >= sampleText.size()) break;  // a mark still open at the end is dropped
    out.plen1 += "-" + std::to_string(mark);
    const int markClass = RunClass(static_cast<int>(mark), unitSamples);
    symbols += markClass == 9 ? std::string("G") : std::string(markClass, '1');

    const size_t gap = CountRun(sampleText, pos, '0');
    pos += gap;
    if (pos >= sampleText.size()) {
      if (gap > kOpenGapLongSamples) symbols += 'g';
      break;
    }
    out.plen0 += "-" + std::to_string(gap);
    const int gapClass = RunClass(static_cast<int>(gap), unitSamples);
    symbols += gapClass == 9 ? std::string("g") : std::string(gapClass, '0');
  }
  const size_t firstLong = symbols.find_first_of("gG");
  out.symbols = firstLong == std::string::npos ? std::string() : symbols.substr(firstLong);
  return out;
}

namespace {

bool IsLong(char c) { return c == 'g' || c == 'G'; }

std::string DecodeGapCoded(std::string_view s) {
  std::string out = "G";
  size_t pos = 0;
  while (pos < s.size()) {
    int longRuns = 0;
    while (pos < s.size() && IsLong(s[pos])) {
      out += 'G';
      ++pos;
      ++longRuns;
    }
    const size_t zeros = CountRun(s, pos, '0');
    pos += zeros;
    if (zeros > 1) out += '1';
    if (zeros == 1) out += '0';
    if (pos < s.size() && s[pos] == '1') ++pos;
    if (longRuns >= kLongRunsEndDecode) break;
  }
  return out;
}

std::string DecodePulseCoded(std::string_view s) {
  std::string out;
  size_t pos = 0;
  int longRuns = 0;
  while (pos < s.size() && longRuns < kLongRunsEndDecode) {
    if (IsLong(s[pos])) {
      out += 'G';
      ++longRuns;
      ++pos;
    }
    if (pos < s.size() && s[pos] == '0') ++pos;
    const size_t ones = CountRun(s, pos, '1');
    pos += ones;
    if (ones > 1) out += '1';
    if (ones == 1) out += '0';
  }
  return out;
}

std::string DecodeBiPhase(std::string_view symbols) {
  const std::string s = ToLower(symbols) + "ggggg";
  std::string out = "G1";  // the first start bit, whose first half is never seen
  for (size_t pos = 2; pos < s.size(); pos += 2) {
    const std::string_view pair = std::string_view(s).substr(pos, 2);
    if (pair == "10") {
      out += '0';
    } else if (pair == "01") {
      out += '1';
    } else if (pair == "1g") {
      out += "0G1";  // end of a frame and the first start bit of the next one
      ++pos;
    } else if (pair == "g1") {
      out += "G1";
    } else if (pair == "00" || pair == "11") {
      return {};
    }
  }
  return out;
}

}  // namespace

std::string DecodeSymbols(std::string_view symbols, int codingType) {
  if (codingType == kPulseCoded) return DecodePulseCoded(symbols);
  if (codingType == kBiPhase) return DecodeBiPhase(symbols);
  return DecodeGapCoded(symbols);
}

Frames SplitFrames(std::string_view decoded) {
  Frames frames;
  size_t pos = 0;
  while (pos < decoded.size() && decoded[pos] == 'G') ++pos;
  const size_t end1 = std::min(decoded.find('G', pos), decoded.size());
  frames.frame1 = std::string(decoded.substr(pos, end1 - pos));
  const std::string_view after = decoded.substr(end1);
  const std::string_view first = after.substr(0, std::min<size_t>(1, after.size()));
  const std::string_view second = after.size() > 1 ? after.substr(1, 1) : std::string_view();
  frames.gapSyncType = first == second ? "2" : "1";
  pos = end1;
  while (pos < decoded.size() && decoded[pos] == 'G') ++pos;
  const size_t end2 = std::min(decoded.find('G', pos), decoded.size());
  frames.frame2 = std::string(decoded.substr(pos, end2 - pos));
  return frames;
}

bool BitCountValid(int codingType, size_t bits) {
  switch (codingType) {
    case kGapCoded: return bits == 16 || bits == 32 || bits == 42 || bits == 48;
    case kPulseCoded: return bits == 12 || bits == 15;
    case kBiPhase: return bits == 14;
    default: return false;
  }
}

}  // namespace qvx::ircode
