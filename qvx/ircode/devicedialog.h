#pragma once

// The device definition dialog NewProtocol without its widgets: the field texts, the protocol
// presets, opening for a new device (from a learned code) or for editing, and the Save button's
// checks and writing of the device block.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "qvx/config/store.h"
#include "qvx/ircode/deviceparams.h"

namespace qvx {
class Prompter;
}

namespace qvx::ircode {

// The system's texts of the device dialog (message boxes and questions).
inline constexpr std::string_view kCannotOpenDeviceForm =
    "Error in the configuration file\r\nThe Device Form can not be opened";
inline constexpr std::string_view kCriticalErrorTitle = "Critical Error";
inline constexpr std::string_view kSendplsRule = "SENDPLS must have an integer value greater than 0";
inline constexpr std::string_view kRepeatRule =
    "REPEAT must have an integer value greater than 16 (or 0)";
inline constexpr std::string_view kGRepeatRule =
    "GREPEAT must have an integer value greater than 16 (or 0 or 1)";
inline constexpr std::string_view kPatternsNeeded = "BITx must not be empty, if no BITG, then BITG=0";
inline constexpr std::string_view kBadDescription =
    "Description cannot contain the following chars: [ ] , # ";
inline constexpr std::string_view kBitgNotBinary = "BITG must have a binary value";
inline constexpr std::string_view kBit0NotBinary = "BIT0 must have a binary value";
inline constexpr std::string_view kBit1NotBinary = "BIT1 must have a binary value";
inline constexpr std::string_view kNewDeviceApproval =
    "A new device with the following parameters will be created:\r\n";
inline constexpr std::string_view kEditedDeviceApproval = "The edited device is:\r\n";
inline constexpr std::string_view kSaveItQuestion = "Do you want to save it?";

// The entries of the protocol list GProtoIn; the position is the GPROTO value.
inline constexpr std::array<std::string_view, 4> kProtocolNames = {"NEC", "SONY", "RC5",
                                                                   "Custom"};

// The dialog's fields as the user sees and edits them.
struct DeviceDialog {
  DeviceDialogMode mode = DeviceDialogMode::New;
  std::string editedDevice;  // edit mode: the device's name when the dialog opened
  int returnPosition = 0;    // the device list position selected again when the dialog closes
  std::string name;          // CProtIn
  int gproto = -1;           // GProtoIn's selected position; -1 while none is chosen
  std::string sendpls, repeat, bitg, bit0, bit1, grepeat;  // SendPlsIn .. GRepeatIn
  std::string description;                                  // ProtDesc
};

// Chooses a position in GProtoIn: the six parameter fields get that protocol's preset.
void ChooseProtocol(DeviceDialog& dialog, int position);

// What the main window shows when the dialog opens.
struct MainWindowFields {
  std::string codeStr;          // CodeStr: the learned code, if any
  std::string bitNr;            // BitNr: its bit count, empty when nothing was learned
  std::string sendPulse;        // SendPulse: the slot length measured by learning
  int detectedProto = 0;        // the coding type of the last recording
  DeviceParams params;          // DeviceParams at that moment
  int selectedPosition = 0;     // the device list's selected position
};

// Opens the dialog in store.deviceDialogMode for store.currentDevice. A learned code on the
// Recorded device fills the fields from the recording; edit mode reads the device's block.
// Nothing when that block cannot be read: the "Critical Error" message has been shown and the
// dialog does not open.
std::optional<DeviceDialog> OpenDeviceDialog(const ConfigStore& store, Prompter& prompter,
                                             const MainWindowFields& window);

// The Save button: trims the fields, checks them in order (each refusal a message box, the
// dialog staying open), asks for approval, writes the block and saves the file. deviceList is
// the main window's device list (comma-terminated). Returns the text for the main window's
// slot-length field (SENDPLS with a leading blank) when the device was saved; nothing otherwise.
std::optional<std::string> SaveDevice(ConfigStore& store, Prompter& prompter,
                                      DeviceDialog& dialog, std::string_view deviceList);

}  // namespace qvx::ircode
