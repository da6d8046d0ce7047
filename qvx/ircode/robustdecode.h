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

// The closed runs of a sample text, starting at its first mark (a run still open at the end of
// the text is left out).
std::vector<SampleRun> ExtractRuns(std::string_view sampleText);

// Unit length and receiver stretch fitted to a recording: a mark of k units measures about
// k * unit + stretch samples, a gap k * unit - stretch.
struct UnitFit {
  double unitSamples = 0;
  double stretchSamples = 0;
};

// Fits unit and stretch to the short runs of a recording; nullopt when there are too few runs.
std::optional<UnitFit> FitUnit(const std::vector<SampleRun>& runs);

// Result of the second analysis, in the same form the histogram analysis produces.
struct RobustDecode {
  int codingType = 0;
  double unitSamples = 0;
  std::string decoded;  // bits of each frame, frames separated by "G"
};

// Decodes a recording from the fitted unit and the structure of the NEC, SONY and RC5 frames
// (header lengths, bi-phase pairing per frame, a stretched first mark). Returns a result only
// when its first frame has a bit count valid for the coding type found; nullopt otherwise.
std::optional<RobustDecode> RobustDecodeSamples(std::string_view sampleText);

}  // namespace qvx::ircode
