#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "qvx/ircode/learning.h"
#include "qvx/ircode/sim/remotesim.h"

namespace qvx::ircode::sim {

// Kinds of button press, each with random codes: sent by this program with the device presets,
// or by remotes with the public protocol timings, including the kinds that are hard to decode.
enum class Scenario {
  NecPreset,            // NEC preset: frame and four full repeats without leader
  NecRepeatCodes,       // NEC frame and four NEC repeat codes (REPEAT 0, GREPEAT 70)
  Sony12Preset,         // SONY preset, 12 bits, five frames
  Sony15Preset,         // SONY preset, 15 bits
  Rc5Preset,            // RC5 preset, 14 bits, five frames
  NecRemote,            // NEC remote: frame and repeat codes
  Sony12Remote,         // SONY remote: 3 to 5 frames of 12 bits
  Sony15Remote,         // SONY remote: 3 to 5 frames of 15 bits
  Rc5RemoteSingle,      // RC5 remote, one frame (a short press)
  Rc5RemoteHeld,        // RC5 remote, two frames (a held button)
  SonyMostlyOnes,       // SONY remote, more 1-bits than 0-bits
  Rc5DigitZero,         // RC5 remote, address 0 command 0, one frame
  Rc5MostlyDoubles,     // RC5 remote, more double-length marks than single ones
  Rc5StretchedFirstMark // RC5 remote through a receiver that lengthens each frame's first mark
};

// Every scenario, in declaration order.
const std::vector<Scenario>& AllScenarios();

// Short name of a scenario for tables.
std::string_view ScenarioName(Scenario scenario);

// One recorded press and what learning should make of it.
struct Press {
  std::vector<uint8_t> samples;  // the 600 bytes as the recording delivers them
  std::string code;              // expected CodeStr: "G" and the bits (RC5 toggle bit 0)
  std::string rpt;               // expected Rpt
  std::string gType;             // expected GType
  std::string message;           // expected validity message
  int address = -1;              // expected AddrVal and CmdVal, -1 where not shown
  int command = -1;
};

// Makes one press of a random code of the scenario, recorded through the receiver model.
Press MakePress(Scenario scenario, std::mt19937& rng, ReceiverModel receiver);

// True when learning got the press right: code, Rpt, GType, message, address and command.
bool LearnedRight(const Press& press, const LearnResult& result);

}  // namespace qvx::ircode::sim
