#include "qvx/ui/qt_prompter.h"

#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QMessageBox>
#include <QSortFilterProxyModel>

#include "qvx/ui/model/presentation.h"
#include "qvx/ui/qt_text.h"

namespace qvx::ui {
namespace {

// Message texts break their lines with CR LF; a Qt label wants LF alone.
QString BoxText(std::string_view text) {
  QString shown = ToQt(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::NoIcon: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton Ask(QWidget* parent, QMessageBox::Icon icon, std::string_view text,
                                std::string_view title, QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, ToQt(title), BoxText(text), buttons, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

// The file list of a file dialog while its filter at `executableFilter` is chosen: the folders
// and the files the user may execute, whatever their names.
class ExecutableFiles final : public QSortFilterProxyModel {
 public:
  ExecutableFiles(QFileDialog& dialog, QString executableFilter)
      : QSortFilterProxyModel(&dialog), dialog_(dialog), executableFilter_(std::move(executableFilter)) {}

  // Applies the filter the dialog shows now.
  void Refilter() { invalidateFilter(); }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (files == nullptr || dialog_.selectedNameFilter() != executableFilter_) return true;
    const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
    return info.isDir() || info.isExecutable();
  }

 private:
  QFileDialog& dialog_;
  QString executableFilter_;
};

// The file a file dialog was confirmed with, as the file system spells it.
std::optional<std::string> ChosenFile(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

}  // namespace

QtPrompter::QtPrompter(QWidget* parent, std::function<void(std::string_view)> showStatus)
    : parent_(parent), showStatus_(std::move(showStatus)) {}

void QtPrompter::ShowStatus(std::string_view text) { showStatus_(text); }

void QtPrompter::ShowMessage(std::string_view text, MessageIcon icon, std::string_view title) {
  Ask(parent_, BoxIcon(icon), text, title, QMessageBox::Ok);
}

bool QtPrompter::AskYesNo(std::string_view question, std::string_view title, MessageIcon icon) {
  return Ask(parent_, BoxIcon(icon), question, title, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

bool QtPrompter::AskOkCancel(std::string_view text, std::string_view title, MessageIcon icon) {
  return Ask(parent_, BoxIcon(icon), text, title, QMessageBox::Ok | QMessageBox::Cancel) ==
         QMessageBox::Ok;
}

std::optional<std::string> QtPrompter::AskText(std::string_view title, std::string_view prompt,
                                               std::string_view initial) {
  QInputDialog dialog(parent_);
  dialog.setObjectName(QStringLiteral("InputBox"));
  dialog.setWindowTitle(ToQt(title));
  dialog.setLabelText(BoxText(prompt));
  dialog.setTextValue(ToQt(initial));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return FromQt(dialog.textValue());
}

std::optional<std::string> QtPrompter::AskOpenFile(std::string_view title,
                                                   std::string_view filter) {
  QFileDialog dialog(parent_, ToQt(title), QString(), ToQt(QtFileFilter(filter)));
  dialog.setObjectName(QStringLiteral("FileDialog"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (const int executable = ExecutableFilterIndex(filter); executable >= 0) {
    // Qt's own dialog, which takes a proxy model; a desktop's dialog would list every file.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    auto* files = new ExecutableFiles(dialog, dialog.nameFilters().value(executable));
    dialog.setProxyModel(files);
    QObject::connect(&dialog, &QFileDialog::filterSelected, files, [files] { files->Refilter(); });
  }
  return ChosenFile(dialog);
}

std::optional<std::string> QtPrompter::AskSaveFile(std::string_view title, std::string_view filter,
                                                   std::string_view defaultExt) {
  QFileDialog dialog(parent_, ToQt(title), QString(), ToQt(QtFileFilter(filter)));
  dialog.setObjectName(QStringLiteral("FileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(ToQt(defaultExt));
  // The caller asks its own replace question.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  return ChosenFile(dialog);
}

}  // namespace qvx::ui
