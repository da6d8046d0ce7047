#include "qvx/ircode/sampledecode.h"

#include <cmath>

#include "qvx/ircode/irtypes.h"
#include "qvx/ircode/pulsetext.h"
#include "qvx/ircode/robustdecode.h"

namespace qvx::ircode {

namespace {

SampleDecode HistogramDecode(std::string_view sampleText) {
  SampleDecode result;
  const RunAnalysis analysis = AnalyseRuns(sampleText);
  if (!analysis.ok) {
    result.stop = DecodeStop::AnalyseFailed;
    return result;
  }
  result.codingType = analysis.codingType;
  result.unitSamples = analysis.unitSamples;
  result.slotUs = analysis.unitSamples * kSampleUs;
  if (analysis.codingType == kUnknownCoding) {
    result.stop = DecodeStop::UnknownProtocol;
    return result;
  }
  result.symbols = BuildSymbolText(sampleText, analysis.unitSamples, analysis.codingType);
  result.decoded = DecodeSymbols(result.symbols.symbols, analysis.codingType);
  if (result.decoded.empty()) {
    result.stop = DecodeStop::NotExtracted;
    return result;
  }
  result.frames = SplitFrames(result.decoded);
  return result;
}

}  // namespace

SampleDecode DecodeSampleText(std::string_view sampleText, bool mend) {
  SampleDecode result = HistogramDecode(sampleText);
  const bool usable = result.stop == DecodeStop::None &&
                      BitCountValid(result.codingType, result.frames.frame1.size());
  if (!mend || usable) return result;

  const std::optional<RobustDecode> robust = RobustDecodeSamples(sampleText);
  if (!robust) return result;
  SampleDecode mended;
  mended.codingType = robust->codingType;
  mended.unitSamples = static_cast<int>(std::lround(robust->unitSamples));
  mended.slotUs = static_cast<int>(std::lround(robust->unitSamples * kSampleUs));
  // Only the measured run lengths are taken from the symbol text here.
  mended.symbols = BuildSymbolText(sampleText, mended.unitSamples, mended.codingType);
  mended.symbols.symbols.clear();
  mended.decoded = robust->decoded;
  mended.frames = SplitFrames(robust->decoded);
  mended.mended = true;
  return mended;
}

}  // namespace qvx::ircode
