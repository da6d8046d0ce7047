#include "qvx/ircode/sim/realremotes.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <stdexcept>

namespace qvx::ircode::sim {

namespace {

struct FamilyShape {
  std::string_view name;  // as remotes.txt spells it
  RemoteFamily family;
  size_t codeBits;  // bits learning reads from a frame
};

constexpr FamilyShape kShapes[] = {
    {"NEC", RemoteFamily::Nec, 32},     {"SIRC12", RemoteFamily::Sony12, 12},
    {"SIRC15", RemoteFamily::Sony15, 15}, {"SIRC20", RemoteFamily::Sony20, 20},
    {"RC5", RemoteFamily::Rc5, 14},
};

const FamilyShape& ShapeOf(RemoteFamily family) {
  return *std::find_if(std::begin(kShapes), std::end(kShapes),
                       [family](const FamilyShape& shape) { return shape.family == family; });
}

bool IsSony(RemoteFamily family) {
  return family == RemoteFamily::Sony12 || family == RemoteFamily::Sony15 ||
         family == RemoteFamily::Sony20;
}

// A fault in one line of the table.
class LineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

double Number(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) {
    throw LineError("'" + std::string(text) + "' is not a number of microseconds");
  }
  return value;
}

int Count(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 64) {
    throw LineError("'" + std::string(text) + "' is not a bit count");
  }
  return value;
}

uint64_t Hex(std::string_view text) {
  if (text.substr(0, 2) != "0x" && text.substr(0, 2) != "0X") {
    throw LineError("'" + std::string(text) + "' is not a hex code");
  }
  uint64_t value = 0;
  const char* first = text.data() + 2;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size() || end == first) {
    throw LineError("'" + std::string(text) + "' is not a hex code");
  }
  return value;
}

// Splits "a,b" (or "a:b") at the separator.
std::pair<std::string_view, std::string_view> Pair(std::string_view text, char separator) {
  const size_t at = text.find(separator);
  if (at == std::string_view::npos) {
    throw LineError("'" + std::string(text) + "' needs two values joined by '" + separator + "'");
  }
  return {text.substr(0, at), text.substr(at + 1)};
}

MarkSpace Timing(std::string_view text) {
  const auto [mark, space] = Pair(text, ',');
  return {Number(mark), Number(space)};
}

// N:0xV: a count of fixed bits and their value.
void FixedBits(std::string_view text, int& bits, uint64_t& value) {
  const auto [count, hex] = Pair(text, ':');
  bits = Count(count);
  value = Hex(hex);
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < line.size()) {
    const size_t start = line.find_first_not_of(" \t\r", at);
    if (start == std::string_view::npos) break;
    const size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
    words.push_back(line.substr(start, end - start));
    at = end;
  }
  return words;
}

std::string MsbFirst(uint64_t value, int bits) {
  std::string out;
  for (int i = bits - 1; i >= 0; --i) out += (value >> i) & 1u ? '1' : '0';
  return out;
}

// The bits of a frame as the remote sends them: fixed bits before, the code, fixed bits after.
std::string FrameBits(const RecordedRemote& remote, uint64_t code) {
  return MsbFirst(remote.pre, remote.preBits) + MsbFirst(code, remote.bits) +
         MsbFirst(remote.post, remote.postBits);
}

// Index in FrameBits of the RC5 toggle bit, the third of the code learning reads.
size_t Rc5ToggleIndex(const RecordedRemote& remote) { return remote.pleadUs > 0 ? 1 : 2; }

RecordedRemote ParseLine(std::string_view line) {
  const std::vector<std::string_view> words = Words(line);
  RecordedRemote remote;
  remote.source = std::string(words.front());
  bool hasFamily = false;
  bool hasSet = false;
  bool hasGap = false;
  for (size_t i = 1; i < words.size(); ++i) {
    const auto [key, value] = Pair(words[i], '=');
    if (key == "remote") {
      remote.source += " " + std::string(value);
    } else if (key == "family") {
      const auto* shape = std::find_if(std::begin(kShapes), std::end(kShapes),
                                       [value](const FamilyShape& s) { return s.name == value; });
      if (shape == std::end(kShapes)) throw LineError("unknown family '" + std::string(value) + "'");
      remote.family = shape->family;
      hasFamily = true;
    } else if (key == "set") {
      if (value != "tune" && value != "report") {
        throw LineError("set must be tune or report, not '" + std::string(value) + "'");
      }
      remote.set = value == "tune" ? RemoteSet::Tune : RemoteSet::Report;
      hasSet = true;
    } else if (key == "driver") {
      remote.driver = std::string(value);
    } else if (key == "bits") {
      remote.bits = Count(value);
    } else if (key == "pre") {
      FixedBits(value, remote.preBits, remote.pre);
    } else if (key == "post") {
      FixedBits(value, remote.postBits, remote.post);
    } else if (key == "header") {
      remote.header = Timing(value);
    } else if (key == "plead") {
      remote.pleadUs = Number(value);
    } else if (key == "one") {
      remote.one = Timing(value);
    } else if (key == "zero") {
      remote.zero = Timing(value);
    } else if (key == "ptrail") {
      remote.ptrailUs = Number(value);
    } else if (key == "repeat") {
      if (value != "frames") remote.repeat = Timing(value);
    } else if (key == "gap") {
      remote.gapUs = Number(value);
      hasGap = remote.gapUs > 0;
    } else if (key == "const") {
      if (value != "yes" && value != "no") throw LineError("const must be yes or no");
      remote.constLength = value == "yes";
    } else if (key == "repeatgap") {
      remote.repeatGapUs = Number(value);
    } else if (key == "codes") {
      size_t at = 0;
      while (at <= value.size()) {
        const size_t end = std::min(value.find(',', at), value.size());
        remote.codes.push_back(Hex(value.substr(at, end - at)));
        at = end + 1;
      }
    } else {
      throw LineError("unknown key '" + std::string(key) + "'");
    }
  }
  if (!hasFamily || !hasSet || !hasGap || remote.bits == 0 || remote.codes.empty()) {
    throw LineError("family, set, bits, gap and codes are required");
  }
  for (const uint64_t code : remote.codes) {
    const std::string expected = ExpectedCode(remote, code);
    if (expected.size() != 1 + ShapeOf(remote.family).codeBits) {
      throw LineError("a frame gives " + std::to_string(expected.size() - 1) + " bits, not the " +
                      std::to_string(ShapeOf(remote.family).codeBits) + " of its family");
    }
  }
  return remote;
}

uint32_t Fnv1a(std::string_view text) {
  uint32_t hash = 2166136261u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

// The rule of the table: in each family, the (n + 1) / 3 remotes with the lowest hash of their
// source are tune. Returns the first remote whose set breaks it, with the set it should have.
std::optional<std::pair<const RecordedRemote*, RemoteSet>> BreakOfSetRule(
    const std::vector<RecordedRemote>& remotes) {
  std::map<RemoteFamily, std::vector<const RecordedRemote*>> byFamily;
  for (const RecordedRemote& remote : remotes) byFamily[remote.family].push_back(&remote);
  for (auto& [family, members] : byFamily) {
    std::stable_sort(members.begin(), members.end(), [](const auto* a, const auto* b) {
      return Fnv1a(a->source) < Fnv1a(b->source);
    });
    const size_t tune = (members.size() + 1) / 3;
    for (size_t rank = 0; rank < members.size(); ++rank) {
      const RemoteSet set = rank < tune ? RemoteSet::Tune : RemoteSet::Report;
      if (members[rank]->set != set) return std::make_pair(members[rank], set);
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<RecordedRemote> ParseRecordedRemotes(std::string_view text) {
  std::vector<RecordedRemote> remotes;
  int lineNumber = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    const std::vector<std::string_view> words = Words(line);
    if (words.empty() || words.front().front() == '#') continue;
    try {
      remotes.push_back(ParseLine(line));
    } catch (const LineError& error) {
      throw std::runtime_error("remote table, line " + std::to_string(lineNumber) + ": " +
                               error.what());
    }
  }
  if (const auto broken = BreakOfSetRule(remotes)) {
    throw std::runtime_error("remote table: " + broken->first->source + " should be set=" +
                             (broken->second == RemoteSet::Tune ? "tune" : "report") +
                             " by the rule of the table");
  }
  return remotes;
}

const std::vector<RecordedRemote>& RecordedRemotes() {
  static const std::vector<RecordedRemote> table = ParseRecordedRemotes(RecordedRemotesText());
  return table;
}

std::vector<const RecordedRemote*> RecordedRemotesOf(RemoteFamily family, RemoteSet set) {
  std::vector<const RecordedRemote*> found;
  for (const RecordedRemote& remote : RecordedRemotes()) {
    if (remote.family == family && remote.set == set) found.push_back(&remote);
  }
  return found;
}

std::string ExpectedCode(const RecordedRemote& remote, uint64_t code) {
  const std::string sent = FrameBits(remote, code);
  std::string read;
  if (remote.family == RemoteFamily::Rc5) {
    // Learning puts back the first start bit, whose dark first half it never sees.
    read = (remote.pleadUs > 0 ? "1" : "") + sent;
    if (read.size() > 2) read[2] = '0';
    return "G" + read;
  }
  // Whichever of a 1 and a 0 has the longer space (NEC) or mark (SONY) is read as 1; some
  // files name the two the other way round.
  const bool sony = IsSony(remote.family);
  const bool oneIsLong = sony ? remote.one.markUs > remote.zero.markUs
                              : remote.one.spaceUs > remote.zero.spaceUs;
  for (const char bit : sent) read += (bit == '1') == oneIsLong ? '1' : '0';
  if (sony && remote.ptrailUs > 0) {
    read += 2 * remote.ptrailUs > remote.one.markUs + remote.zero.markUs ? '1' : '0';
  }
  return "G" + read;
}

Light PressLight(const RecordedRemote& remote, uint64_t code, int heldMs, bool toggle) {
  std::string bits = FrameBits(remote, code);
  if (remote.family == RemoteFamily::Rc5) bits[Rc5ToggleIndex(remote)] = toggle ? '1' : '0';
  const bool biphase = remote.family == RemoteFamily::Rc5;
  const int tapFrames = IsSony(remote.family) ? 3 : 1;

  Light light;
  double startUs = 0;
  for (int item = 0; item < tapFrames || startUs < heldMs * 1000.0; ++item) {
    PadTo(light, startUs);
    const size_t first = MarkCount(light);
    const bool repeatCode = item > 0 && remote.repeat.has_value();
    if (repeatCode) {
      AppendLevel(light, true, remote.repeat->markUs);
      AppendLevel(light, false, remote.repeat->spaceUs);
    } else {
      if (remote.header) {
        AppendLevel(light, true, remote.header->markUs);
        AppendLevel(light, false, remote.header->spaceUs);
      }
      if (remote.pleadUs > 0) AppendLevel(light, true, remote.pleadUs);
      for (const char bit : bits) {
        const MarkSpace& timing = bit == '1' ? remote.one : remote.zero;
        const bool spaceFirst = biphase && bit == '1';
        AppendLevel(light, !spaceFirst, spaceFirst ? timing.spaceUs : timing.markUs);
        AppendLevel(light, spaceFirst, spaceFirst ? timing.markUs : timing.spaceUs);
      }
    }
    if (remote.ptrailUs > 0) AppendLevel(light, true, remote.ptrailUs);
    if (!repeatCode) light.frames.emplace_back(first, MarkCount(light) - 1);
    const double gapUs = repeatCode && remote.repeatGapUs > 0 ? remote.repeatGapUs : remote.gapUs;
    startUs = (remote.constLength ? startUs : LengthUs(light)) + gapUs;
  }
  return light;
}

ReceiverModel RecordedReceiver(double jitterPercent, std::mt19937& rng) {
  ReceiverModel receiver = RealReceiver(jitterPercent, rng);
  receiver.stretchMinUs = 0;
  receiver.stretchMaxUs = 0;
  return receiver;
}

RealPress MakeRecordedPress(const RecordedRemote& remote, int heldMs, double jitterPercent,
                            std::mt19937& rng) {
  const auto pick = std::uniform_int_distribution<size_t>(0, remote.codes.size() - 1)(rng);
  const bool toggle = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
  RealPress press;
  press.family = remote.family;
  press.held = heldMs > 0;
  press.light = PressLight(remote, remote.codes[pick], heldMs, toggle);
  press.code = ExpectedCode(remote, remote.codes[pick]);
  press.rpt = press.light.frames.size() >= 2 ? "Y" : "N";
  press.receiver = RecordedReceiver(jitterPercent, rng);
  press.marks = Receive(press.light, press.receiver, rng);
  return press;
}

}  // namespace qvx::ircode::sim
