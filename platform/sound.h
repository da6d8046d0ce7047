#pragma once

#include <cstdint>

namespace platform {

class Clock;

// Sounds a tone of `frequencyHz` for `durationMs` on the default audio device and returns when
// it is over (Beep). Where no audio device can be opened, or the frequency is outside
// 37..32767 Hz, it stays silent but still takes the duration on `clock`.
// QVX_AUDIO_DEVICE names another ALSA device ("none" for always silent). The ALSA library is
// loaded by the first beep that sounds (QVX_LIBASOUND names another file than libasound.so.2);
// without it every beep is silent.
void Beep(Clock& clock, uint32_t frequencyHz, uint32_t durationMs);

}  // namespace platform
