#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::ircode {

// Protocol parameters of one infrared device (the GPROTO .. GREPEAT lines of its block).
struct DeviceParams {
  int gproto = 0;        // 0 NEC, 1 SONY, 2 RC5, 3 Custom (-1 when saved without a choice)
  int sendplsUs = 0;     // slot length as stored in the block
  int repeatSlots = 0;   // empty slots before each full-frame repeat; 0 means no such repeats
  std::string bitg;      // leader slots before the first frame
  std::string bit0;      // slots of a 0 bit
  std::string bit1;      // slots of a 1 bit
  int grepeatSlots = 0;  // empty slots before each NEC repeat code; 0 or 1 means none

  // The mark appended after the last bit: "1" for NEC, empty otherwise.
  std::string Trailer() const { return gproto == 0 ? "1" : ""; }

  bool operator==(const DeviceParams&) const = default;
};

// Builds the parameters from the seven value texts of a device block, in file order; numbers
// are read by their leading number as every integer of the file is ("550us" is 550, a text
// without one is 0), patterns are trimmed. Returns nullopt when a number lies outside 16 bits.
std::optional<DeviceParams> DeviceParamsFromTexts(std::string_view gproto, std::string_view sendpls,
                                                  std::string_view repeat, std::string_view bitg,
                                                  std::string_view bit0, std::string_view bit1,
                                                  std::string_view grepeat);

// What the main window's information labels show for a device's parameters.
struct ProtocolDisplay {
  std::string gProt;                // "NEC", "SONY", "RC5", "Custom", or empty
  std::string rpt;                  // "Y" when full-frame repeats are sent, else "N"
  std::optional<std::string> gType; // "0", "1", "2"; nullopt leaves the label as it is
};

// The label values for the given parameters; never fails.
ProtocolDisplay DisplayFor(const DeviceParams& params);

// Field texts that the device dialog fills in when a protocol is chosen.
struct DevicePreset {
  std::string_view sendpls, repeat, grepeat, bit0, bit1, bitg;
};

// The preset of a protocol list position (0 NEC, 1 SONY, 2 RC5; any other position gets the
// NEC values, as Custom does).
DevicePreset PresetFor(int gproto);

// The preset of a protocol as ready-made parameters (GPROTO set to the given value).
DeviceParams PresetParams(int gproto);

// Leader and bit patterns of the Recorded device for the protocol the last recording found.
struct RecordedPatterns {
  std::string_view bitg, bit0, bit1;
};

// The Recorded patterns for a detected protocol; nullopt for an unknown one (3 .. 26, 99, ...).
std::optional<RecordedPatterns> RecordedPatternsFor(int detectedProto);

// The largest size LeadingNumber gives; longer digit runs stop there.
inline constexpr long kLeadingNumberLimit = 1'000'000'000;

// Parses a number the way the system's text fields are read: leading blanks, an optional sign,
// digits up to the first other character; a text without a leading number gives 0.
long LeadingNumber(std::string_view text);

}  // namespace qvx::ircode
