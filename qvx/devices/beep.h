#pragma once

// The beeps that frame an output's work while BEEPON is on: a high one when it starts and a low
// one when it has finished.

#include <cstdint>

#include "platform/sound.h"
#include "qvx/ircode/irtypes.h"

namespace qvx::devices {

inline constexpr int kStartBeepHz = 5000;
inline constexpr int kEndBeepHz = 2000;
inline constexpr int kFrameBeepMs = 50;

// Sounds one framing beep through `beep`, or on the platform's Beep when `beep` is empty.
inline void FrameBeep(const ircode::Beeper& beep, int frequencyHz) {
  if (beep) {
    beep(frequencyHz, kFrameBeepMs);
  } else {
    platform::Beep(static_cast<uint32_t>(frequencyHz), kFrameBeepMs);
  }
}

}  // namespace qvx::devices
