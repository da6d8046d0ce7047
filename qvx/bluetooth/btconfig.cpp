#include "qvx/bluetooth/btconfig.h"

#include <algorithm>
#include <charconv>

#include "qvx/config/devices.h"
#include "qvx/config/general.h"
#include "qvx/config/text.h"

namespace qvx::bluetooth {

PhonePortChoice PhonePortEntries(const std::vector<std::string>& comList, int btCom) {
  PhonePortChoice choice{comList, -1};
  if (btCom < 1) return choice;
  const std::string phonePort = "COM" + std::to_string(btCom);
  const auto listed = std::find_if(comList.begin(), comList.end(), [&](const std::string& entry) {
    return EqualsIgnoreCase(entry, phonePort);
  });
  if (listed == comList.end()) choice.entries.push_back(phonePort);
  choice.selected = static_cast<int>(
      listed == comList.end() ? choice.entries.size() - 1 : listed - comList.begin());
  return choice;
}

bool SetPhoneInput(ConfigStore& store, bool on) {
  return SetGeneralParam(store, "BTENA", on ? "1" : "0");
}

bool ChangePhonePort(ConfigStore& store, PhoneRemote& phone, std::string_view entry) {
  phone.ClosePhonePort();
  // The digits after "COM"; an entry without them gives 0, a port no device has.
  int number = 0;
  if (entry.size() > 3) std::from_chars(entry.data() + 3, entry.data() + entry.size(), number);
  if (!SetGeneralParam(store, "BTCOM", std::to_string(number))) return false;
  if (store.general.btMode == 0) phone.OpenPhonePort();
  return true;
}

bool SetPhoneMode(ConfigStore& store, int mode) {
  SetGeneralParam(store, "BTMODE", std::to_string(mode));
  return mode == 0;
}

bool RenameBluetoothDevice(ConfigStore& store, int number, std::string text, Prompter& prompter) {
  if (number < 0 || number >= static_cast<int>(store.general.bt.size())) return false;
  if (!IsValidName(text)) {
    prompter.ShowMessage(kInvalidDeviceName, MessageIcon::Critical, kMessageTitle);
    return false;
  }
  for (std::size_t n = 0; n < store.general.bt.size(); ++n) {
    if (!EqualsIgnoreCase(store.general.bt[n], text)) continue;
    prompter.ShowMessage(std::string(kNameInUse) + std::to_string(n) + " !", MessageIcon::Critical,
                         kMessageTitle);
    return false;
  }
  if (!SetGeneralParam(store, "bt" + std::to_string(number), text)) return false;
  prompter.ShowMessage(kNameChanged, MessageIcon::Information, kMessageTitle);
  return true;
}

}  // namespace qvx::bluetooth
