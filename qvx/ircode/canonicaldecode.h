#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::ircode {

// One run of equal samples: a mark (receiver active) or a gap.
struct SampleRun {
  bool mark = false;
  int samples = 0;
};

// The closed runs of a sample text and the darkness around them.
struct RunList {
  std::vector<SampleRun> runs;  // from the first mark; a run still open at the end is left out
  int leadingDark = 0;          // samples before the first mark
  int trailingDark = 0;         // samples of a gap still open at the end (0 when it ends in light)
};

// Splits a sample text into its runs.
RunList ExtractRuns(std::string_view sampleText);

// Unit length and receiver stretch fitted to a recording: a run of k units measures about
// k * unit + stretch samples when it is a mark and k * unit - stretch when it is a gap.
struct UnitFit {
  double unitSamples = 0;
  double stretchSamples = 0;
};

// The code a remote sent, read from the structure of its protocol: NEC frames (header mark of
// 16 units and gap of 8, one-unit marks, gaps of one or three units) and repeat codes, SONY
// frames (header of 4 units, marks of one or two units, one-unit gaps) and RC5 frames (14
// bi-phase bits of two half-bit units). Only whole frames count; the frames of one press are
// read together, so that a run that jitter pushed across a class boundary in one frame is
// outvoted by the others.
struct CanonicalDecode {
  int codingType = 0;       // 0 NEC, 1 SONY, 2 RC5
  UnitFit fit;
  std::string code;         // the bits as sent (RC5 with its toggle bit as received)
  int frames = 0;           // whole frames read for the code
  bool repeated = false;    // at least two of them give the code when read on their own
  bool headerFollows = false;  // NEC: what follows the frame (a repeat code or the frame
                               // again) starts with a header mark
};

// Where a sample text begins.
enum class SampleSpan {
  Recording,  // at the first light of a press, as IRRecord records
  Window,     // anywhere, even inside a frame, as IRMonitor watches: kWatchedSamples of it
};

// Samples IRMonitor watches (500 bytes); what follows them in a capture buffer was never seen,
// so darkness there does not tell that a frame has ended.
inline constexpr size_t kWatchedSamples = 4000;

// Reads a recording or a watch window; nullopt when it holds no whole frame of 7 bits or more
// of a known protocol.
std::optional<CanonicalDecode> CanonicalDecodeSamples(std::string_view sampleText, SampleSpan span);

}  // namespace qvx::ircode
