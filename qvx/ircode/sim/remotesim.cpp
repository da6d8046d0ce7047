#include "qvx/ircode/sim/remotesim.h"

#include <algorithm>

namespace qvx::ircode::sim {

namespace {

constexpr double kNecUnitUs = 562.5;
constexpr double kNecPeriodUs = 108000;
constexpr double kSonyUnitUs = 600;
constexpr double kSonyPeriodUs = 45000;
constexpr double kRc5HalfUs = 889;
constexpr double kRc5PeriodUs = 113778;
constexpr double kLongDarkUs = 10000;

std::string LsbFirst(unsigned value, int bits) {
  std::string out;
  for (int i = 0; i < bits; ++i) out += (value >> i) & 1u ? '1' : '0';
  return out;
}

// The mark that the last entry is or follows, counted from 0.
size_t LastMark(const Light& light) { return MarkCount(light) - 1; }

std::string MsbFirst(unsigned value, int bits) {
  std::string out;
  for (int i = bits - 1; i >= 0; --i) out += (value >> i) & 1u ? '1' : '0';
  return out;
}

}  // namespace

void AppendLevel(Light& light, bool mark, double us) {
  const bool lastIsMark = light.durationsUs.size() % 2 == 1;
  if (light.durationsUs.empty()) {
    if (!mark) return;
    light.durationsUs.push_back(us);
  } else if (lastIsMark == mark) {
    light.durationsUs.back() += us;
  } else {
    light.durationsUs.push_back(us);
  }
}

size_t MarkCount(const Light& light) { return (light.durationsUs.size() + 1) / 2; }

double LengthUs(const Light& light) {
  double total = 0;
  for (const double us : light.durationsUs) total += us;
  return total;
}

void PadTo(Light& light, double us) {
  const double length = LengthUs(light);
  if (us > length) AppendLevel(light, false, us - length);
}

std::vector<platform::sim::LightMark> LightMarks(const Light& light) {
  std::vector<platform::sim::LightMark> marks;
  double atUs = 0;
  for (size_t i = 0; i < light.durationsUs.size(); ++i) {
    const double endUs = atUs + light.durationsUs[i];
    if (i % 2 == 0) {
      marks.push_back({static_cast<int64_t>(atUs * 1000), static_cast<int64_t>(endUs * 1000)});
    }
    atUs = endUs;
  }
  return marks;
}

Light PulseTextToLight(std::string_view pulseText, int slotUs) {
  Light light;
  for (const char slot : pulseText) AppendLevel(light, slot == '1', slotUs);
  return light;
}

std::string NecBits(uint8_t address, uint8_t command) {
  return LsbFirst(address, 8) + LsbFirst(static_cast<uint8_t>(~address), 8) +
         LsbFirst(command, 8) + LsbFirst(static_cast<uint8_t>(~command), 8);
}

std::string NecExtendedBits(uint16_t address, uint8_t command) {
  return LsbFirst(address, 16) + LsbFirst(command, 8) +
         LsbFirst(static_cast<uint8_t>(~command), 8);
}

std::string SonyBits(uint8_t command, uint8_t address, int addressBits) {
  return LsbFirst(command, 7) + LsbFirst(address, addressBits);
}

std::string Sony20Bits(uint8_t command, uint8_t address, uint8_t extension) {
  return LsbFirst(command, 7) + LsbFirst(address, 5) + LsbFirst(extension, 8);
}

std::string Rc5Bits(bool toggle, uint8_t address, uint8_t command) {
  // The second start bit carries the inverted seventh command bit (extended RC5).
  return std::string("1") + (command & 0x40 ? '0' : '1') + (toggle ? '1' : '0') +
         MsbFirst(address, 5) + MsbFirst(command & 0x3F, 6);
}

Light NecPress(std::string_view bits, int repeatCodes, double timeScale) {
  const double unit = kNecUnitUs * timeScale;
  Light light;
  AppendLevel(light, true, 16 * unit);
  AppendLevel(light, false, 8 * unit);
  for (const char bit : bits) {
    AppendLevel(light, true, unit);
    AppendLevel(light, false, bit == '1' ? 3 * unit : unit);
  }
  AppendLevel(light, true, unit);
  light.frames.emplace_back(0, LastMark(light));
  for (int i = 1; i <= repeatCodes; ++i) {
    PadTo(light, i * kNecPeriodUs * timeScale);
    AppendLevel(light, true, 16 * unit);
    AppendLevel(light, false, 4 * unit);
    AppendLevel(light, true, unit);
  }
  return light;
}

Light SonyPress(std::string_view bits, int frames, double timeScale) {
  const double unit = kSonyUnitUs * timeScale;
  Light light;
  for (int frame = 0; frame < frames; ++frame) {
    PadTo(light, frame * kSonyPeriodUs * timeScale);
    const size_t first = MarkCount(light);
    AppendLevel(light, true, 4 * unit);
    for (const char bit : bits) {
      AppendLevel(light, false, unit);
      AppendLevel(light, true, bit == '1' ? 2 * unit : unit);
    }
    light.frames.emplace_back(first, LastMark(light));
  }
  return light;
}

Light Rc5Press(std::string_view bits, int frames, double timeScale) {
  const double half = kRc5HalfUs * timeScale;
  Light light;
  for (int frame = 0; frame < frames; ++frame) {
    // The first half of the first start bit is dark: the frame's light starts half a bit late.
    PadTo(light, frame * kRc5PeriodUs * timeScale);
    const size_t first = MarkCount(light);
    for (const char bit : bits) {
      AppendLevel(light, bit != '1', half);
      AppendLevel(light, bit == '1', half);
    }
    light.frames.emplace_back(first, LastMark(light));
  }
  return light;
}

ReceivedMarks Receive(const Light& light, const ReceiverModel& receiver, std::mt19937& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double stretchUs =
      receiver.stretchMinUs + (receiver.stretchMaxUs - receiver.stretchMinUs) * unit(rng);
  const double jitter = receiver.jitterPercent / 100.0;

  ReceivedMarks marks;
  double time = 0;
  double darkSince = -kLongDarkUs;
  for (size_t i = 0; i < light.durationsUs.size(); ++i) {
    const double us = light.durationsUs[i] * (1.0 + jitter * (2.0 * unit(rng) - 1.0));
    if (i % 2 == 0) {
      double extra = stretchUs;
      if (time - darkSince >= kLongDarkUs) extra += receiver.frameStartExtraUs;
      marks.emplace_back(time, time + std::max(1.0, us + extra));
    } else {
      darkSince = time;
    }
    time += us;
  }
  // Overlapping marks merge, as the receiver's output cannot go dark for less than nothing.
  for (size_t i = 1; i < marks.size(); ++i) {
    marks[i].first = std::max(marks[i].first, marks[i - 1].second);
  }
  return marks;
}

std::vector<uint8_t> SampleMarks(const ReceivedMarks& marks, double fromUs, double sampleUs,
                                 int lenBytes) {
  std::vector<uint8_t> bytes(static_cast<size_t>(lenBytes), 0);
  size_t mark = 0;
  for (size_t k = 0; k < bytes.size() * 8; ++k) {
    const double t = fromUs + static_cast<double>(k) * sampleUs;
    while (mark < marks.size() && marks[mark].second <= t) ++mark;
    if (mark < marks.size() && marks[mark].first <= t) {
      bytes[k / 8] |= static_cast<uint8_t>(0x80u >> (k % 8));
    }
  }
  return bytes;
}

std::vector<uint8_t> RecordLight(const Light& light, const ReceiverModel& receiver,
                                 std::mt19937& rng, int lenBytes) {
  const ReceivedMarks marks = Receive(light, receiver, rng);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double phaseUs = receiver.sampleUs * (1.0 - unit(rng));  // first read after the mark
  return SampleMarks(marks, phaseUs, receiver.sampleUs, lenBytes);
}

}  // namespace qvx::ircode::sim
