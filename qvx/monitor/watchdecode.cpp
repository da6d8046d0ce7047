#include "qvx/monitor/watchdecode.h"

#include <algorithm>
#include <vector>

#include "qvx/config/devices.h"
#include "qvx/ircode/irtypes.h"
#include "qvx/ircode/necrepeat.h"
#include "qvx/ircode/runanalysis.h"
#include "qvx/ircode/sampledecode.h"

namespace qvx::monitor {

WatchDecode DecodeWatchWindow(std::span<const uint8_t> capture, ircode::SampleSpan span,
                              int missedLightSamples) {
  WatchDecode result;
  std::vector<uint8_t> buffer(kCaptureBytes, 0);
  std::copy_n(capture.begin(), std::min(capture.size(), kCaptureBytes), buffer.begin());
  // The samples IRMonitor took; the zeros after them in the buffer are no darkness that was
  // seen, and would let a frame the window cuts off look whole.
  std::string samples = ircode::SamplesToText(buffer).substr(0, ircode::kWatchedSamples);
  const std::size_t lastLight = samples.find_last_of('1');
  if (lastLight != std::string::npos) result.lastLightSample = static_cast<int>(lastLight);
  const auto missed = static_cast<std::size_t>(
      std::clamp(missedLightSamples, 0, static_cast<int>(ircode::kWatchedSamples)));
  if (missed > 0) {
    samples.insert(0, missed, '1');
    samples.resize(ircode::kWatchedSamples);
  }
  const bool active = std::any_of(buffer.begin() + (kFirstCountedByte - 1), buffer.end(),
                                  [](uint8_t byte) { return byte != 0; });
  if (!active) return result;
  const auto withoutCode = [&result, &samples] {
    result.necRepeatCodes = ircode::HoldsOnlyNecRepeatCodes(samples);
    return result;
  };

  // The same decode as learning, so that a code learned from a remote is the code the tick sees.
  const ircode::SampleDecode decode = ircode::DecodeSampleText(samples, span);
  if (decode.stop == ircode::DecodeStop::AnalyseFailed) return withoutCode();
  result.runsMeasured = true;
  result.plen1 = decode.symbols.plen1;
  result.plen0 = decode.symbols.plen0;
  if (decode.stop != ircode::DecodeStop::None) return withoutCode();

  const ircode::Frames& frames = decode.frames;
  const std::string& code = frames.frame2.size() >= frames.frame1.size() ? frames.frame2 : frames.frame1;
  if (code.size() < kShortestCode) return withoutCode();
  result.codingType = decode.codingType;
  result.code = code;
  const std::vector<std::string> watched = ircode::WatchedCodes(decode);
  if (watched.size() == 2) result.literalCode = watched[1];
  return result;
}

bool FindWatchedCode(ConfigStore& store, const WatchDecode& decode) {
  if (FindCodeInConfig(store, decode.code, decode.codingType)) return true;
  // The literal code is in its stored form already; no toggle bit to clear.
  return !decode.literalCode.empty() && FindCodeInConfig(store, decode.literalCode, ircode::kGapCoded);
}

}  // namespace qvx::monitor
