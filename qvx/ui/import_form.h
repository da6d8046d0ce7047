#pragma once

// The import/export dialog ImportForm ("Available Sections"): the sections of the configuration
// (export) or of the file opened for import, each by its description, with a check box; the
// ticked ones are exported or imported by qvx/config/importform.h.

#include <QDialog>

#include "qvx/config/prompter.h"
#include "qvx/config/store.h"

class QTreeWidget;

namespace qvx::ui {

class ImportForm final : public QDialog {
 public:
  // Opens for store.importMode. Accepted when the ticked sections were imported or exported.
  ImportForm(QWidget* parent, ConfigStore& store, Prompter& prompter);

 private:
  void Press();

  ConfigStore& store_;
  Prompter& prompter_;
  QTreeWidget* list_;
};

}  // namespace qvx::ui
