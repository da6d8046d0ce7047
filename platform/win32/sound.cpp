// The beep through the Win32 Beep call, which sounds the PC speaker (or the sound card's
// stand-in for it) and returns when the tone is over.

#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/clock.h"
#include "platform/sound.h"

namespace platform {
namespace {

constexpr uint32_t kLowestHz = 37;  // the range Beep accepts
constexpr uint32_t kHighestHz = 32767;

// QVX_AUDIO_DEVICE=none keeps every beep silent, as on Linux.
bool Silenced() {
  const char* device = std::getenv("QVX_AUDIO_DEVICE");
  return device && std::string(device) == "none";
}

}  // namespace

void Beep(Clock& clock, uint32_t frequencyHz, uint32_t durationMs) {
  const int64_t endNs = clock.NowNs() + int64_t{durationMs} * 1'000'000;
  if (durationMs > 0 && !Silenced() && frequencyHz >= kLowestHz && frequencyHz <= kHighestHz) {
    ::Beep(frequencyHz, durationMs);
  }
  // Silent, refused or on a machine without a speaker, the call still lasts the whole
  // duration, as callers time their sequences by it.
  const int64_t leftNs = endNs - clock.NowNs();
  if (leftNs > 0) clock.SleepMs(static_cast<uint32_t>((leftNs + 999'999) / 1'000'000));
}

}  // namespace platform
