#pragma once

// The logic of the Bluetooth dialog frmBT: the phone input switch, the phone port, the
// connection mode and the names of the ten Bluetooth devices. Every change is written to the
// configuration at once.

#include <string>
#include <string_view>
#include <vector>

#include "qvx/bluetooth/phoneremote.h"
#include "qvx/config/prompter.h"
#include "qvx/config/store.h"

namespace qvx::bluetooth {

inline constexpr std::string_view kInvalidDeviceName = "Invalid device name!";
inline constexpr std::string_view kNameInUse = "This name is in use for device ";
inline constexpr std::string_view kNameChanged = "Current device name was changed.";

// frmBT's height in twips with the phone input on (mode and names shown) and off.
inline constexpr int kBtOnHeightTwips = 2835;
inline constexpr int kBtOffHeightTwips = 1560;

// The entries of BtComListbox: the main window's port list, and "COM" + BTCOM after it when
// that port is not listed (a phone out of range, a port the machine does not list), so that the
// dialog shows the phone's port and never another; `selected` is BTCOM's entry, -1 when BTCOM
// names no port.
struct PhonePortChoice {
  std::vector<std::string> entries;
  int selected = -1;
};
PhonePortChoice PhonePortEntries(const std::vector<std::string>& comList, int btCom);

// BTCheckbox: writes BTENA; false when the file could not be written.
bool SetPhoneInput(ConfigStore& store, bool on);

// BtComListbox: closes the phone port, writes BTCOM as the number from the entry's fourth
// character on ("COM4" gives 4) and, in Auto mode, opens the port at once. False when the file
// could not be written.
bool ChangePhonePort(ConfigStore& store, PhoneRemote& phone, std::string_view entry);

// BTModeOption: writes BTMODE (0 Auto, 1 Manual); true when BTAutoTimer is to run.
bool SetPhoneMode(ConfigStore& store, int mode);

// ButtonChange: names Bluetooth device `number` with the trimmed text and writes its key BTn.
// Refuses, with a message, a name IsValidName rejects or one any of the ten devices has
// (ignoring case, the device's own included). True when the name was changed.
bool RenameBluetoothDevice(ConfigStore& store, int number, std::string text, Prompter& prompter);

}  // namespace qvx::bluetooth
