#include "qvx/ircode/sampledecode.h"

#include <cmath>
#include <optional>

#include "qvx/ircode/irtypes.h"
#include "qvx/ircode/pulsetext.h"

namespace qvx::ircode {

namespace {

constexpr size_t kShortestWatchedCode = 7;

const std::string& Longer(const Frames& frames) {
  return frames.frame1.size() > frames.frame2.size() ? frames.frame1 : frames.frame2;
}

}  // namespace

SampleDecode LiteralDecodeSampleText(std::string_view sampleText) {
  SampleDecode result;
  const RunAnalysis analysis = AnalyseRuns(sampleText);
  if (!analysis.ok) {
    result.stop = DecodeStop::AnalyseFailed;
    return result;
  }
  result.codingType = result.literalCodingType = analysis.codingType;
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
  result.frames = result.literalFrames = SplitFrames(result.decoded);
  return result;
}

SampleDecode DecodeSampleText(std::string_view sampleText, SampleSpan span) {
  SampleDecode result = LiteralDecodeSampleText(sampleText);
  const std::optional<CanonicalDecode> canonical = CanonicalDecodeSamples(sampleText, span);
  if (!canonical) return result;

  const bool agrees = result.stop == DecodeStop::None &&
                      result.codingType == canonical->codingType &&
                      result.frames.frame1 == canonical->code;
  result.stop = DecodeStop::None;
  result.codingType = canonical->codingType;
  result.unitSamples = static_cast<int>(std::lround(canonical->fit.unitSamples));
  result.slotUs = result.unitSamples * kSampleUs;
  if (result.symbols.plen1.empty()) {
    result.symbols = BuildSymbolText(sampleText, result.unitSamples, result.codingType);
  }
  result.frames.frame1 = canonical->code;
  result.frames.frame2 = canonical->repeated ? canonical->code : std::string();
  result.frames.gapSyncType.assign(1, canonical->headerFollows ? '2' : '1');
  result.decoded = "G" + canonical->code + "G" + result.frames.frame2;
  result.canonical = true;
  result.mended = !agrees;
  return result;
}

std::string StoredForm(std::string bits, int codingType) {
  if (codingType == kBiPhase && bits.size() >= 3) bits[2] = '0';
  return bits;
}

std::vector<std::string> WatchedCodes(const SampleDecode& decode) {
  std::vector<std::string> codes;
  if (decode.stop != DecodeStop::None) return codes;
  const std::string code = StoredForm(Longer(decode.frames), decode.codingType);
  if (code.size() >= kShortestWatchedCode) codes.push_back(code);
  const std::string literal = StoredForm(Longer(decode.literalFrames), decode.literalCodingType);
  if (literal.size() >= kShortestWatchedCode && literal != code) codes.push_back(literal);
  return codes;
}

}  // namespace qvx::ircode
