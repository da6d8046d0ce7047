#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/ir_peer.h"

namespace qvx::ircode::sim {

// Light sent by a remote: alternating durations, first a mark (carrier on), then a gap, and so
// on; darkness follows the last entry.
struct Light {
  std::vector<double> durationsUs;
  // The first and last mark (counted from 0) of each whole frame that carries the code; NEC
  // repeat codes are not among them.
  std::vector<std::pair<size_t, size_t>> frames;
};

// Appends light (mark) or darkness for `us` to the end, joining it to a last entry of the same
// level; darkness before the first mark is dropped.
void AppendLevel(Light& light, bool mark, double us);
// Darkness up to `us` from the start of the light; nothing when the light is that long already.
void PadTo(Light& light, double us);
// Microseconds from the first mark to the end of the last entry.
double LengthUs(const Light& light);
// The marks so far; the next mark appended after darkness has this index.
size_t MarkCount(const Light& light);
// The marks of the light as the simulated port plays them, from 0 ns at the first mark.
std::vector<platform::sim::LightMark> LightMarks(const Light& light);

// The light of a pulse text played with the given slot length (leading darkness dropped).
Light PulseTextToLight(std::string_view pulseText, int slotUs);

// The code bits of the public NEC, SONY and RC5 frame layouts, in the order they are sent.
std::string NecBits(uint8_t address, uint8_t command);           // address, ~address, cmd, ~cmd
std::string NecExtendedBits(uint16_t address, uint8_t command);  // 16-bit address, cmd, ~cmd
std::string SonyBits(uint8_t command, uint8_t address, int addressBits);  // 5 or 8 address bits
std::string Sony20Bits(uint8_t command, uint8_t address, uint8_t extension);  // 7, 5, 8 bits
std::string Rc5Bits(bool toggle, uint8_t address, uint8_t command);  // command 0 to 127

// A press of a remote with public timings: one NEC frame and its repeat codes (every 108 ms),
// SONY frames every 45 ms, RC5 frames every 113.8 ms. timeScale stretches every duration, as
// the resonator of a real remote runs a few percent fast or slow.
Light NecPress(std::string_view bits, int repeatCodes, double timeScale = 1);
Light SonyPress(std::string_view bits, int frames, double timeScale = 1);
Light Rc5Press(std::string_view bits, int frames, double timeScale = 1);

// How a receiver and the sampling loop turn light into samples.
struct ReceiverModel {
  double stretchMinUs = 40;       // marks come out longer (and gaps shorter) by a value drawn
  double stretchMaxUs = 80;       // once per press between these two
  double jitterPercent = 0;       // every duration varies by up to this much, either way
  double frameStartExtraUs = 0;   // extra stretch of the first mark after a long darkness
  double sampleUs = 55;           // time of one sample
};

// The receiver's output for light: its marks as [start, end) in microseconds from the start of
// the light, one for each mark of the light.
using ReceivedMarks = std::vector<std::pair<double, double>>;
ReceivedMarks Receive(const Light& light, const ReceiverModel& receiver, std::mt19937& rng);

// Samples the receiver's output every sampleUs from fromUs on: lenBytes bytes, 8 samples a byte
// from bit 7 down, a set bit while the receiver is active.
std::vector<uint8_t> SampleMarks(const ReceivedMarks& marks, double fromUs, double sampleUs,
                                 int lenBytes);

// Samples the light through the receiver as the recording does after seeing the first mark.
std::vector<uint8_t> RecordLight(const Light& light, const ReceiverModel& receiver,
                                 std::mt19937& rng, int lenBytes = 600);

}  // namespace qvx::ircode::sim
