#pragma once

// The device definition dialog NewProtocol ("Device Parameters"): the name, description and
// seven protocol parameters of an infrared device, for a new device or the edited one. The
// fields, presets and Save's checks are those of qvx/ircode/devicedialog.h.

#include <QDialog>
#include <optional>
#include <string>

#include "qvx/config/prompter.h"
#include "qvx/config/store.h"
#include "qvx/ircode/devicedialog.h"

class QComboBox;

namespace qvx::ui {

class NewProtocol final : public QDialog {
 public:
  // Shows `fields` as OpenDeviceDialog opened them. deviceList is the main window's device list
  // (comma-terminated), which a new name must not be in.
  NewProtocol(QWidget* parent, ConfigStore& store, Prompter& prompter, ircode::DeviceDialog fields,
              std::string deviceList);

  // After a save: the main window's slot-length text (SENDPLS with a leading blank).
  const std::optional<std::string>& SavedSendPulse() const { return savedSendPulse_; }
  // The device list position the main window selects again when the dialog closes.
  int ReturnPosition() const { return fields_.returnPosition; }

 private:
  void ShowFields();
  void ReadFields();
  void Save();

  ConfigStore& store_;
  Prompter& prompter_;
  ircode::DeviceDialog fields_;
  std::string deviceList_;
  std::optional<std::string> savedSendPulse_;
  QComboBox* protocols_;
};

}  // namespace qvx::ui
