#pragma once

#include <functional>

namespace qvx::ircode {

// Coding types found by the run analysis; the numbers double as GPROTO values.
inline constexpr int kGapCoded = 0;   // NEC style
inline constexpr int kPulseCoded = 1; // SONY style
inline constexpr int kBiPhase = 2;    // RC5
inline constexpr int kUnknownCoding = 99;

// Output modes (ITYPE divided by 16).
inline constexpr int kOutputDtr = 0;   // transmitter with its own 38 kHz carrier, keyed on DTR
inline constexpr int kOutputTxd = 1;   // software carrier of characters on TxD
inline constexpr int kOutputIrda = 2;  // IrDA: never taken into use

// Sounds one beep; the caller decides whether beeps are on before calling.
using Beeper = std::function<void(int freqHz, int durationMs)>;

// Colours that the learning and sending steps give to the main window's fields.
enum class Colour { Default, Red, Green, ButtonFace };

}  // namespace qvx::ircode
