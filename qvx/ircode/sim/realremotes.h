#pragma once

// Real remotes from the public LIRC remotes database (remotes.txt, compiled in): each with the
// header, bit, trailing pulse, repeat and gap timings its owner recorded through a receiver, and
// a few of its real codes. Turns a press of one of their keys into light and says what learning
// should read from it.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "qvx/ircode/sim/remotescenarios.h"
#include "qvx/ircode/sim/remotesim.h"

namespace qvx::ircode::sim {

// The half of the table a remote belongs to: benchmarks tune on Tune and report both.
enum class RemoteSet { Tune, Report };

// A mark and the darkness after it, in microseconds.
struct MarkSpace {
  double markUs = 0;
  double spaceUs = 0;
};

// One remote of the table, with the values of its file.
struct RecordedRemote {
  std::string source;  // path of its file in the database, a space and the remote's name if any
  RemoteFamily family = RemoteFamily::Nec;
  RemoteSet set = RemoteSet::Report;
  std::string driver;  // the receiver driver it was recorded with
  int bits = 0;        // data bits of a code
  int preBits = 0;     // fixed bits sent before and after the data bits
  uint64_t pre = 0;
  int postBits = 0;
  uint64_t post = 0;
  std::optional<MarkSpace> header;
  double pleadUs = 0;  // mark before the bits, 0 for none
  MarkSpace one;
  MarkSpace zero;
  double ptrailUs = 0;               // mark after the bits, 0 for none
  std::optional<MarkSpace> repeat;   // NEC repeat code; none: whole frames repeat
  double gapUs = 0;
  bool constLength = false;          // gapUs runs from one frame's start to the next
  double repeatGapUs = 0;            // pause after a repeat code; 0: gapUs
  std::vector<uint64_t> codes;       // codes of real keys, as in the file
};

// The text of remotes.txt as it was compiled in.
std::string_view RecordedRemotesText();

// Reads a table in the form of remotes.txt. Throws std::runtime_error naming the line and the
// fault for a line it cannot read, a code whose frame is not of its family's length, or a set
// that breaks the table's rule.
std::vector<RecordedRemote> ParseRecordedRemotes(std::string_view text);

// The compiled-in table, in file order.
const std::vector<RecordedRemote>& RecordedRemotes();

// The remotes of one family in one set, in file order.
std::vector<const RecordedRemote*> RecordedRemotesOf(RemoteFamily family, RemoteSet set);

// What learning shows in CodeStr for a code of the remote: "G" and the bits in the order the
// decoder reads them off the light (NEC: long spaces are 1; SONY: long marks are 1, the trailing
// pulse included; RC5: the first start bit, then the frame, the toggle bit 0).
std::string ExpectedCode(const RecordedRemote& remote, uint64_t code);

// The light of one press of a code. heldMs 0 is a tap: one NEC frame, three SONY frames, one RC5
// frame. A longer press goes on while frames or NEC repeat codes start within heldMs, each on
// the remote's own period. Every RC5 frame of the press carries `toggle`.
Light PressLight(const RecordedRemote& remote, uint64_t code, int heldMs, bool toggle);

// A receiver in front of these remotes: their timings already hold the stretch of the receiver
// they were recorded with, so it adds none of its own; the sample period is drawn as for the
// other real remotes and every duration varies by up to jitterPercent.
ReceiverModel RecordedReceiver(double jitterPercent, std::mt19937& rng);

// A press of a random key of the remote with a random toggle value, through RecordedReceiver;
// RecordPress and WatchPress sample it. Rpt is "Y" when the press holds two whole frames.
RealPress MakeRecordedPress(const RecordedRemote& remote, int heldMs, double jitterPercent,
                            std::mt19937& rng);

}  // namespace qvx::ircode::sim
