#pragma once

// X10 powerline modules through a CM11/CM12 interface on a serial port: the module names of
// the [X10] section, the interface's byte exchange, and the X10 output of the command
// executor, in the main program's and the gateways' variants. Qt-free and free of the desktop
// services, so that the gateways link it as they are.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/serial.h"
#include "qvx/config/devices.h"
#include "qvx/ircode/irtypes.h"

namespace qvx {
struct ConfigStore;
}

namespace qvx::devices {

// The system's texts of the X10 output.
inline constexpr std::string_view kX10Disabled = "X10 is disabled!";
inline constexpr std::string_view kX10PortError = "Cannot open COM port for X10 interface (CM11/12)!";
inline constexpr std::string_view kX10SendError = "Error sending X10 command!";
inline constexpr std::string_view kX10ResetDone = "CM11/12 interface reset OK.";

inline constexpr int kX10Houses = 16;        // A..P
inline constexpr int kX10Units = 16;         // 1..16
inline constexpr size_t kX10NameChars = 20;  // every name field, filled with blanks
// The largest dim or brighten amount, in percent, sent in one exchange.
inline constexpr int kX10DimStepPercent = 39;
// The dim amount of every X10 command whose function comes from its word: those of the
// gateways, of monitored events and of qvxctl exec. The window's Send takes DIMScroll instead.
inline constexpr int kWordDimPercent = 33;

// X10 functions; the value is the four-bit function code sent, and the position in the X10
// command list.
enum X10Function : int {
  kX10AllUnitsOff = 0, kX10AllLightsOn = 1, kX10On = 2, kX10Off = 3,
  kX10Dim = 4, kX10Bright = 5, kX10AllLightsOff = 6,
};

// Module names by house (0..15 for A..P) and unit (0..15 for 1..16); each field is exactly
// kX10NameChars characters, all blanks when free.
using X10NameTable = std::array<std::array<std::string, kX10Units>, kX10Houses>;

// A table of free fields.
X10NameTable BlankX10NameTable();

// The X10 state a program keeps: one per main program, one per gateway request.
struct X10State {
  // The interface's own port (X10COM above 0): 0 closed, -1 the last opening failed. The
  // infrared port's handle, which X10 uses while X10COM is 0, is never kept here, so that
  // closing X10's port never closes the infrared one.
  platform::PortHandle port = platform::kPortClosed;
  X10NameTable names = BlankX10NameTable();  // the X10 name table
};

// What one X10 command needs besides the configuration and the X10 state.
struct X10Request {
  std::string device;   // current device: "X10&" and the module name (anything after the first
                        // four characters is the module name)
  std::string command;  // current command, as received; it ends the result text
  Variant variant = Variant::MainProgram;
  // Main program: position of the entry selected in SendCmd (0..6) and the DIMScroll value.
  int selectedFunction = kX10On;
  int dimPercent = 50;
  // Main program: take the function from the command word instead, and kWordDimPercent as the
  // amount, as for monitored events, whose command need not be the one selected in the window.
  bool functionFromWord = false;
  // The infrared port's handle, which X10 shares while X10COM is 0 ("Default").
  platform::PortHandle irPort = platform::kPortClosed;
};

// The four-character code pattern of index 1..16 (house A..P or unit 1..16), first character
// most significant ("0110" for 1); "" for any other index.
std::string X10CodeBits(int index);
// The pattern of X10CodeBits as a number 0..15; nullopt for an index outside 1..16.
std::optional<int> X10CodeValue(int index);

// One "/X10/*" entry of the [X10] section: house and unit 0..15 and the trimmed name.
struct X10Entry {
  int house;
  int unit;
  std::string name;
  bool operator==(const X10Entry&) const = default;
};

// The entries of the [X10] section in file order, from the header on (the search is not bounded
// by the next section); entries whose address lies outside a..p or 1..16 are skipped.
std::vector<X10Entry> ReadX10Entries(std::string_view configText);

// Fills `names` from the [X10] section of the configuration text: every "/X10/*" entry from
// the header on stores its name (after the comma, trimmed, first 20 characters) at its house
// letter (either case) and unit number; a later entry for an address replaces an earlier one.
// Entries whose address lies outside a..p or 1..16 are skipped. No header: all fields free.
void LoadX10Section(X10NameTable& names, std::string_view configText);

// Where a module name (compared trimmed and lower-cased) is stored: house and unit 0..15,
// searched house by house from A, unit by unit from 1; nullopt when absent or empty.
std::optional<std::pair<int, int>> FindX10Module(const X10NameTable& names, std::string_view module);

// The function code of a command word, ignoring case (the X10 command list's order:
// "all-u-off", "all-l-on", "on", "off", "dim", "bri", "all-l-off"); nullopt for other words.
std::optional<int> X10FunctionFromWord(std::string_view command);

// The CM11/CM12 exchange on `port` for house and unit 1..16 and function 0..6, with the amount
// in percent for dim and brighten (kept within 0..100): address and checksum, go-ahead and
// ready, function and checksum, go-ahead and ready, each reply polled every 200 ms on `clock`
// and required to be exactly the one expected byte. At most two attempts; false when both
// fail, at once for arguments outside their ranges. The interface's own requests are served
// before, during and after it: a poll (0x5A) with 0xC3 and the upload read, a power failure
// (0xA5) with the clock setting from `clock`'s calendar; a transmission the interface ignored
// for them is repeated without counting as an attempt.
bool SendX10Code(platform::PortHandle port, int house, int unit, int function, int amountPercent,
                 platform::Clock& clock);

// Runs one X10 command (the executor's X10 branch) and returns its status text: kX10Disabled,
// kX10PortError when the X10 port cannot be opened (for a gateway also for a word that is no
// X10 function), kX10SendError when the module is unknown or the interface does not complete
// the exchange, otherwise "X10-" + module (lower case) + " " + command + ".". Opens the X10
// port on first use and keeps it open; the gateways reload the name table first. Beeps
// 5000 Hz/50 ms before and, on success, 2000 Hz/50 ms after through `beep` when BEEPON is on.
// The interface's replies are awaited on `clock`.
std::string ExecuteX10Command(X10State& state, const ConfigStore& store, const X10Request& request,
                              platform::Clock& clock, const ircode::Beeper& beep);

// The interface's reset (the dialog's RESET button): opens the X10 port if needed, sets it to
// 4800 baud and 8 data bits and writes the set-clock command 9B 00 00 00 00 00 07 without
// awaiting a reply. Returns kX10ResetDone, or kX10PortError when the port cannot be opened.
std::string ResetX10Interface(X10State& state, int x10Com, platform::PortHandle irPort);

// Closes the interface's own port when it is open and sets its handle to 0; the infrared port
// that X10 shares while X10COM is 0 is never closed here.
void CloseX10Port(X10State& state);

}  // namespace qvx::devices
