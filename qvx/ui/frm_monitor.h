#pragma once

// The event editor frmMonitor: pairs an input event with an output command and adds the pair
// to the event table, lists and deletes its lines, and cleans out the orphaned ones. The lists
// and the edits are the core's (eventeditor.h); this window shows them and passes on choices.

#include <QDialog>

#include "qvx/config/prompter.h"
#include "qvx/config/store.h"
#include "qvx/monitor/eventeditor.h"

class QComboBox;
class QLabel;
class QListWidget;

namespace qvx::ui {

class frmMonitor final : public QDialog {
 public:
  // Loads the lists from the configuration; questions, message boxes and status texts go
  // through the prompter.
  frmMonitor(QWidget* parent, ConfigStore& store, Prompter& prompter);

 private:
  void Wire();
  // Shows the editor's lists, selections and the phone entry controls.
  void Show();

  ConfigStore& store_;
  Prompter& prompter_;
  monitor::EventEditor editor_;
  QComboBox* irDev_;
  QComboBox* irCmd_;
  QComboBox* outDev_;
  QComboBox* outCmd_;
  QComboBox* btDevList_;
  QLabel* btDevLabel_;
  QListWidget* monEvent_;
};

}  // namespace qvx::ui
