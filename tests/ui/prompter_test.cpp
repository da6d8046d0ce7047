// The Qt Prompter: each kind of box appears with its title and text, and the button pressed
// is the answer.

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
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

}  // namespace
}  // namespace qvx::ui
