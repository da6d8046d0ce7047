#pragma once

// The beeps that frame an output's work while BEEPON is on: a high one when it starts and a low
// one when it has finished.

#include <cstdint>

#include "platform/clock.h"
#include "platform/sound.h"
#include "qvx/ircode/irtypes.h"

namespace qvx::devices {

inline constexpr int kStartBeepHz = 5000;
inline constexpr int kEndBeepHz = 2000;
inline constexpr int kFrameBeepMs = 50;

// A Beeper that sounds on the platform's Beep, taking its time on `clock` (which must outlive
// it) where it stays silent.
inline ircode::Beeper SystemBeeper(platform::Clock& clock) {
  return [&clock](int frequencyHz, int durationMs) {
    platform::Beep(clock, static_cast<uint32_t>(frequencyHz), static_cast<uint32_t>(durationMs));
  };
}

// Sounds one framing beep through `beep`; nothing when it is empty.
inline void FrameBeep(const ircode::Beeper& beep, int frequencyHz) {
  if (beep) beep(frequencyHz, kFrameBeepMs);
}

}  // namespace qvx::devices
