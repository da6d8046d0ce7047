#pragma once

// The infrared dimmer: a lamp dimmer driven by long bursts of infrared light instead of coded
// commands. ON/OFF is a long burst and a short one, DIM/BRI a long burst and a long one.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "qvx/ircode/irsend.h"
#include "qvx/ircode/irtypes.h"

namespace qvx::devices {

// Status text of every dimmer command.
inline constexpr std::string_view kIrDimmerDone = "IR Dimmer command executed OK.";
// A burst is made of this character ("U", bits 01010101), sent at kDimmerSlotUs per bit:
// four 2 ms slots of light alternating with four of darkness, 16 ms per byte.
inline constexpr uint8_t kDimmerBurstByte = 85;
inline constexpr int kDimmerSlotUs = 2000;

// Two bursts of a command with the pause between them.
struct DimmerPattern {
  int firstBytes;
  uint32_t pauseMs;
  int secondBytes;
  bool operator==(const DimmerPattern&) const = default;
};
inline constexpr DimmerPattern kDimmerOnOff{150, 500, 20};        // 2.4 s, 0.5 s, 0.32 s
inline constexpr DimmerPattern kDimmerDimBright{150, 1000, 200};  // 2.4 s, 1 s, 3.2 s

// The pattern a command code selects: ON/OFF for "G1" (trimmed, any case), DIM/BRI for every
// other code, the empty one included.
DimmerPattern DimmerPatternFor(std::string_view code);

// Sends one dimmer command: the pattern of `code` as bursts handed to `transmit` with the
// output mode (ITYPE / 16), the pause on `clock` in between, framed by the beeps of 5000 Hz
// and 2000 Hz for 50 ms through `beep` when `beepOn`. The transmitter's results are not
// checked; returns kIrDimmerDone.
std::string SendIrDimmerCommand(std::string_view code, int outputMode, bool beepOn,
                                const ircode::IrTransmit& transmit, const ircode::Beeper& beep,
                                platform::Clock& clock);

// The dimmer as SendIRCommand's continuation for the device "IR Dimmer" (SendRequest::dimmer):
// it sends the command's code with SendIrDimmerCommand; the device's parameters and slot
// length do not change the bursts. `clock` must outlive the continuation.
ircode::DimmerTransmission IrDimmerTransmission(int outputMode, bool beepOn,
                                                ircode::IrTransmit transmit, ircode::Beeper beep,
                                                platform::Clock& clock);

}  // namespace qvx::devices
