#pragma once

// The dialog frmX10Config: names and addresses of the X10 modules, the X10 port, Disable X10
// and the interface's RESET. It edits the program's X10 name table in place; OK writes it to
// the configuration.

#include <QDialog>
#include <string>
#include <vector>

#include "qvx/config/prompter.h"
#include "qvx/config/store.h"
#include "qvx/devices/x10.h"

class QCheckBox;
class QComboBox;
class QListWidget;

namespace qvx::ui {

class frmX10Config final : public QDialog {
 public:
  // comList is the main window's port list; irPort the infrared port's handle, which X10 uses
  // with the "Default" port. Status texts go to the main window through the prompter.
  frmX10Config(QWidget* parent, ConfigStore& store, devices::X10State& x10,
               const std::vector<std::string>& comList, platform::PortHandle irPort,
               Prompter& prompter);

 private:
  void Wire();
  void DescriptionChosen();
  void AddressChosen();
  void AddModify();
  void Delete();
  void DisableToggled(bool ticked);
  void Reset();
  void Ok();
  void RefillDescriptions();

  ConfigStore& store_;
  devices::X10State& x10_;
  platform::PortHandle irPort_;
  Prompter& prompter_;
  QListWidget* houses_;
  QListWidget* units_;
  QComboBox* description_;
  QComboBox* ports_;
  QCheckBox* disable_;
};

}  // namespace qvx::ui
