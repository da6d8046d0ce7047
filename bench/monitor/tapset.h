#pragma once

// Presses of the recorded real remotes for the monitoring benchmarks, and a configuration that
// holds their codes with an event line each: a monitor that names a press right runs the
// press's own event.

#include <random>
#include <string>
#include <vector>

#include "qvx/ircode/sim/realremotes.h"

namespace qvx::bench {

// A family of remotes as the benchmarks store it: one device of the configuration.
struct TapFamily {
  ircode::sim::RemoteFamily family;
  const char* device;
  int gproto;
};

// NEC, SONY 12, SONY 15 and RC5.
const std::vector<TapFamily>& TapFamilies();

// How long a key is pressed.
enum class PressLength {
  Tap,      // the shortest press: one NEC frame, three SONY frames, one RC5 frame
  LongTap,  // a tap of a remote that keeps sending: 0.65 s NEC, 0.45 s SONY, 0.7 s RC5
  Held,     // two seconds
};

// One press of a random key of a random remote of the family and set.
struct BenchPress {
  const TapFamily* family = nullptr;
  ircode::sim::RemoteSet set = ircode::sim::RemoteSet::Tune;
  PressLength length = PressLength::Tap;
  ircode::sim::RealPress press;  // its light and what the receiver puts out
  double firstFrameEndUs = 0;    // from the first light to the end of the first whole frame
};

BenchPress MakeBenchPress(const TapFamily& family, ircode::sim::RemoteSet set, PressLength length,
                          double jitterPercent, std::mt19937& rng);

// The receiver's output of a press as the durations of a press script: light, dark, light, ...
std::vector<double> ReceivedDurationsUs(const BenchPress& press);

// The event a monitor should run for each press: the family's device, "&" and the command the
// press's code is stored as.
std::vector<std::string> ExpectedEvents(const std::vector<BenchPress>& presses);

// A configuration with COM1 the infrared port (receiver type `itype`, pause `procDelayUs`), every
// code of the presses stored once under its family's device, and an event line for each that runs
// an output returning at once (Winamp, disabled).
std::string BenchConfiguration(const std::vector<BenchPress>& presses, int itype, int procDelayUs);

}  // namespace qvx::bench
