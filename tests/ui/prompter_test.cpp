// The Qt Prompter: each kind of box appears with its title and text, and the button pressed
// is the answer.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "qvx/ui/qt_prompter.h"

namespace qvx::ui {
namespace {

struct Shown {
  std::string title, text;
};

// Answers the next modal box with `button` (a QMessageBox button, or Ok/Cancel of an input
// box after typing `typed`) and records what it showed.
void AnswerNextBox(Shown& shown, QMessageBox::StandardButton button, const QString& typed = {}) {
  QTimer::singleShot(0, [&shown, button, typed] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    shown.title = box->windowTitle().toStdString();
    if (auto* message = qobject_cast<QMessageBox*>(box)) {
      shown.text = message->text().toStdString();
      message->button(button)->click();
    } else if (auto* input = qobject_cast<QInputDialog*>(box)) {
      shown.text = input->labelText().toStdString();
      input->setTextValue(typed);
      if (button == QMessageBox::Ok) input->accept(); else input->reject();
    }
  });
}

TEST(QtPrompter, ShowsEachBoxWithItsTitleAndReturnsTheAnswer) {
  QWidget parent;
  std::string status;
  QtPrompter prompter(&parent, [&status](std::string_view text) { status = text; });
  struct Case {
    std::function<std::string()> ask;
    QMessageBox::StandardButton button;
    QString typed;
    std::string title, text, answer;
  };
  const std::vector<Case> cases = {
      {[&] { return prompter.AskYesNo("Delete it?", "QVX") ? "yes" : "no"; }, QMessageBox::Yes, {},
       "QVX", "Delete it?", "yes"},
      {[&] { return prompter.AskYesNo("Display ON?", "Application Start/Stop") ? "yes" : "no"; },
       QMessageBox::No, {}, "Application Start/Stop", "Display ON?", "no"},
      {[&] { return prompter.AskOkCancel("Keep pressed.", "Record a command") ? "ok" : "cancel"; },
       QMessageBox::Cancel, {}, "Record a command", "Keep pressed.", "cancel"},
      {[&] {
         prompter.ShowMessage("Line one\r\nLine two", MessageIcon::Critical, "QVX");
         return std::string("shown");
       },
       QMessageBox::Ok, {}, "QVX", "Line one\nLine two", "shown"},
      {[&] { return prompter.AskText("Procdelay value", "Enter it", "10").value_or("<cancel>"); },
       QMessageBox::Ok, "42", "Procdelay value", "Enter it", "42"},
      {[&] { return prompter.AskText("Procdelay value", "Enter it", "10").value_or("<cancel>"); },
       QMessageBox::Cancel, "42", "Procdelay value", "Enter it", "<cancel>"},
  };
  for (const Case& c : cases) {
    Shown shown;
    AnswerNextBox(shown, c.button, c.typed);
    EXPECT_EQ(c.ask(), c.answer);
    EXPECT_EQ(shown.title, c.title);
    EXPECT_EQ(shown.text, c.text);
  }
  prompter.ShowStatus("Command received");
  EXPECT_EQ(status, "Command received");
}

// Adding a program on a system whose programs have no extensions: the dialog lists the folders
// and the executable files, whatever their names; the sound filter lists the sound files.
TEST(QtPrompter, TheProgramFilterListsExecutableFilesOnly) {
  const QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const auto make = [&](const QString& name, QFileDevice::Permissions permissions) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.setPermissions(permissions);
  };
  const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
  make(QStringLiteral("backup"), readable | QFileDevice::ExeOwner);
  make(QStringLiteral("lights.sh"), readable | QFileDevice::ExeOwner);
  make(QStringLiteral("notes.txt"), readable);
  make(QStringLiteral("tune.wav"), readable);
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("music")));

  std::vector<std::string> programs, sounds;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(dir.path());
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    // The file system model reads the folder in the background.
    const auto listed = [&](std::size_t expected) {
      std::vector<std::string> names;
      for (int wait = 0; wait < 200 && names.size() != expected; ++wait) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        names.clear();
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
          names.push_back(view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
      }
      std::sort(names.begin(), names.end());
      return names;
    };
    programs = listed(3);
    dialog->selectNameFilter(dialog->nameFilters().value(1));
    sounds = listed(2);
    dialog->reject();
  });
  QtPrompter prompter(nullptr, [](std::string_view) {});
  EXPECT_EQ(prompter.AskOpenFile("Select file to run",
                                 "Programs and Scripts|<executable>|Sound Files (*.wav;*.mp3)|*.wav;*.mp3"),
            std::nullopt);
  EXPECT_EQ(programs, (std::vector<std::string>{"backup", "lights.sh", "music"}));
  EXPECT_EQ(sounds, (std::vector<std::string>{"music", "tune.wav"}));
}

}  // namespace
}  // namespace qvx::ui
