#include "qvx/devices/x10.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <numeric>
#include <optional>
#include <tuple>
#include <utility>

#include "qvx/config/store.h"
#include "qvx/config/text.h"
#include "qvx/devices/beep.h"
#include "qvx/ircode/port/serialport.h"

namespace qvx::devices {
namespace {

using platform::PortHandle;

constexpr std::array<std::string_view, 16> kCodeBits = {
    "0110", "1110", "0010", "1010", "0001", "1001", "0101", "1101",
    "0111", "1111", "0011", "1011", "0000", "1000", "0100", "1100",
};

constexpr std::array<std::string_view, 7> kFunctionWords = {
    "all-u-off", "all-l-on", "on", "off", "dim", "bri", "all-l-off",
};

constexpr uint8_t kGoAhead = 0x00;
constexpr uint8_t kReady = 0x55;
constexpr uint32_t kPollMs = 200;
constexpr int kReplyReads = 10;
constexpr int kLastReadyReads = 20;  // the powerline transmission of the function takes longest
constexpr int kAttempts = 2;
constexpr uint32_t kX10BaudRate = 4800;
constexpr uint8_t kX10DataBits = 8;

// The interface's set-clock command with every time field 0; the last byte clears the battery
// timer and the monitored status and purges the timers.
constexpr std::string_view kResetBytes{"\x9B\x00\x00\x00\x00\x00\x07", 7};

// A name field: the first kX10NameChars characters, filled with blanks.
std::string NameField(std::string_view name) {
  std::string field(name.substr(0, kX10NameChars));
  field.resize(kX10NameChars, ' ');
  return field;
}

// The unit number of an address as the file's writers meant it: blanks and line breaks are
// skipped wherever they stand, then the number at the start; 0 when there is none.
int UnitNumber(std::string_view text) {
  std::string packed(text);
  std::erase_if(packed, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
  return static_cast<int>(LeadingInteger(packed, 100'000));  // far outside any unit
}

// The bytes with which the interface asks for the PC of its own accord, once a second until it
// is served: a poll while it holds X10 traffic it heard on the powerline, a request for the
// time after a power failure.
constexpr uint8_t kPoll = 0x5A;
constexpr uint8_t kPollAnswer = 0xC3;
constexpr uint8_t kPowerFail = 0xA5;
constexpr uint8_t kSetClock = 0x9B;
// Requests served for one transmission; an interface that never stops asking fails it.
constexpr int kMaxServedRequests = 8;

bool IsRequest(uint8_t byte) { return byte == kPoll || byte == kPowerFail; }

// What the interface answered where one byte was awaited.
enum class Reply {
  kExpected,  // the awaited byte, alone or followed by requests of the interface
  kRequest,   // only requests: the interface ignored what was sent and asks to be served first
  kWrong,     // nothing in time, or anything else
};

// The CM11/CM12 on its port for one transmission: the exchange's writes and polled reads, and
// the interface's own requests, which are served between the steps of the exchange. Bytes a
// read brings that are neither an awaited reply nor a request stay for the next read, so that
// a late reply still fails the step it arrives in.
class Cm11Link {
 public:
  Cm11Link(PortHandle port, platform::Clock& clock) : port_(port), clock_(clock) {}

  // Writes bytes and awaits the one expected byte, polling every 200 ms at most `reads` times.
  // A write the port refuses fails at once, since no reply can follow it.
  Reply Exchange(std::string_view bytes, uint8_t expected, int reads) {
    if (!ircode::WritePort(bytes, port_)) return Reply::kWrong;
    return Await(expected, reads);
  }

  // Serves the requests seen in replies and, with `readWaiting`, those waiting unread on the
  // port. False once more were served than one transmission allows.
  bool ServeRequests(bool readWaiting) {
    if (readWaiting) Take(ircode::ReadPort(port_));
    while (poll_ || powerFail_) {
      if (++served_ > kMaxServedRequests) return false;
      if (poll_) {
        poll_ = false;
        if (ircode::WritePort(std::string(1, static_cast<char>(kPollAnswer)), port_)) ReadUpload();
      } else {
        powerFail_ = false;
        SetInterfaceClock();
      }
    }
    return true;
  }

 private:
  Reply Await(uint8_t expected, int reads) {
    for (int i = 0; i < reads; ++i) {
      clock_.SleepMs(kPollMs);
      std::string reply = std::exchange(carried_, std::string()) + ircode::ReadPort(port_);
      if (reply.empty()) continue;
      const bool requestsAfter =
          std::all_of(reply.begin() + 1, reply.end(), [](char c) { return IsRequest(c); });
      if (static_cast<uint8_t>(reply[0]) == expected && requestsAfter) {
        Take(reply.substr(1));
        return Reply::kExpected;
      }
      if (IsRequest(reply[0]) && requestsAfter) {
        Take(reply);
        return Reply::kRequest;
      }
      return Reply::kWrong;
    }
    return Reply::kWrong;
  }

  // Notes the requests among bytes read outside a reply; the other bytes stay for the next read.
  void Take(std::string_view bytes) {
    for (const char c : bytes) {
      const auto byte = static_cast<uint8_t>(c);
      if (byte == kPoll) poll_ = true;
      else if (byte == kPowerFail) powerFail_ = true;
      else carried_ += c;
    }
  }

  // After 0xC3 the interface sends its buffer: a size byte and that many bytes. Its contents,
  // X10 traffic of other transmitters, are not used here; polls sent before it are skipped.
  void ReadUpload() {
    std::string upload;
    for (int i = 0; i < kReplyReads; ++i) {
      clock_.SleepMs(kPollMs);
      upload += ircode::ReadPort(port_);
      const std::size_t start = upload.find_first_not_of(static_cast<char>(kPoll));
      if (start == std::string::npos) continue;
      const std::size_t end = start + 1 + static_cast<uint8_t>(upload[start]);
      if (upload.size() >= end) {
        Take(upload.substr(end));
        return;
      }
    }
  }

  // The answer to a power failure: the clock setting with the time of day, its checksum, the
  // go-ahead and the ready byte. No flags are set and the monitored house code bits are 0, as
  // in the reset.
  void SetInterfaceClock() {
    const std::time_t now = static_cast<std::time_t>(clock_.CalendarSeconds());
    const std::tm* calendar = std::localtime(&now);
    if (calendar == nullptr) return;  // a time the system cannot place; the next request asks again
    const std::tm local = *calendar;
    const int yearDay = local.tm_yday;
    const std::array<uint8_t, 6> fields = {
        static_cast<uint8_t>(local.tm_sec),
        static_cast<uint8_t>(local.tm_min + 60 * (local.tm_hour % 2)),
        static_cast<uint8_t>(local.tm_hour / 2),
        static_cast<uint8_t>(yearDay & 0xFF),
        static_cast<uint8_t>(((yearDay >> 8) & 1) << 7 | (1 << local.tm_wday)),
        0x00,
    };
    std::string setting(1, static_cast<char>(kSetClock));
    setting.append(fields.begin(), fields.end());
    const auto checksum = static_cast<uint8_t>(std::accumulate(fields.begin(), fields.end(), 0));
    if (Exchange(setting, checksum, kReplyReads) == Reply::kExpected)
      Exchange(std::string(1, static_cast<char>(kGoAhead)), kReady, kReplyReads);
  }

  PortHandle port_;
  platform::Clock& clock_;
  std::string carried_;
  bool poll_ = false;
  bool powerFail_ = false;
  int served_ = 0;
};

std::string Bytes(std::initializer_list<uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

// The port the X10 exchange uses: the infrared port's handle while X10COM is below 1 (taken
// afresh each time, since the infrared port may have been reopened under a new handle),
// otherwise the interface's own port, opened on first use. Nothing when that port cannot be
// opened or refuses its time-outs; it is then closed and marked failed, so the next use tries
// again.
std::optional<PortHandle> AcquireX10Port(X10State& state, int x10Com, PortHandle irPort) {
  if (x10Com < 1) {
    // A port of its own, left from before X10 was set to share, is no longer used.
    CloseX10Port(state);
    return irPort;
  }
  if (state.port >= 1) return state.port;
  state.port = ircode::OpenPort(x10Com);
  if (state.port == platform::kPortFailed) return std::nullopt;
  if (!ircode::SetPortTimeouts(state.port)) {
    ircode::ClosePort(state.port);
    state.port = platform::kPortFailed;
    return std::nullopt;
  }
  return state.port;
}

// The module name of a device: everything after "X10&", trimmed and lower-cased.
std::string ModuleName(std::string_view device) {
  return device.size() > 4 ? ToLower(TrimBlanks(device.substr(4))) : std::string();
}

}  // namespace

X10NameTable BlankX10NameTable() {
  X10NameTable table;
  for (auto& house : table) house.fill(std::string(kX10NameChars, ' '));
  return table;
}

std::string X10CodeBits(int index) {
  if (index < 1 || index > 16) return {};
  return std::string(kCodeBits[static_cast<size_t>(index - 1)]);
}

std::optional<int> X10CodeValue(int index) {
  const std::string bits = X10CodeBits(index);
  if (bits.empty()) return std::nullopt;
  int value = 0;
  for (char bit : bits) value = value * 2 + (bit == '1' ? 1 : 0);
  return value;
}

std::vector<X10Entry> ReadX10Entries(std::string_view configText) {
  std::vector<X10Entry> entries;
  const std::size_t section = FindInText("[X10]", configText, 1);
  if (section == 0) return entries;
  constexpr std::string_view kEntry = "/X10/*";
  // Positions are 1-based; each search result is the position just after its match.
  for (std::size_t address = FindInText(kEntry, configText, section); address != 0;
       address = FindInText(kEntry, configText, address)) {
    const std::size_t afterComma = FindInText(",", configText, address);
    if (afterComma == 0) break;
    const std::string_view addressText = Between(configText, address, afterComma - 2);
    std::size_t lineEnd = configText.find_first_of("\r\n", afterComma - 1);
    if (lineEnd == std::string_view::npos) lineEnd = configText.size();
    const std::string_view name = TrimBlanks(configText.substr(afterComma - 1, lineEnd - (afterComma - 1)));
    if (addressText.empty()) continue;
    const int house = FoldCase(static_cast<unsigned char>(addressText[0])) - 'a';
    const int unit = UnitNumber(addressText.substr(1)) - 1;
    // An address such as q1 or a17 has no field; it must not land outside the table.
    if (house < 0 || house >= kX10Houses || unit < 0 || unit >= kX10Units) continue;
    entries.push_back({house, unit, std::string(name)});
  }
  return entries;
}

void LoadX10Section(X10NameTable& names, std::string_view configText) {
  names = BlankX10NameTable();
  for (const X10Entry& entry : ReadX10Entries(configText))
    names[static_cast<size_t>(entry.house)][static_cast<size_t>(entry.unit)] = NameField(entry.name);
}

std::optional<std::pair<int, int>> FindX10Module(const X10NameTable& names, std::string_view module) {
  const std::string wanted = ToLower(TrimBlanks(module));
  // An empty name would match the first free field and switch a module nobody named.
  if (wanted.empty()) return std::nullopt;
  for (int house = 0; house < kX10Houses; ++house) {
    for (int unit = 0; unit < kX10Units; ++unit) {
      const std::string& field = names[static_cast<size_t>(house)][static_cast<size_t>(unit)];
      if (ToLower(TrimBlanks(field)) == wanted) return std::pair{house, unit};
    }
  }
  return std::nullopt;
}

std::optional<int> X10FunctionFromWord(std::string_view command) {
  const std::string word = ToLower(command);
  for (size_t i = 0; i < kFunctionWords.size(); ++i) {
    if (word == kFunctionWords[i]) return static_cast<int>(i);
  }
  return std::nullopt;
}

bool SendX10Code(PortHandle port, int house, int unit, int function, int amountPercent,
                 platform::Clock& clock) {
  const auto houseValue = X10CodeValue(house);
  const auto unitValue = X10CodeValue(unit);
  if (!houseValue || !unitValue || function < kX10AllUnitsOff || function > kX10AllLightsOff) return false;

  int header = 0x04;
  if (function == kX10Dim || function == kX10Bright) {
    // Dim steps (22 for 100 %) in bits 7..3, truncated as the interface's writers computed it.
    const double percent = std::clamp(amountPercent, 0, 100);
    header = static_cast<int>(std::floor(percent / 100.0 * 22.0)) * 8 + 4;
  }
  const auto h = static_cast<uint8_t>(header);
  const auto address = static_cast<uint8_t>(*houseValue * 16 + *unitValue);
  const auto functionHeader = static_cast<uint8_t>(h + 2);
  const auto functionByte = static_cast<uint8_t>(*houseValue * 16 + function);

  // Nothing is purged between attempts: a stray reply still waiting fails the next read. A
  // transmission the interface ignored to ask for service is repeated once it is served,
  // without counting as an attempt.
  Cm11Link link(port, clock);
  const auto transmit = [&] {
    for (const auto& [bytes, expected, reads] :
         {std::tuple{Bytes({h, address}), static_cast<uint8_t>(h + address), kReplyReads},
          std::tuple{Bytes({kGoAhead}), kReady, kReplyReads},
          std::tuple{Bytes({functionHeader, functionByte}),
                     static_cast<uint8_t>(functionHeader + functionByte), kReplyReads},
          std::tuple{Bytes({kGoAhead}), kReady, kLastReadyReads}}) {
      const Reply reply = link.Exchange(bytes, expected, reads);
      if (reply != Reply::kExpected) return reply;
    }
    return Reply::kExpected;
  };
  for (int failed = 0; failed < kAttempts;) {
    if (!link.ServeRequests(true)) return false;
    switch (transmit()) {
      case Reply::kExpected:
        // Requests that came with the last replies are served before anything else is sent.
        link.ServeRequests(false);
        return true;
      case Reply::kRequest: break;
      case Reply::kWrong: ++failed; break;
    }
  }
  return false;
}

std::string ExecuteX10Command(X10State& state, const ConfigStore& store, const X10Request& request,
                              platform::Clock& clock, const ircode::Beeper& beep) {
  const GeneralParams& general = store.general;
  if (!general.x10Ena) return std::string(kX10Disabled);
  const std::optional<PortHandle> port = AcquireX10Port(state, general.x10Com, request.irPort);
  if (!port) return std::string(kX10PortError);
  const bool gateway = request.variant == Variant::Gateway;
  // A gateway runs once per request; the main program reloads when a module is selected.
  if (gateway) LoadX10Section(state.names, store.text);
  if (general.beepOn) FrameBeep(beep, kStartBeepHz);
  ircode::SetPortMode(kX10BaudRate, kX10DataBits, *port);

  const std::string module = ModuleName(request.device);
  const auto address = FindX10Module(state.names, module);
  if (!address) return std::string(kX10SendError);

  int function = request.selectedFunction;
  int amount = request.dimPercent;
  if (gateway || request.functionFromWord) {
    const auto word = X10FunctionFromWord(request.command);
    if (!word) return std::string(gateway ? kX10PortError : kX10SendError);
    function = *word;
    // A command that names its function has no slider behind it: each Dim or Bri of a monitored
    // key moves the lamp by the same step, whatever the window shows.
    amount = kWordDimPercent;
  }
  if (function < kX10AllUnitsOff || function > kX10AllLightsOff) return std::string(kX10SendError);

  const int house = address->first + 1;
  const int unit = address->second + 1;
  bool sent = true;
  if (function == kX10Dim || function == kX10Bright) {
    // The interface takes at most 39 % per exchange. Every part must arrive for the lamp to
    // reach the amount asked for, so a failed part fails the command.
    while (amount > kX10DimStepPercent) {
      sent = SendX10Code(*port, house, unit, function, kX10DimStepPercent, clock) && sent;
      amount -= kX10DimStepPercent;
    }
  }
  sent = SendX10Code(*port, house, unit, function, amount, clock) && sent;
  if (!sent) return std::string(kX10SendError);
  if (general.beepOn) FrameBeep(beep, kEndBeepHz);
  return "X10-" + module + " " + request.command + ".";
}

std::string ResetX10Interface(X10State& state, int x10Com, PortHandle irPort) {
  const std::optional<PortHandle> port = AcquireX10Port(state, x10Com, irPort);
  if (!port) return std::string(kX10PortError);
  ircode::SetPortMode(kX10BaudRate, kX10DataBits, *port);
  // No reply is awaited; the text is the same whatever the write returned.
  ircode::WritePort(kResetBytes, *port);
  return std::string(kX10ResetDone);
}

void CloseX10Port(X10State& state) {
  if (state.port >= 1) ircode::ClosePort(state.port);
  state.port = platform::kPortClosed;
}

}  // namespace qvx::devices
