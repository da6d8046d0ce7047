#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qvx::ircode {

// The sample text of a recorded bitmap: each byte's 8 bits from 0x80 down, as "1"/"0".
std::string SamplesToText(std::span<const uint8_t> bytes);

// One byte as 8 characters "0"/"1", most significant bit first.
std::string ByteToBinText(uint8_t byte);

// A text of "0"/"1" read in base 2, most significant digit first (other characters count as 0);
// 0 for an empty text.
int BinToInt(std::string_view bits);

// Outcome of the run analysis of a sample text.
struct RunAnalysis {
  bool ok = false;
  int unitSamples = 0;   // the signal's base unit, set when ok
  int codingType = 0;    // 0 gap-coded, 1 pulse-coded, 2 bi-phase, 99 unknown; set when ok
  int markPeak = 0;      // histogram peaks (0 when a histogram is empty)
  int gapPeak = 0;
  std::array<int, 101> markHistogram{};
  std::array<int, 101> gapHistogram{};
};

// Finds the unit length and coding type from the run-length histograms; ok is false when either
// histogram has no peak between 4 and 90.
RunAnalysis AnalyseRuns(std::string_view sampleText);

// Class of a run of n samples for unit u: 1, 2 or 3 units, or 9 for a long run.
int RunClass(int n, int u);

// The symbol text of a recording and the measured run lengths shown beside the plot.
struct SymbolText {
  std::string symbols;  // "1"/"0" per unit of mark/gap, "G"/"g" for long marks/gaps
  std::string plen1;    // mark lengths in samples, each after a "-"
  std::string plen0;    // gap lengths in samples, each after a "-"
};

// Turns the sample text into symbols for unit u; for a bi-phase signal a "g" is put in front.
// The text is cut to start at its first long run (empty when there is none).
SymbolText BuildSymbolText(std::string_view sampleText, int unitSamples, int codingType);

// Decodes a symbol text into bits, frames separated by "G"; empty when it cannot be decoded.
std::string DecodeSymbols(std::string_view symbols, int codingType);

// The first two frames of a decoded text and the sync type they imply for a gap-coded signal.
struct Frames {
  std::string frame1;
  std::string frame2;
  std::string gapSyncType;  // "2" when two long runs follow frame 1 directly, else "1"
};

// Splits a decoded text into its first two frames.
Frames SplitFrames(std::string_view decoded);

// True when a code of this many bits is a valid one for the coding type (NEC 16/32/42/48,
// SONY 12/15, RC5 14).
bool BitCountValid(int codingType, size_t bits);

}  // namespace qvx::ircode
