// Feeds arbitrary recordings (the 600 bytes IRRecord delivers, or a file given to qvxctl decode)
// to the learning analysis: the sample text, the run analysis, the symbols and their decoding,
// the decoding of a recording and of a monitoring window (literal and canonical readings), and
// LearnFromRecording with both decoders; then the qvxctl decode path, from the file of the
// recording to the printed decode.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "qvx/ctl/ir_verbs.h"
#include "qvx/ircode/learning.h"
#include "qvx/ircode/runanalysis.h"
#include "qvx/ircode/sampledecode.h"

namespace qvx::fuzz {
namespace {

using namespace qvx::ircode;

bool OnlyOf(std::string_view text, std::string_view allowed) {
  return text.find_first_not_of(allowed) == std::string_view::npos;
}

void CheckDecode(const SampleDecode& decode) {
  Check(OnlyOf(decode.symbols.symbols, "01Gg"), "symbols are 0, 1, G and g");
  Check(OnlyOf(decode.decoded, "01G"), "a decoded text is bits and frame marks");
  Check(OnlyOf(decode.frames.frame1, "01") && OnlyOf(decode.frames.frame2, "01"),
        "frames are bits");
  for (const std::string& code : WatchedCodes(decode))
    Check(code.size() >= 7 && OnlyOf(code, "01"), "a watched code has 7 bits or more");
}

// validatedBefore: a validation survives a failed recording.
void CheckLearned(const LearnResult& result, bool validatedBefore) {
  if (!result.codeStr.empty()) {
    Check(result.codeStr.front() == 'G' && OnlyOf(result.codeStr.substr(1), "01"),
          "a learned code is G and bits");
    Check(result.bitNr == std::to_string(result.codeStr.size() - 1), "the bit count is the code's");
  }
  Check(!result.validated || result.decoded || validatedBefore,
        "only a decoded code is validated");
  Check(!result.mended || result.decoded, "only a decoded code is mended");
}

// The configuration's code search as learning uses it: one stored command.
std::optional<StoredCommand> FindCode(const std::string& bits) {
  if (bits == "00000100111110110000100011110111") return StoredCommand{"TV", "Power"};
  return std::nullopt;
}

// The printed decode is key=value lines of the known keys, each once and in their order.
void CheckPrinted(std::string_view printed) {
  static constexpr std::string_view kKeys[] = {"protocol", "unit",    "code",    "bits",
                                               "rpt",      "gtype",   "toggle",  "address",
                                               "command",  "pulse",   "message"};
  std::size_t next = 0;
  while (!printed.empty()) {
    const std::size_t end = printed.find('\n');
    Check(end != std::string_view::npos, "every printed line ends");
    const std::string_view line = printed.substr(0, end);
    const std::size_t equals = line.find('=');
    Check(equals != std::string_view::npos, "a printed line is key=value");
    const std::string_view key = line.substr(0, equals);
    while (next < std::size(kKeys) && kKeys[next] != key) ++next;
    Check(next < std::size(kKeys), "printed keys are known and in order");
    ++next;
    printed.remove_prefix(end + 1);
  }
}

std::string Printed(const LearnResult& result) {
  std::ostringstream out;
  PrintDecode(result, out);
  return out.str();
}

}  // namespace
}  // namespace qvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace qvx;
  using namespace qvx::fuzz;
  using namespace qvx::ircode;
  const std::vector<uint8_t> bytes(data, data + size);

  const std::string samples = SamplesToText(bytes);
  Check(samples.size() == 8 * bytes.size() && OnlyOf(samples, "01"), "8 samples a byte");
  const RunAnalysis runs = AnalyseRuns(samples);
  if (runs.ok) {
    Check(runs.unitSamples > 0, "a found unit is positive");
    Check(runs.codingType == kGapCoded || runs.codingType == kPulseCoded ||
              runs.codingType == kBiPhase || runs.codingType == kUnknownCoding,
          "a known coding type");
    const SymbolText symbols = BuildSymbolText(samples, runs.unitSamples, runs.codingType);
    Check(OnlyOf(symbols.symbols, "01Gg"), "symbols are 0, 1, G and g");
    Check(OnlyOf(DecodeSymbols(symbols.symbols, runs.codingType), "01G"), "decoded bits");
  }
  // The canonical reading runs inside DecodeSampleText; it is the costly part, run once a span.
  for (const SampleSpan span : {SampleSpan::Recording, SampleSpan::Window})
    CheckDecode(DecodeSampleText(samples, span));
  CheckDecode(LiteralDecodeSampleText(samples));

  LearnEnv env;
  env.findCode = FindCode;
  // The recording as IRRecord delivers it: always 600 bytes.
  std::vector<uint8_t> recording(bytes.begin(), bytes.begin() + std::min<std::size_t>(size, kRecordBytes));
  recording.resize(kRecordBytes, 0);
  LearnContext context;
  std::optional<LearnResult> first;
  for (const bool literal : {false, true}) {
    env.decode = literal ? LiteralDecodeSampleText : std::function<SampleDecode(std::string_view)>();
    const bool validatedBefore = context.validated;
    LearnResult result = LearnFromRecording(context, recording, env);
    CheckLearned(result, validatedBefore);
    if (!first) first = std::move(result);
  }
  env.decode = nullptr;

  // qvxctl decode: the file, read whole when it holds at most 600 bytes, learned afresh.
  std::ostringstream err;
  const auto read = ReadRecordingFile(WriteScratchFile("recording.bin",
                                                       {reinterpret_cast<const char*>(data), size})
                                          .string(),
                                      err);
  if (size > static_cast<std::size_t>(kRecordBytes)) {
    Check(!read && !err.str().empty(), "a longer file is refused with a reason");
    return 0;
  }
  Check(read && *read == bytes, "the file's bytes are the recording");
  // A file of 600 bytes is the recording learned above, from the same fresh state.
  LearnContext fresh;
  const LearnResult decoded =
      size == static_cast<std::size_t>(kRecordBytes) ? *first : LearnFromRecording(fresh, *read, env);
  CheckLearned(decoded, false);
  CheckPrinted(Printed(decoded));
  return 0;
}
