// The decode of the earlier release, kept unchanged so that the benchmark can measure against
// it: the histogram analysis's code wherever its bit count is valid for its coding type, else
// a second analysis (unit and stretch fitted by least squares, protocol told by the longest
// mark, RC5 read frame by frame), taken only with a valid bit count.
#include "bench/ircode/earlier_decode.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "qvx/ircode/canonicaldecode.h"
#include "qvx/ircode/irtypes.h"
#include "qvx/ircode/pulsetext.h"
#include "qvx/ircode/runanalysis.h"

namespace qvx::ircode::bench {

namespace {

struct UnitFit {
  double unitSamples = 0;
  double stretchSamples = 0;
};

struct RobustDecode {
  int codingType = 0;
  double unitSamples = 0;
  std::string decoded;
};

constexpr int kShortestRun = 3;       // shorter runs are glitches, not signal
constexpr int kLongestFitRun = 300;   // longer gaps end the signal
constexpr size_t kFewestRuns = 4;
constexpr double kClusterSpread = 1.45;
constexpr int kFrameDarkSamples = 150; // darkness before a new frame (8 ms)

// Median of the shortest cluster of run lengths; a cluster needs a few members, so that one
// run the receiver cut short does not pass for the unit.
double LowerClusterMedian(std::vector<int> values) {
  std::sort(values.begin(), values.end());
  const size_t support = std::max<size_t>(2, values.size() / 8);
  size_t first = 0;
  size_t count = 0;
  for (; first < values.size(); ++first) {
    const double limit = values[first] * kClusterSpread;
    count = 0;
    while (first + count < values.size() && values[first + count] <= limit) ++count;
    if (count >= support) break;
  }
  if (first == values.size()) {
    first = 0;
    count = values.size();
  }
  const size_t mid = first + count / 2;
  return count % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// Refines unit and stretch by least squares over the runs that sit near 1, 2 or 3 units.
UnitFit Refine(const std::vector<SampleRun>& runs, UnitFit fit) {
  for (int pass = 0; pass < 4; ++pass) {
    double skk = 0, sks = 0, sss = 0, skn = 0, ssn = 0;
    for (const SampleRun& run : runs) {
      if (run.samples < kShortestRun || run.samples > kLongestFitRun) continue;
      const double sign = run.mark ? 1.0 : -1.0;
      const double x = (run.samples - sign * fit.stretchSamples) / fit.unitSamples;
      const double k = std::round(x);
      if (k < 1 || k > 3 || std::abs(x - k) > 0.35) continue;
      skk += k * k;
      sks += k * sign;
      sss += 1;
      skn += k * run.samples;
      ssn += sign * run.samples;
    }
    const double det = skk * sss - sks * sks;
    if (std::abs(det) < 1e-6) break;
    const double unit = (skn * sss - sks * ssn) / det;
    const double stretch = (skk * ssn - sks * skn) / det;
    if (unit < 2 || std::abs(stretch) > 0.45 * unit) break;
    fit = {unit, stretch};
  }
  return fit;
}

double Units(const SampleRun& run, const UnitFit& fit) {
  const double sign = run.mark ? 1.0 : -1.0;
  return (run.samples - sign * fit.stretchSamples) / fit.unitSamples;
}

// NEC style: long header mark, data marks of one unit, gaps of one or three units.
std::string NecSymbols(const std::vector<SampleRun>& runs, const UnitFit& fit) {
  std::string symbols;
  bool afterLongMark = false;
  for (const SampleRun& run : runs) {
    const double units = Units(run, fit);
    if (run.mark) {
      afterLongMark = units >= 3;
      symbols += afterLongMark ? "G" : "1";
    } else if (afterLongMark ? units >= 3 : units >= 5.5) {
      symbols += "g";
    } else {
      symbols += units < 2 ? "0" : "000";
    }
  }
  return symbols + "g";
}

// SONY style: header of four units, marks of one or two units, gaps of one unit.
std::string SonySymbols(const std::vector<SampleRun>& runs, const UnitFit& fit) {
  std::string symbols;
  for (const SampleRun& run : runs) {
    const double units = Units(run, fit);
    if (run.mark) {
      symbols += units < 1.5 ? "1" : units < 3 ? "11" : "G";
    } else {
      symbols += units < 3 ? "0" : "g";
    }
  }
  return symbols + "g";
}

// Bi-phase bits of one RC5 frame from its runs, the first start bit's unseen half included;
// firstMarkHalves overrides the measured length of the first mark. Empty on a coding error.
std::string Rc5FrameBits(const std::vector<SampleRun>& frame, const UnitFit& fit,
                         int firstMarkHalves) {
  std::string halves = "0";
  for (size_t i = 0; i < frame.size(); ++i) {
    const double units = Units(frame[i], fit);
    int count = units < 1.5 ? 1 : units < 2.8 ? 2 : 0;
    if (i == 0 && firstMarkHalves > 0) count = firstMarkHalves;
    if (count == 0) return {};
    halves.append(count, frame[i].mark ? '1' : '0');
  }
  if (halves.size() % 2) halves += '0';
  std::string bits;
  for (size_t i = 0; i < halves.size(); i += 2) {
    if (halves[i] == halves[i + 1]) return {};
    bits += halves[i] == '0' ? '1' : '0';
  }
  return bits;
}

// RC5: frames decoded one by one; a first mark stretched by the receiver is tried both ways.
std::string Rc5Decoded(const std::vector<SampleRun>& runs, const UnitFit& fit) {
  std::string decoded;
  std::vector<SampleRun> frame;
  const auto flush = [&]() {
    if (frame.empty()) return true;
    std::string bits = Rc5FrameBits(frame, fit, 0);
    if (!BitCountValid(kBiPhase, bits.size())) {
      const int measured = Units(frame.front(), fit) < 1.5 ? 1 : 2;
      bits = Rc5FrameBits(frame, fit, 3 - measured);
    }
    frame.clear();
    if (!BitCountValid(kBiPhase, bits.size())) return false;
    decoded += "G" + bits;
    return true;
  };
  for (const SampleRun& run : runs) {
    if (!run.mark && Units(run, fit) >= 4) {
      if (!flush()) return decoded;
    } else {
      frame.push_back(run);
    }
  }
  flush();
  return decoded;
}

std::optional<UnitFit> FitUnit(const std::vector<SampleRun>& allRuns) {
  // Receivers settle on the first mark of a frame: it and the gap after it are left out.
  std::vector<SampleRun> runs;
  for (size_t i = 0; i < allRuns.size(); ++i) {
    const bool frameStart = i == 0 || allRuns[i - 1].samples > kFrameDarkSamples;
    const bool afterFrameStart = i == 1 || (i > 1 && allRuns[i - 2].samples > kFrameDarkSamples);
    if (allRuns[i].mark ? frameStart : afterFrameStart) continue;
    runs.push_back(allRuns[i]);
  }
  std::vector<int> marks;
  std::vector<int> gaps;
  for (const SampleRun& run : runs) {
    if (run.samples < kShortestRun || run.samples > kLongestFitRun) continue;
    (run.mark ? marks : gaps).push_back(run.samples);
  }
  if (marks.size() < kFewestRuns || gaps.size() < kFewestRuns) return std::nullopt;
  const double mark1 = LowerClusterMedian(marks);
  const double gap1 = LowerClusterMedian(gaps);
  // The shortest marks of a SONY code made of 1-bits are two units long, and so on.
  const double ratio = mark1 / gap1;
  const double markUnits = ratio > 1.6 ? 2 : 1;
  const double gapUnits = ratio < 0.62 ? 2 : 1;
  UnitFit fit;
  fit.unitSamples = (mark1 + gap1) / (markUnits + gapUnits);
  fit.stretchSamples = mark1 - markUnits * fit.unitSamples;
  return Refine(runs, fit);
}

std::optional<RobustDecode> RobustDecodeSamples(std::string_view sampleText) {
  const std::vector<SampleRun> runs = ExtractRuns(sampleText).runs;
  const std::optional<UnitFit> fit = FitUnit(runs);
  if (!fit) return std::nullopt;

  double longestMark = 0;
  for (const SampleRun& run : runs) {
    if (run.mark) longestMark = std::max(longestMark, Units(run, *fit));
  }
  RobustDecode result;
  result.unitSamples = fit->unitSamples;
  if (longestMark >= 10) {
    result.codingType = kGapCoded;
  } else if (longestMark >= 3) {
    result.codingType = kPulseCoded;
  } else {
    result.codingType = kBiPhase;
  }

  if (result.codingType == kBiPhase) {
    result.decoded = Rc5Decoded(runs, *fit);
    // A frame of alternating bits has double-length runs only: the unit is half of them.
    if (!BitCountValid(kBiPhase, SplitFrames(result.decoded).frame1.size())) {
      const UnitFit half{fit->unitSamples / 2, fit->stretchSamples};
      result.decoded = Rc5Decoded(runs, half);
      result.unitSamples = half.unitSamples;
    }
  } else {
    const std::string symbols =
        result.codingType == kGapCoded ? NecSymbols(runs, *fit) : SonySymbols(runs, *fit);
    const size_t firstLong = symbols.find_first_of("gG");
    result.decoded = DecodeSymbols(symbols.substr(firstLong), result.codingType);
  }
  if (!BitCountValid(result.codingType, SplitFrames(result.decoded).frame1.size())) {
    return std::nullopt;
  }
  return result;
}

}  // namespace

SampleDecode EarlierDecodeSampleText(std::string_view sampleText) {
  SampleDecode result = LiteralDecodeSampleText(sampleText);
  const bool usable = result.stop == DecodeStop::None &&
                      BitCountValid(result.codingType, result.frames.frame1.size());
  if (usable) return result;

  const std::optional<RobustDecode> robust = RobustDecodeSamples(sampleText);
  if (!robust) return result;
  SampleDecode mended;
  mended.codingType = robust->codingType;
  mended.unitSamples = static_cast<int>(std::lround(robust->unitSamples));
  mended.slotUs = static_cast<int>(std::lround(robust->unitSamples * kSampleUs));
  mended.symbols = BuildSymbolText(sampleText, mended.unitSamples, mended.codingType);
  mended.symbols.symbols.clear();
  mended.decoded = robust->decoded;
  mended.frames = SplitFrames(robust->decoded);
  mended.repeated = mended.frames.frame2 == mended.frames.frame1;
  mended.mended = true;
  return mended;
}

}  // namespace qvx::ircode::bench
