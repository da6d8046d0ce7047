#include "qvx/ircode/necrepeat.h"

#include <cstddef>

#include "qvx/ircode/canonicaldecode.h"
#include "qvx/ircode/pulsetext.h"

namespace qvx::ircode {
namespace {

// The lengths of a repeat code's runs, wide enough for a receiver's stretch and a remote's
// resonator, narrow enough that no frame of the three protocols passes: NEC's own header gap
// is 4.5 ms, its data marks 560 us with gaps of at most 1.7 ms between them.
struct RunRange {
  double minUs;
  double maxUs;
  bool Holds(int samples) const {
    const double us = samples * static_cast<double>(kSampleUs);
    return us >= minUs && us <= maxUs;
  }
};
constexpr RunRange kHeaderMark{7000, 11000};
constexpr RunRange kHeaderGap{1700, 2900};
constexpr RunRange kFinalMark{300, 1100};
// Repeat codes follow each other after about 96 ms of darkness.
constexpr RunRange kBetween{20000, 200000};

}  // namespace

bool HoldsOnlyNecRepeatCodes(std::string_view sampleText) {
  const RunList list = ExtractRuns(sampleText);
  const std::vector<SampleRun>& runs = list.runs;
  int whole = 0;
  for (size_t i = 0; i < runs.size(); i += 4) {
    // A text that begins in light may cut the first header mark short.
    const bool header = (i == 0 && list.leadingDark == 0) ? runs[i].samples <= kHeaderMark.maxUs / kSampleUs
                                                          : kHeaderMark.Holds(runs[i].samples);
    if (!header) return false;
    if (i + 1 < runs.size() && !kHeaderGap.Holds(runs[i + 1].samples)) return false;
    if (i + 2 < runs.size() && !kFinalMark.Holds(runs[i + 2].samples)) return false;
    if (i + 3 < runs.size() && !kBetween.Holds(runs[i + 3].samples)) return false;
    // Whole once its final mark has ended: the run after it is closed or the text ends dark.
    if (i + 3 < runs.size() || (i + 2 < runs.size() && list.trailingDark > 0)) ++whole;
  }
  return whole > 0;
}

}  // namespace qvx::ircode
