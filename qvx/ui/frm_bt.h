#pragma once

// The Bluetooth dialog frmBT: Disable BT, the phone port, Auto or Manual connection and the
// names of the ten Bluetooth devices. Every change is written at once (btconfig.h); the main
// window is told what it shows of it.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "qvx/bluetooth/phoneremote.h"
#include "qvx/config/prompter.h"
#include "qvx/config/store.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace qvx::ui {

class frmBT final : public QDialog {
 public:
  // What the main window does when the dialog changes something.
  struct Hooks {
    std::function<void(bool on)> phoneInputChanged;  // check mark and device list
    std::function<void(bool run)> autoTimerChanged;  // BTAutoTimer
  };

  // comList is the main window's port list. The two option buttons are both named
  // BTModeOption and carry their index in the property "index".
  frmBT(QWidget* parent, ConfigStore& store, bluetooth::PhoneRemote& phone,
        const std::vector<std::string>& comList, Prompter& prompter, Hooks hooks);

 private:
  void Wire();
  void ShowPhoneInput(bool on);
  void DeviceNumberChosen();

  ConfigStore& store_;
  bluetooth::PhoneRemote& phone_;
  Prompter& prompter_;
  Hooks hooks_;
  QCheckBox* disable_;
  QComboBox* ports_;
  QGroupBox* mode_;
  QRadioButton* options_[2];
  QComboBox* number_;
  QLineEdit* name_;
};

}  // namespace qvx::ui
