#include "qvx/config/devices.h"

#include <algorithm>

#include "qvx/config/sections.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"

namespace qvx {

const std::string_view kWinampCommands =
    "POWER ON,POWER OFF,PLAY,PREV,NEXT,PAUSE,STOP,FFW,REW,NEXT in PL,PREV in PL,NEXT 10 in PL,"
    "PREV 10 in PL,VOLUP,VOLDOWN,GETNAME,EQON,REPEAT,SHUFFLE,PLAYLIST,DOUBLE,VISUAL,"
    "TIME ELAPSED,TIME REMAINING,";
const std::string_view kMouseCommands =
    "LEFT CLICK,RIGHT CLICK,DOUBLECLICK,LEFT,LEFTUP,UP,RIGHTUP,RIGHT,RIGHTDOWN,DOWN,LEFTDOWN,";
const std::string_view kX10Commands = "All-U-Off,All-L-On,On,Off,Dim,Bri,All-L-Off,";
const std::string_view kIrDimmerCommands = "ON/OFF,DIM/BRI,";
const std::string_view kBluetoothEvents =
    "CONNECTED,DISCONNECTED,YES,C,NO,LEFT,RIGHT,1,2,3,4,5,6,7,8,9,0,#,UP,DOWN,FLIP OPEN,"
    "FLIP CLOSED,";
const std::string_view kKeyboardKeys =
    "ESC,F1,F2,F3,F4,F5,F6,F7,F8,F9,F10,F11,F12,PRINTSCR,SCROLLOCK,BREAK,`,1,2,3,4,5,6,7,8,9,0,"
    "-,=,BCKSPACE,INSERT,HOME,PAGEUP,NUMLOCK,/,*,-,TAB,Q,W,E,R,T,Y,U,I,O,P,[,],ENTER,CAPS,A,S,D,"
    "F,G,H,J,K,L,;,',\\,SHIFT,Z,X,C,V,B,N,M,COMMA,.,CTRL,WINKEY,ALT,SPACE,ALTGR,MENU,LEFT,RIGHT,"
    "DOWN,UP,NUM1,NUM2,NUM3,NUM4,NUM5,NUM6,NUM7,NUM8,NUM9,NUM0,NUM.,NUM+,NUMENTER,";

namespace {

// The characters from pos up to the next CR (searched from pos itself); empty optional when no
// CR follows.
std::optional<std::string_view> RestOfLine(std::string_view text, std::size_t pos) {
  if (pos < 1 || pos > text.size() + 1) return std::nullopt;
  const std::size_t cr = text.find('\r', pos - 1);
  if (cr == std::string_view::npos) return std::nullopt;
  return text.substr(pos - 1, cr - (pos - 1));
}

// The names after the commas of a section, each up to the CR that ends its line: the commands
// of a device, the modules of [X10]. A comma whose line has no CR ends the list.
std::vector<std::string_view> NamesAfterCommas(std::string_view text, const Section& section) {
  std::vector<std::string_view> names;
  for (std::size_t comma = FindInText(",", text, section.body);
       comma != 0 && comma - 1 < section.end; comma = FindInText(",", text, comma)) {
    const auto name = RestOfLine(text, comma);
    if (!name) break;
    names.push_back(*name);
  }
  return names;
}

bool StartsWithX10(std::string_view lower) { return lower.substr(0, 3) == "x10"; }

std::string JoinList(const std::vector<std::string>& entries) {
  std::string list;
  for (const auto& entry : entries) list.append(entry).append(",");
  return list;
}

}  // namespace

DeviceKind GetDeviceKind(std::string_view name) {
  const std::string lower = ToLower(name);
  if (lower == "none") return DeviceKind::None;
  if (lower == "recorded") return DeviceKind::Recorded;
  if (StartsWithX10(lower)) return DeviceKind::X10;
  if (lower == "winamp") return DeviceKind::Winamp;
  if (lower == "application") return DeviceKind::Application;
  if (lower == "mouse") return DeviceKind::Mouse;
  if (lower == "keyboard") return DeviceKind::Keyboard;
  if (lower == "ir dimmer") return DeviceKind::IrDimmer;
  if (lower == "bluetooth") return DeviceKind::Bluetooth;
  if (lower == "bt") return DeviceKind::Phone;
  return DeviceKind::Infrared;
}

std::string BuildDeviceList(const ConfigStore& store, Variant variant) {
  const std::string_view text = store.text;
  const GeneralParams& general = store.general;
  std::string list;
  const auto generalSection = FindSection(text, "General");
  if (!generalSection) return {};
  // The scan ends at [Monitoring] or [End]; a file that has neither lists nothing.
  for (auto section = NextSection(text, *generalSection);; section = NextSection(text, *section)) {
    if (!section) return {};
    const std::string lower = ToLower(section->name);
    if (lower == "end" || lower == "monitoring") break;
    if (lower == "x10" && general.x10Ena) {
      for (const std::string_view module : NamesAfterCommas(text, *section))
        list.append("X10&").append(TrimBlanks(module)).append(",");
    } else if (lower != "application" && (general.irInEna || general.irOutEna)) {
      list.append(section->name).append(",");
    }
  }

  if (general.winampEna) list += "Winamp,";
  if (general.applicationEna) list += "Application,";
  if (general.mouseEna) list += "Mouse,";
  if (variant == Variant::Gateway && general.keyboardEna) list += "Keyboard,";
  if (general.irDimEna) list += "IR Dimmer,";
  if (variant == Variant::MainProgram) {
    if (general.irInEna) list += "Recorded,";
    if (general.btEna) list += "BT,";
  }
  if (TrimBlanks(list).empty()) list = "none,";
  return list;
}

std::vector<std::string> FillListFromText(std::string_view list) {
  std::vector<std::string> entries;
  std::string entry;
  for (const char c : list) {
    if (c == ',') {
      entries.push_back(std::move(entry));
      entry.clear();
    } else {
      entry.push_back(c);
    }
  }
  return entries;
}

std::vector<std::string> ListDeviceCommands(std::string_view text, std::string_view device) {
  std::vector<std::string> commands;
  const auto section = FindSection(text, device);
  if (!section) return commands;
  for (const std::string_view name : NamesAfterCommas(text, *section)) commands.emplace_back(name);
  return commands;
}

std::string CommandListText(const ConfigStore& store, std::string_view device, Variant variant) {
  const std::string lower = ToLower(device);
  const bool gateway = variant == Variant::Gateway;
  if (lower == "none" || (gateway && (lower.empty() || lower == "end" || lower == "monitoring")))
    return "none,";
  if (lower == "recorded") return "Recorded,";
  if (lower == "winamp") return std::string(kWinampCommands);
  if (lower == "ir dimmer") return std::string(kIrDimmerCommands);
  if (lower == "mouse") return std::string(kMouseCommands);
  if (StartsWithX10(lower)) return std::string(kX10Commands);
  if (gateway && lower == "bt") return std::string(kBluetoothEvents);
  if (gateway && lower == "keyboard") return std::string(kKeyboardKeys);
  const auto commands = ListDeviceCommands(store.text, device);
  if (commands.empty()) return gateway ? "none," : "EMPTY,";
  return JoinList(commands);
}

CommandList LoadCommandList(ConfigStore& store, std::string_view device) {
  store.currentDevice = std::string(device);
  CommandList list;
  list.entries = FillListFromText(CommandListText(store, device, Variant::MainProgram));
  const bool nothingToSend = list.entries.size() == 1 &&
                             (list.entries[0] == "none" || list.entries[0] == "EMPTY");
  list.sendEnabled = !nothingToSend;
  return list;
}

std::optional<std::string> FindCommandCode(std::string_view text, std::string_view device,
                                           std::string_view command) {
  const auto section = FindSection(text, device);
  if (!section) return std::nullopt;
  const std::string pattern = "," + std::string(command) + "\r";
  const std::size_t hit = FindInText(pattern, text, section->body);
  if (hit == 0 || hit - pattern.size() >= section->end) return std::nullopt;
  const std::size_t comma = hit - pattern.size();
  const std::size_t lf = FindBack(text, '\n', comma);
  return std::string(Between(text, lf + 1, comma - 1));
}

std::optional<DeviceParamText> FindDeviceParams(std::string_view text, std::string_view device,
                                                ParamScope scope) {
  const auto section = FindSection(text, device);
  if (!section) return std::nullopt;
  DeviceParamText params;
  const std::pair<const char*, std::string*> lines[] = {
      {"GPROTO=", &params.gproto}, {"SENDPLS=", &params.sendpls}, {"REPEAT=", &params.repeat},
      {"BITG=", &params.bitg},     {"BIT0=", &params.bit0},       {"BIT1=", &params.bit1},
      {"GREPEAT=", &params.grepeat}};
  std::size_t pos = section->body;
  for (const auto& [key, value] : lines) {
    pos = FindInText(key, text, pos);
    if (pos == 0) return std::nullopt;
    const std::size_t keyStart = pos - std::char_traits<char>::length(key);
    if (scope == ParamScope::WithinSection && keyStart >= section->end) return std::nullopt;
    auto read = ReadLineValue(text, pos);
    if (!read) return std::nullopt;
    *value = std::move(*read);
  }
  return params;
}

std::string GetDeviceDescription(const ConfigStore& store, std::string_view device,
                                 bool fromImportText) {
  const std::string_view text = fromImportText ? store.importText : store.text;
  const auto section = FindSection(text, device);
  return section ? std::string(DescriptionText(text, *section)) : std::string();
}

std::string StoredCodeBits(std::string_view bits, int protocol) {
  std::string code(bits);
  if (protocol == 2 && code.size() >= 3) code[2] = '0';
  return code;
}

namespace {

// The section and command name of the first line that holds code and a comma.
std::optional<StoredCommand> FindCodeLine(std::string_view text, std::string_view code) {
  if (code.empty()) return std::nullopt;
  // A code is told apart by its leading "G"; one without it only at the start of a line.
  const bool led = code.front() == 'G' || code.front() == 'g';
  const std::size_t afterComma = FindInText((led ? "" : "\n") + std::string(code) + ",", text, 1);
  if (afterComma <= 10) return std::nullopt;
  const auto command = RestOfLine(text, afterComma);
  if (!command) return std::nullopt;
  const auto section = SectionAt(text, afterComma);
  if (!section) return std::nullopt;
  return StoredCommand{std::string(TrimBlanks(section->name)), std::string(TrimBlanks(*command))};
}

}  // namespace

std::optional<StoredCommand> FindStoredCommand(std::string_view text, std::string_view code) {
  auto found = FindCodeLine(text, code);
  if (found && found->device == "general") return std::nullopt;
  return found;
}

bool FindCodeInConfig(ConfigStore& store, std::string_view bits, int protocol) {
  if (bits.empty()) return false;
  const auto found = FindCodeLine(store.text, "G" + StoredCodeBits(bits, protocol));
  if (!found) return false;
  store.currentCommand = found->command;
  store.currentDevice = found->device;
  return store.currentDevice != "general";
}

void SplitOutputCommand(ConfigStore& store, std::string_view text) {
  const std::size_t first = text.find('&');
  if (first == std::string_view::npos) return;
  const std::size_t second = text.find('&', first + 1);
  const std::size_t split = second == std::string_view::npos ? first : second;
  store.currentDevice = std::string(text.substr(0, split));
  store.currentCommand = std::string(text.substr(split + 1));
}

std::vector<std::string> SectionNamesAfterGeneral(std::string_view text) {
  std::vector<std::string> names;
  for (const Section& section : SectionsAfterGeneral(text)) names.emplace_back(section.name);
  return names;
}

std::optional<std::string> DeleteCommandLine(const ConfigStore& store) {
  const std::string_view text = store.text;
  const auto section = FindSection(text, store.currentDevice);
  if (!section) return std::nullopt;
  const std::string pattern = "," + store.currentCommand + "\r\n";
  const std::size_t hit = FindInText(pattern, text, section->body);
  // A line of another section with the same name is not this device's command, and a name read
  // across lines without CR must not take the next section's lines with it.
  if (hit == 0 || hit > section->end) return std::nullopt;
  const std::size_t lineStart = FindBack(text, '\n', hit - pattern.size()) + 1;
  return DeleteText(text, lineStart, hit - 1);
}

bool IsValidName(std::string& name) {
  name = std::string(TrimBlanks(name));
  return name.find_first_of("[],#%&") == std::string::npos && !HoldsLineBreak(name);
}

bool IsValidCode(std::string_view code) {
  const std::string_view trimmed = TrimBlanks(code);
  if (trimmed.size() < 3) return false;
  if (trimmed.find_first_not_of("01gG") != std::string_view::npos) return false;
  return std::count_if(trimmed.begin(), trimmed.end(),
                       [](char c) { return c == 'g' || c == 'G'; }) <= 1;
}

std::optional<std::string> CheckDeviceName(std::string name, std::string_view deviceList,
                                           bool newDevice) {
  name = std::string(TrimBlanks(name));
  const std::string lower = ToLower(name);
  if (lower == "end" || lower == "general") return "This is a reserved name!";
  if (!newDevice) return std::nullopt;
  if (!IsValidName(name)) return "Device name cannot contain the following chars: [ ] , # ";
  for (const auto& entry : FillListFromText(deviceList))
    if (ToLower(entry) == lower) return "The new device name is in use";
  if (name.size() < 3 || name.size() > 12) return "Device name must have 3 to 12 characters";
  return std::nullopt;
}

}  // namespace qvx
