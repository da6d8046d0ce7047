#pragma once

// Devices and commands as the configuration text holds them: the device list, command lists,
// codes, protocol parameters and descriptions, and the names that select built-in behaviour.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

struct ConfigStore;

// Which program a list is built for: the main window, or the web and WAP gateways.
enum class Variant { MainProgram, Gateway };

// What a device name stands for (the name is compared in lower case).
enum class DeviceKind {
  None,         // "none": the device list is empty
  Recorded,     // the virtual device holding the last learned code
  X10,          // an X10 module ("X10&" + module), or the [X10] section while X10 is off
  Winamp,       // the media player
  Application,  // the application and media launcher
  Mouse,        // mouse emulation
  Keyboard,     // keyboard emulation
  IrDimmer,     // the infrared dimmer
  Bluetooth,    // the Bluetooth presentation of the main window
  Phone,        // "BT": the Bluetooth phone as input device
  Infrared,     // a device defined by a block of the file
};

// The kind of a device name.
DeviceKind GetDeviceKind(std::string_view name);

// Fixed command lists of the built-in devices, each comma-terminated.
extern const std::string_view kWinampCommands;
extern const std::string_view kMouseCommands;
extern const std::string_view kX10Commands;
extern const std::string_view kIrDimmerCommands;
extern const std::string_view kBluetoothEvents;
extern const std::string_view kKeyboardKeys;

// The comma-terminated list of device names for the main window or the gateways.
std::string BuildDeviceList(const ConfigStore& store, Variant variant);

// The entries of a comma-terminated list: text between commas, empty ones included; what follows
// the last comma is dropped. An empty text gives no entries.
std::vector<std::string> FillListFromText(std::string_view list);

// The comma-terminated command list of a device: the main window's ("none", "EMPTY" for an
// infrared device without commands) or the gateways' ("none," where nothing can be sent).
std::string CommandListText(const ConfigStore& store, std::string_view device, Variant variant);

// The main window's command list of a device, and whether Send may be pressed for it.
struct CommandList {
  std::vector<std::string> entries;
  bool sendEnabled = false;
};

// Sets the current device and returns its command list as the main window shows it.
CommandList LoadCommandList(ConfigStore& store, std::string_view device);

// The command names of an infrared device block (or any section), in file order.
std::vector<std::string> ListDeviceCommands(std::string_view text, std::string_view device);

// The stored code ("G" and bits) of a command of a device; empty optional when the device or the
// command (before the next section) is missing.
std::optional<std::string> FindCommandCode(std::string_view text, std::string_view device,
                                           std::string_view command);

// The seven protocol parameter values of a device block, as written.
struct DeviceParamText {
  std::string gproto, sendpls, repeat, bitg, bit0, bit1, grepeat;
};

// Whether a parameter line found beyond the device's own section counts.
enum class ParamScope {
  AcceptBeyondSection,  // the main window's selection
  WithinSection,        // sending
};

// The protocol parameters of a device; empty optional when the header or a line is missing.
std::optional<DeviceParamText> FindDeviceParams(std::string_view text, std::string_view device,
                                                ParamScope scope);

// The description of a device ("#" line after its header, with the writer's blank), from the
// configuration or from the import text; empty when missing.
std::string GetDeviceDescription(const ConfigStore& store, std::string_view device,
                                 bool fromImportText);

// The bits a received code is stored with: for protocol 2 (RC5) the toggle bit, the third, is 0.
std::string StoredCodeBits(std::string_view bits, int protocol);

// A stored command: the section that holds it and its name.
struct StoredCommand {
  std::string device;
  std::string command;
};

// The stored command that holds a code ("G" and its bits as stored), found as FindCodeInConfig
// finds it; nothing when no command holds it. This is what "already stored" means for a code.
std::optional<StoredCommand> FindStoredCommand(std::string_view text, std::string_view code);

// Names a received code: finds the command line "G" + bits + "," and sets the current device and
// command to its section and name. protocol is the current protocol number (2 = RC5, whose toggle
// bit, the third, is looked up as 0). Returns false when there is no such command.
bool FindCodeInConfig(ConfigStore& store, std::string_view bits, int protocol);

// Splits "device&command" (or "X10&module&function") into the current device and command;
// changes nothing when the text has no "&".
void SplitOutputCommand(ConfigStore& store, std::string_view text);

// The names of the sections after [General], in file order.
std::vector<std::string> SectionNamesAfterGeneral(std::string_view text);

// The configuration text without the current command's line in the current device's block;
// nothing when the device or the command line (before the next section) is missing.
std::optional<std::string> DeleteCommandLine(const ConfigStore& store);

// Trims the name in place; true when it has none of "[", "]", ",", "#", "%", "&" and no line
// break.
bool IsValidName(std::string& name);

// True when the trimmed code has at least 3 characters, all "0", "1" or "g" (any case), with at
// most one "g".
bool IsValidCode(std::string_view code);

// Checks a name for a new (or edited) infrared device against the naming rules and the current
// device list; returns the refusal text, or nothing when the name may be used.
std::optional<std::string> CheckDeviceName(std::string name, std::string_view deviceList,
                                           bool newDevice);

}  // namespace qvx
