#include "qvx/monitor/watchdecode.h"

#include <algorithm>
#include <vector>

#include "qvx/ircode/runanalysis.h"
#include "qvx/ircode/sampledecode.h"

namespace qvx::monitor {

WatchDecode DecodeWatchWindow(std::span<const uint8_t> capture) {
  WatchDecode result;
  std::vector<uint8_t> buffer(kCaptureBytes, 0);
  std::copy_n(capture.begin(), std::min(capture.size(), kCaptureBytes), buffer.begin());
  const bool active = std::any_of(buffer.begin() + (kFirstCountedByte - 1), buffer.end(),
                                  [](uint8_t byte) { return byte != 0; });
  if (!active) return result;

  // The same decode as learning, so that a code learned from a remote is the code the tick sees.
  const ircode::SampleDecode decode =
      ircode::DecodeSampleText(ircode::SamplesToText(buffer), ircode::SampleSpan::Window);
  if (decode.stop == ircode::DecodeStop::AnalyseFailed) return result;
  result.runsMeasured = true;
  result.plen1 = decode.symbols.plen1;
  result.plen0 = decode.symbols.plen0;
  if (decode.stop != ircode::DecodeStop::None) return result;

  const ircode::Frames& frames = decode.frames;
  const std::string& code = frames.frame2.size() >= frames.frame1.size() ? frames.frame2 : frames.frame1;
  if (code.size() < kShortestCode) return result;
  result.codingType = decode.codingType;
  result.code = code;
  return result;
}

}  // namespace qvx::monitor
