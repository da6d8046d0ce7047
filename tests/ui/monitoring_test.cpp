// Monitoring in the main window and the event editor, offscreen, on the simulated receiver: a
// key of the delivered remotes pressed while monitoring is named, shown and carried out, and the
// editor's edits are compared with the whole file.

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QTimer>

#include "platform/sim/cm11_peer.h"
#include "qvx/ui/model/demo_remote.h"
#include "tests/ui/window_fixture.h"

namespace qvx::test {
namespace {

// The delivered [Monitoring] section's last line, after which Add inserts.
constexpr const char* kLastEvent = "VCR&Play,Winamp&PLAY\r\n";

std::string Inserted(std::string text, const std::string& after, const std::string& line) {
  const std::size_t at = text.find(after);
  EXPECT_NE(at, std::string::npos) << after;
  return text.insert(at + after.size(), line);
}

std::string Removed(std::string text, const std::string& line) {
  const std::size_t at = text.find(line);
  EXPECT_NE(at, std::string::npos) << line;
  return text.erase(at, line.size());
}

TEST_F(WindowTest, AKeyPressedWhileMonitoringIsShownAndCarriedOut) {
  // X10 on the CM11 of COM2, so that the table's X10&Lamp&On reaches an interface.
  Open("", {{"X10COM= 0", "X10COM= 2"}});
  EXPECT_FALSE(Find<QTimer>("IRMonTimer")->isActive());
  Menu("MonitoringStartMenu")->trigger();
  EXPECT_EQ(Status(), "Monitoring started OK.");
  EXPECT_EQ(Caption(), "Zarvel Monitor v1.0.0");
  EXPECT_EQ(Text("Label111"), "IN");
  EXPECT_EQ(Text("Label112"), "OUT");
  EXPECT_TRUE(Find("RecCmd")->isVisibleTo(window_.get()));
  EXPECT_FALSE(Find("SendCmd")->isVisibleTo(window_.get()));
  EXPECT_TRUE(Find<QTimer>("IRMonTimer")->isActive());
  EXPECT_TRUE(Menu("MonitoringStartMenu")->isChecked());
  EXPECT_FALSE(Menu("MonitoringStopMenu")->isChecked());

  // A tick in the dark ends at once; one that sees light samples the press.
  window_->IRMonTimerTick();
  EXPECT_EQ(Text("RecCmd"), "");
  EXPECT_TRUE(cm11_->Interface().Transmissions().empty());

  bool toggle = false;
  const ui::DemoKey& power = ui::MonitoredDemoKeys()[0];
  ASSERT_EQ(power.key, "Power");
  ir_->PlayRemote(ui::DemoPress(SavedConfig(), power, toggle), 0);
  window_->IRMonTimerTick();
  EXPECT_EQ(Text("RecCmd"), "TV&Power");
  EXPECT_EQ(Text("ExecCmd"), "X10&Lamp&On;");
  EXPECT_EQ(Status(), "X10-lamp On.");
  EXPECT_FALSE(Text("plen1").empty());
  // The Lamp's address and On went out on the powerline.
  const auto sent = cm11_->Interface().Transmissions();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_FALSE(sent[0].IsFunction());
  EXPECT_TRUE(sent[1].IsFunction());
  EXPECT_EQ(sent[1].code & 0x0F, 0x02);

  Menu("MonitoringStopMenu")->trigger();
  EXPECT_EQ(Status(), "Monitoring is stopped.");
  EXPECT_EQ(Text("Label111"), "Dev.");
  EXPECT_EQ(Text("Label112"), "Cmd.");
  EXPECT_FALSE(Find("RecCmd")->isVisibleTo(window_.get()));
  EXPECT_TRUE(Find("Protocol")->isVisibleTo(window_.get()));
  EXPECT_FALSE(Find<QTimer>("IRMonTimer")->isActive());
  EXPECT_TRUE(Menu("MonitoringStopMenu")->isChecked());
  EXPECT_NE(SavedConfig().find("MONITOR= 0\r\n"), std::string::npos);

  // A standard receiver that shows light while idle cannot be watched; the start says so and
  // stays formally on.
  ir_->SetPolarity(platform::sim::DcdPolarity::OnWhileLight);
  Menu("RestartMonMenu")->trigger();
  EXPECT_EQ(Status(), "Rec Interface invalid. Cannot start monitoring");
  EXPECT_TRUE(Menu("MonitoringStartMenu")->isChecked());
}

TEST_F(WindowTest, TheEventEditorAddsDeletesAndCleansLinesOfTheFile) {
  const std::string orphan = "DVD&Eject,Winamp&STOP\r\n";
  Open("", {{kLastEvent, std::string(kLastEvent) + orphan}});
  const std::string opened = SavedConfig();
  Menu("MonitorConfigureMenu")->trigger();
  auto* editor = window_->findChild<QDialog*>("frmMonitor");
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->isVisible());
  EXPECT_FALSE(window_->centralWidget()->isEnabled());
  EXPECT_FALSE(window_->menuBar()->isEnabled());
  EXPECT_EQ(Text("BtDevLabel"), "BT0");

  Choose("IRDev", "TV");
  Choose("IRCmd", "Ch+");
  Choose("OutDev", "Winamp");
  Choose("OutCmd", "PLAY");
  prompter_.yesNoAnswers = {true};
  Click("AdMonButton");
  const std::string added = Inserted(opened, orphan, "TV&Ch+,Winamp&PLAY\r\n");
  EXPECT_EQ(SavedConfig(), added);
  EXPECT_EQ(prompter_.questionTitles.back(), "Infrared events");
  // The same pair again is refused and writes nothing.
  Click("AdMonButton");
  EXPECT_EQ(prompter_.messages.back(),
            "Zarvarel Input Event: This event exists in the configuration file.\r\n"
            "Please select another event.");
  EXPECT_EQ(SavedConfig(), added);

  auto* events = Find<QListWidget>("MonEvent");
  const auto lineRow = [&](const char* line) {
    const auto found = events->findItems(QString::fromLatin1(line), Qt::MatchExactly);
    return found.isEmpty() ? -1 : events->row(found.front());
  };
  events->setCurrentRow(lineRow("TV&Vol-,Winamp&VOLDOWN"));
  prompter_.yesNoAnswers = {false, true};
  Click("Delete");
  EXPECT_EQ(SavedConfig(), added);
  // The list was filled again with its first line selected.
  events->setCurrentRow(lineRow("TV&Vol-,Winamp&VOLDOWN"));
  Click("Delete");
  EXPECT_EQ(prompter_.questions.back(),
            "You are sure that you want to delete the Event: TV&Vol-,Winamp&VOLDOWN ?");
  const std::string deleted = Removed(added, "TV&Vol-,Winamp&VOLDOWN\r\n");
  EXPECT_EQ(SavedConfig(), deleted);
  EXPECT_EQ(lineRow("TV&Vol-,Winamp&VOLDOWN"), -1);

  Click("CleanButton");
  EXPECT_EQ(SavedConfig(), Removed(deleted, orphan));
  EXPECT_EQ(prompter_.messages.back(),
            "Zarvel Manager: The followig orphaned events were deleted:\r\n\r\n" + orphan);
  EXPECT_EQ(lineRow("DVD&Eject,Winamp&STOP"), -1);

  Click("Command2");
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window_->findChild<QDialog*>("frmMonitor"), nullptr);
  EXPECT_TRUE(window_->centralWidget()->isEnabled());
  EXPECT_EQ(Status(), "");
}

}  // namespace
}  // namespace qvx::test
