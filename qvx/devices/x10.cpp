#include "qvx/devices/x10.h"

#include <algorithm>
#include <cmath>
#include <optional>

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

// Polls for the interface's reply every 200 ms, at most `reads` times; true when the first
// read that returns anything is exactly the one expected byte.
bool AwaitReply(PortHandle port, uint8_t expected, int reads, platform::Clock& clock) {
  for (int i = 0; i < reads; ++i) {
    clock.SleepMs(kPollMs);
    const std::string reply = ircode::ReadPort(port);
    if (!reply.empty()) return reply.size() == 1 && static_cast<uint8_t>(reply[0]) == expected;
  }
  return false;
}

// Writes bytes and awaits their reply; a write the port refuses ends the step at once, since
// no reply can follow it.
bool Exchange(PortHandle port, std::initializer_list<uint8_t> bytes, uint8_t expected, int reads,
              platform::Clock& clock) {
  const std::string text(bytes.begin(), bytes.end());
  return ircode::WritePort(text, port) && AwaitReply(port, expected, reads, clock);
}

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

  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // Nothing is purged between attempts: a stray reply still waiting fails the next read.
    if (Exchange(port, {h, address}, static_cast<uint8_t>(h + address), kReplyReads, clock) &&
        Exchange(port, {kGoAhead}, kReady, kReplyReads, clock) &&
        Exchange(port, {functionHeader, functionByte},
                 static_cast<uint8_t>(functionHeader + functionByte), kReplyReads, clock) &&
        Exchange(port, {kGoAhead}, kReady, kLastReadyReads, clock)) {
      return true;
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
  if (gateway) {
    const auto word = X10FunctionFromWord(request.command);
    if (!word) return std::string(kX10PortError);
    function = *word;
    amount = kGatewayDimPercent;
  } else if (request.functionFromWord) {
    const auto word = X10FunctionFromWord(request.command);
    if (!word) return std::string(kX10SendError);
    function = *word;
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
