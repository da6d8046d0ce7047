#pragma once

// The decoding half of the monitoring tick: from the watch window that IRMonitor fills to the
// code that is looked up in the configuration. Shared by the tick and `qvxctl decode --window`.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "qvx/ircode/canonicaldecode.h"

namespace qvx {
struct ConfigStore;
}

namespace qvx::monitor {

// Bytes IRMonitor fills (4000 samples), and the capture buffer the tick hands it.
inline constexpr std::size_t kWatchBytes = 500;
inline constexpr std::size_t kCaptureBytes = 600;
// A capture counts only when a byte from this position on (1-based) is not 0.
inline constexpr std::size_t kFirstCountedByte = 40;
// Codes shorter than this are taken for noise.
inline constexpr std::size_t kShortestCode = 7;

// What the tick makes of one capture buffer.
struct WatchDecode {
  bool runsMeasured = false;  // the analysis found a unit; plen1 and plen0 are set
  std::string plen1;          // mark lengths in samples, each after a "-"
  std::string plen0;          // gap lengths in samples, each after a "-"
  int codingType = 0;         // 0 gap-coded, 1 pulse-coded, 2 bi-phase; set with a code
  std::string code;           // the bits of the longer of the first two frames; empty when the
                              // tick ends silently
  std::string literalCode;    // as stored, what the literal analysis alone read where that
                              // differs: the code commands stored by earlier versions hold
  bool necRepeatCodes = false;  // no code: the window holds NEC repeat codes and nothing else
  int lastLightSample = -1;     // the last sample that saw light (0 to 3999), -1 for none
};

// Decodes a capture buffer (at most 600 bytes; missing bytes count as 0): the position-40
// check, the sample text, the run analysis and symbol decoding shared with learning, the two
// frames and the longer-frame rule (frame 2 on a tie), and the 7-bit minimum. Where that gives
// no code, tells NEC repeat codes. `span` says whether the window began anywhere or at the
// first light after darkness, as a recording does; then `missedLightSamples` samples of light
// that shone before the window opened are put in front of it (pushing its last ones out).
WatchDecode DecodeWatchWindow(std::span<const uint8_t> capture,
                              ircode::SampleSpan span = ircode::SampleSpan::Window,
                              int missedLightSamples = 0);

// Looks a decoded window up in the configuration (setting its current device and command): its
// code first, then the literal code, so that commands stored by earlier versions still fire.
bool FindWatchedCode(ConfigStore& store, const WatchDecode& decode);

}  // namespace qvx::monitor
