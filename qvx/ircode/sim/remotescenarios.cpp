#include "qvx/ircode/sim/remotescenarios.h"

#include <algorithm>

#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/pulsetext.h"

namespace qvx::ircode::sim {

namespace {

constexpr const char* kValidNec = "A valid NEC type command has been received.";
constexpr const char* kValidSony = "A valid SONY type command has been received.";
constexpr const char* kValidSony15 = "A valid 15 bits SONY type command has been received.";
constexpr const char* kValidRc5 = "A valid RC5 type command has been received.";

int Random(std::mt19937& rng, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(rng);
}

std::vector<uint8_t> Sent(std::string_view bits, const DeviceParams& params, std::mt19937& rng,
                          const ReceiverModel& receiver) {
  bool toggle = Random(rng, 0, 1) == 1;
  const Light light = PulseTextToLight(BuildPulseString(bits, params, toggle), params.sendplsUs);
  return RecordLight(light, receiver, rng);
}

std::string Cleared(std::string bits) {
  bits[2] = '0';
  return "G" + bits;
}

Press NecPress(std::mt19937& rng, const ReceiverModel& receiver, bool presetRepeats) {
  Press press;
  const std::string bits = NecBits(static_cast<uint8_t>(Random(rng, 0, 255)),
                                   static_cast<uint8_t>(Random(rng, 0, 255)));
  DeviceParams params = PresetParams(0);
  if (!presetRepeats) {
    params.repeatSlots = 0;
    params.grepeatSlots = 70;
  }
  press.samples = Sent(bits, params, rng, receiver);
  press.code = "G" + bits;
  press.rpt = presetRepeats ? "Y" : "N";
  press.gType = presetRepeats ? "1" : "2";
  press.message = kValidNec;
  return press;
}

Press SonyExpectations(const std::string& bits, int command, int address) {
  Press press;
  press.code = "G" + bits;
  press.rpt = "Y";
  press.gType = "2";
  press.message = bits.size() == 12 ? kValidSony : kValidSony15;
  press.address = address;
  press.command = command;
  return press;
}

Press Rc5Expectations(const std::string& bits, int address, int command, bool held) {
  Press press;
  press.code = Cleared(bits);
  press.rpt = held ? "Y" : "N";
  press.gType = "0";
  press.message = kValidRc5;
  press.address = address;
  press.command = command;
  return press;
}

// Double-length marks outnumber single ones in the receiver's view of an RC5 frame.
bool MostlyDoubleMarks(const std::string& bits) {
  std::string halves;
  for (const char bit : bits) halves += bit == '1' ? "01" : "10";
  int single = 0;
  int doubled = 0;
  for (size_t i = 0; i < halves.size();) {
    size_t end = i;
    while (end < halves.size() && halves[end] == halves[i]) ++end;
    if (halves[i] == '1') (end - i == 1 ? single : doubled)++;
    i = end;
  }
  return doubled > single;
}

}  // namespace

const std::vector<Scenario>& AllScenarios() {
  static const std::vector<Scenario> all = {
      Scenario::NecPreset,       Scenario::NecRepeatCodes,   Scenario::Sony12Preset,
      Scenario::Sony15Preset,    Scenario::Rc5Preset,        Scenario::NecRemote,
      Scenario::Sony12Remote,    Scenario::Sony15Remote,     Scenario::Rc5RemoteSingle,
      Scenario::Rc5RemoteHeld,   Scenario::SonyMostlyOnes,   Scenario::Rc5DigitZero,
      Scenario::Rc5MostlyDoubles, Scenario::Rc5StretchedFirstMark};
  return all;
}

std::string_view ScenarioName(Scenario scenario) {
  switch (scenario) {
    case Scenario::NecPreset: return "NEC preset";
    case Scenario::NecRepeatCodes: return "NEC preset, repeat codes";
    case Scenario::Sony12Preset: return "SONY 12 preset";
    case Scenario::Sony15Preset: return "SONY 15 preset";
    case Scenario::Rc5Preset: return "RC5 preset";
    case Scenario::NecRemote: return "NEC remote";
    case Scenario::Sony12Remote: return "SONY 12 remote";
    case Scenario::Sony15Remote: return "SONY 15 remote";
    case Scenario::Rc5RemoteSingle: return "RC5 remote, one frame";
    case Scenario::Rc5RemoteHeld: return "RC5 remote, held";
    case Scenario::SonyMostlyOnes: return "SONY, more 1-bits";
    case Scenario::Rc5DigitZero: return "RC5 digit 0";
    case Scenario::Rc5MostlyDoubles: return "RC5, mostly double marks";
    case Scenario::Rc5StretchedFirstMark: return "RC5, stretched first mark";
  }
  return "";
}

Press MakePress(Scenario scenario, std::mt19937& rng, ReceiverModel receiver) {
  switch (scenario) {
    case Scenario::NecPreset: return NecPress(rng, receiver, true);
    case Scenario::NecRepeatCodes: return NecPress(rng, receiver, false);
    case Scenario::Sony12Preset:
    case Scenario::Sony15Preset: {
      const int addressBits = scenario == Scenario::Sony12Preset ? 5 : 8;
      const int command = Random(rng, 0, 127);
      const int address = Random(rng, 0, (1 << addressBits) - 1);
      const std::string bits = SonyBits(static_cast<uint8_t>(command),
                                        static_cast<uint8_t>(address), addressBits);
      Press press = SonyExpectations(bits, command, address);
      press.samples = Sent(bits, PresetParams(1), rng, receiver);
      return press;
    }
    case Scenario::Rc5Preset: {
      const int address = Random(rng, 0, 31);
      const int command = Random(rng, 0, 127);
      const std::string bits = Rc5Bits(Random(rng, 0, 1) == 1, static_cast<uint8_t>(address),
                                       static_cast<uint8_t>(command));
      Press press = Rc5Expectations(bits, address, command, true);
      press.samples = Sent(bits, PresetParams(2), rng, receiver);
      return press;
    }
    case Scenario::NecRemote: {
      Press press;
      const std::string bits = Random(rng, 0, 3) == 0
                                   ? NecExtendedBits(static_cast<uint16_t>(Random(rng, 0, 65535)),
                                                     static_cast<uint8_t>(Random(rng, 0, 255)))
                                   : NecBits(static_cast<uint8_t>(Random(rng, 0, 255)),
                                             static_cast<uint8_t>(Random(rng, 0, 255)));
      press.samples = RecordLight(sim::NecPress(bits, 2), receiver, rng);
      press.code = "G" + bits;
      press.rpt = "N";
      press.gType = "2";
      press.message = kValidNec;
      return press;
    }
    case Scenario::Sony12Remote:
    case Scenario::Sony15Remote:
    case Scenario::SonyMostlyOnes: {
      const int addressBits = scenario == Scenario::Sony15Remote ? 8 : 5;
      std::string bits;
      int command = 0;
      int address = 0;
      do {
        command = Random(rng, 0, 127);
        address = Random(rng, 0, (1 << addressBits) - 1);
        bits = SonyBits(static_cast<uint8_t>(command), static_cast<uint8_t>(address), addressBits);
      } while (scenario == Scenario::SonyMostlyOnes &&
               2 * std::count(bits.begin(), bits.end(), '1') <= static_cast<long>(bits.size()));
      Press press = SonyExpectations(bits, command, address);
      press.samples = RecordLight(SonyPress(bits, Random(rng, 3, 5)), receiver, rng);
      return press;
    }
    case Scenario::Rc5RemoteSingle:
    case Scenario::Rc5RemoteHeld:
    case Scenario::Rc5DigitZero:
    case Scenario::Rc5MostlyDoubles:
    case Scenario::Rc5StretchedFirstMark: {
      std::string bits;
      int address = 0;
      int command = 0;
      do {
        const bool zero = scenario == Scenario::Rc5DigitZero;
        address = zero ? 0 : Random(rng, 0, 31);
        command = zero ? 0 : Random(rng, 0, 127);
        bits = Rc5Bits(Random(rng, 0, 1) == 1, static_cast<uint8_t>(address),
                       static_cast<uint8_t>(command));
      } while (scenario == Scenario::Rc5MostlyDoubles && !MostlyDoubleMarks(bits));
      const bool held = scenario == Scenario::Rc5RemoteHeld ||
                        (scenario != Scenario::Rc5RemoteSingle &&
                         scenario != Scenario::Rc5DigitZero && Random(rng, 0, 1) == 1);
      if (scenario == Scenario::Rc5StretchedFirstMark) receiver.frameStartExtraUs = 300;
      Press press = Rc5Expectations(bits, address, command, held);
      press.samples = RecordLight(Rc5Press(bits, held ? 2 : 1), receiver, rng);
      return press;
    }
  }
  return {};
}

bool LearnedRight(const Press& press, const LearnResult& result) {
  if (result.codeStr != press.code || result.rpt != press.rpt) return false;
  if (result.gType.value_or("") != press.gType || result.Status() != press.message) return false;
  if (press.address >= 0 && result.addrVal != std::to_string(press.address)) return false;
  if (press.command >= 0 && result.cmdVal != std::to_string(press.command)) return false;
  return true;
}

const std::vector<RemoteFamily>& AllFamilies() {
  static const std::vector<RemoteFamily> all = {RemoteFamily::Nec, RemoteFamily::Sony12,
                                                RemoteFamily::Sony15, RemoteFamily::Sony20,
                                                RemoteFamily::Rc5};
  return all;
}

std::string_view FamilyName(RemoteFamily family) {
  switch (family) {
    case RemoteFamily::Nec: return "NEC";
    case RemoteFamily::Sony12: return "SONY 12";
    case RemoteFamily::Sony15: return "SONY 15";
    case RemoteFamily::Sony20: return "SONY 20";
    case RemoteFamily::Rc5: return "RC5";
  }
  return "";
}

const std::vector<RealRemote>& RealRemotes() {
  static const std::vector<RealRemote> all = {
      {"NEC TV", RemoteFamily::Nec, 1.0, false},
      {"NEC, extended address", RemoteFamily::Nec, 1.0, true},
      {"NEC, slow resonator", RemoteFamily::Nec, 1.04, false},
      {"NEC, fast resonator, extended", RemoteFamily::Nec, 0.97, true},
      {"SONY 12 TV", RemoteFamily::Sony12, 1.0, false},
      {"SONY 12, slow", RemoteFamily::Sony12, 1.03, false},
      {"SONY 12, fast", RemoteFamily::Sony12, 0.97, false},
      {"SONY 15 VCR", RemoteFamily::Sony15, 1.0, false},
      {"SONY 15, slow", RemoteFamily::Sony15, 1.03, false},
      {"SONY 15, fast", RemoteFamily::Sony15, 0.97, false},
      {"SONY 20 player", RemoteFamily::Sony20, 1.0, false},
      {"SONY 20, slow", RemoteFamily::Sony20, 1.03, false},
      {"SONY 20, fast", RemoteFamily::Sony20, 0.97, false},
      {"RC5 TV", RemoteFamily::Rc5, 1.0, false},
      {"RC5, slow", RemoteFamily::Rc5, 1.02, false},
      {"RC5, fast", RemoteFamily::Rc5, 0.98, false},
  };
  return all;
}

ReceiverModel RealReceiver(double jitterPercent, std::mt19937& rng) {
  ReceiverModel receiver;
  receiver.stretchMinUs = 40;
  receiver.stretchMaxUs = 75;
  receiver.jitterPercent = jitterPercent;
  receiver.sampleUs = std::uniform_real_distribution<double>(45, 65)(rng);
  return receiver;
}

RealPress MakeRealPress(RemoteFamily family, bool held, double jitterPercent, std::mt19937& rng) {
  std::vector<const RealRemote*> remotes;
  for (const RealRemote& remote : RealRemotes()) {
    if (remote.family == family) remotes.push_back(&remote);
  }
  RealPress press;
  press.remote = remotes[static_cast<size_t>(Random(rng, 0, static_cast<int>(remotes.size()) - 1))];
  press.family = family;
  press.held = held;
  const double scale = press.remote->timeScale;
  const auto byte = [&rng]() { return static_cast<uint8_t>(Random(rng, 0, 255)); };
  switch (family) {
    case RemoteFamily::Nec: {
      const std::string bits = press.remote->extendedAddress
                                   ? NecExtendedBits(static_cast<uint16_t>(Random(rng, 0, 65535)), byte())
                                   : NecBits(byte(), byte());
      press.light = sim::NecPress(bits, held ? 9 : Random(rng, 0, 1), scale);
      press.code = "G" + bits;
      press.rpt = "N";
      break;
    }
    case RemoteFamily::Sony12:
    case RemoteFamily::Sony15:
    case RemoteFamily::Sony20: {
      const auto command = static_cast<uint8_t>(Random(rng, 0, 127));
      const std::string bits =
          family == RemoteFamily::Sony20
              ? Sony20Bits(command, static_cast<uint8_t>(Random(rng, 0, 31)), byte())
              : SonyBits(command, family == RemoteFamily::Sony12 ? byte() & 0x1F : byte(),
                         family == RemoteFamily::Sony12 ? 5 : 8);
      press.light = SonyPress(bits, held ? 22 : 3, scale);
      press.code = "G" + bits;
      press.rpt = "Y";
      break;
    }
    case RemoteFamily::Rc5: {
      const std::string bits =
          Rc5Bits(Random(rng, 0, 1) == 1, byte() & 0x1F, static_cast<uint8_t>(Random(rng, 0, 127)));
      press.light = Rc5Press(bits, held ? 9 : 1, scale);
      press.code = Cleared(bits);
      press.rpt = held ? "Y" : "N";
      break;
    }
  }
  press.receiver = RealReceiver(jitterPercent, rng);
  press.marks = Receive(press.light, press.receiver, rng);
  return press;
}

std::vector<uint8_t> RecordPress(const RealPress& press, std::mt19937& rng) {
  const double phaseUs = press.receiver.sampleUs * std::uniform_real_distribution<double>(0, 1)(rng);
  return SampleMarks(press.marks, press.marks.front().first + phaseUs, press.receiver.sampleUs,
                     kRecordBytes);
}

double PressLengthUs(const RealPress& press) { return press.marks.back().second; }

WatchWindow WatchPress(const RealPress& press, double fromUs) {
  constexpr int kWatchBytes = 500;
  WatchWindow window;
  window.bytes = SampleMarks(press.marks, fromUs, press.receiver.sampleUs, kWatchBytes);
  // The darkness after a frame that tells its end (NEC's longest inner gap is 4.5 ms), and for
  // RC5, whose frames have no header, the darkness before one that tells its start.
  const double pauseUs = press.family == RemoteFamily::Nec ? 8000 : 4000;
  const double leadUs = press.family == RemoteFamily::Rc5 ? 4000 : 0;
  const double untilUs = fromUs + kWatchBytes * 8 * press.receiver.sampleUs;
  for (const auto& [first, last] : press.light.frames) {
    if (press.marks[first].first - leadUs >= fromUs && press.marks[last].second + pauseUs <= untilUs) {
      window.wholeFrame = true;
    }
  }
  return window;
}

}  // namespace qvx::ircode::sim
