#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qvx/ircode/deviceparams.h"

namespace qvx::ircode {

// Number of full-frame repeats and of NEC repeat codes appended to a frame.
inline constexpr int kRepeatCount = 4;

// Microseconds that one sample of a recording stands for, and one step of the signal view.
inline constexpr int kSampleUs = 55;

// The pulse text ("1" carrier on, "0" off, one character a slot) for the bits of a command
// (without the leading "G"). For RC5 (GPROTO 2) the third bit is replaced by the toggle state,
// which flips on every call; characters other than "0"/"1" in bits add nothing.
std::string BuildPulseString(std::string_view bits, const DeviceParams& params, bool& rc5Toggle);

// Packs a pulse text 8 slots to a byte, first slot in bit 7, padded with "0" at the end.
std::vector<uint8_t> PackSlotBytes(std::string_view pulseText);

// Samples per slot in the signal view: slot length / 55 rounded, halves up (0 for slot <= 27).
int SamplesPerSlot(int slotUs);

// The sent signal as the view draws it: the samples (one character per 55 us) and their packing.
struct SignalView {
  std::string samples;
  std::vector<uint8_t> bytes;
};

// Rebuilds the signal just sent from the code field (its first character, the "G", dropped),
// every slot expanded to SamplesPerSlot samples plus one silent slot at the end. rc5ToggleNow
// is the toggle state after the send; the view shows the toggle bit that was sent and the
// state is not changed.
SignalView RebuildSentSignal(std::string_view codeField, const DeviceParams& params, int slotUs,
                             bool rc5ToggleNow);

}  // namespace qvx::ircode
