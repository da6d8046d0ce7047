#include "qvx/ircode/sampledecode.h"

#include <algorithm>
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
  result.repeated = result.frames.frame2 == result.frames.frame1;
  return result;
}

namespace {

// A gap this many units long lies between frames: NEC's longest inner gap is its 8-unit header
// gap, a SONY or RC5 frame has none longer than 2.
constexpr int kFrameGapUnits = 12;

// A watch window without the frames it cuts off at its start and at its end, dark in their
// place: the watched samples from the first darkness long enough to part frames to the last.
// Unchanged where the window starts and ends in such darkness; all dark when it holds none.
std::string WholeFramesOnly(std::string_view sampleText) {
  std::string text(sampleText);
  const RunAnalysis analysis = AnalyseRuns(text);
  if (!analysis.ok) return text;
  const size_t longGap = static_cast<size_t>(kFrameGapUnits * analysis.unitSamples);
  const size_t watched = std::min(text.size(), kWatchedSamples);
  std::optional<size_t> first;
  size_t last = 0;
  for (size_t pos = 0; pos < watched;) {
    const size_t end = std::min(text.find(text[pos] == '1' ? '0' : '1', pos), watched);
    if (text[pos] == '0' && end - pos >= longGap) {
      if (!first) first = pos;
      last = end == watched ? watched : pos;
    }
    pos = end;
  }
  std::fill(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(first.value_or(0)), '0');
  std::fill(text.begin() + static_cast<std::ptrdiff_t>(last), text.end(), '0');
  return text;
}

}  // namespace

SampleDecode DecodeSampleText(std::string_view sampleText, SampleSpan span) {
  SampleDecode result = span == SampleSpan::Window ? LiteralDecodeSampleText(WholeFramesOnly(sampleText))
                                                   : LiteralDecodeSampleText(sampleText);
  const std::optional<CanonicalDecode> canonical = CanonicalDecodeSamples(sampleText, span);
  result.repeated = canonical && canonical->repeated;
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
