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

// Families of remotes on the market, several remotes each.
enum class RemoteFamily { Nec, Sony12, Sony15, Sony20, Rc5 };

// Every family, in declaration order.
const std::vector<RemoteFamily>& AllFamilies();

// Short name of a family for tables.
std::string_view FamilyName(RemoteFamily family);

// One remote with the public timings of its family.
struct RealRemote {
  std::string_view name;
  RemoteFamily family;
  double timeScale;      // its resonator runs this much fast (below 1) or slow
  bool extendedAddress;  // NEC: a 16-bit address instead of an address and its complement
};

// The remotes of every family.
const std::vector<RealRemote>& RealRemotes();

// A receiver as the figures assume it: marks 40 to 75 us longer and gaps as much shorter, a
// sample period of 45 to 65 us (PROCDELAY calibrated up to 20 % off), and up to jitterPercent
// of jitter on every duration.
ReceiverModel RealReceiver(double jitterPercent, std::mt19937& rng);

// One press of a random key of a random remote of a family, seen by a random receiver.
struct RealPress {
  const RealRemote* remote = nullptr;  // null for a remote of the recorded table
  RemoteFamily family = RemoteFamily::Nec;
  bool held = false;
  std::string code;  // what learning should show in CodeStr: "G" and the bits, RC5 toggle 0
  std::string rpt;   // and in Rpt
  Light light;
  ReceiverModel receiver;
  ReceivedMarks marks;  // the receiver's output
};

// A tap (NEC frame and at most one repeat code, three SONY frames, one RC5 frame) or a key held
// for a second.
RealPress MakeRealPress(RemoteFamily family, bool held, double jitterPercent, std::mt19937& rng);

// The 600 bytes IRRecord takes of the press, from its first light on.
std::vector<uint8_t> RecordPress(const RealPress& press, std::mt19937& rng);

// Microseconds from the press's first light to its last.
double PressLengthUs(const RealPress& press);

// A watch window of 500 bytes as IRMonitor takes it, starting fromUs after the first light.
struct WatchWindow {
  std::vector<uint8_t> bytes;
  // It holds a whole frame and the pause that ends it; for RC5, whose frames have no header,
  // the pause before it as well.
  bool wholeFrame = false;
};

WatchWindow WatchPress(const RealPress& press, double fromUs);

}  // namespace qvx::ircode::sim
