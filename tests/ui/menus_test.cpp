// The menus: receiver types, ProcDelay, plug-in switches, the X10 dialog, help, and the tray.

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include "qvx/ui/frm_main.h"
#include "tests/ui/window_fixture.h"

namespace qvx::test {
namespace {

// Runs `steps` on the modal dialog that `open` shows, once it is up.
void OnModalDialog(const std::function<void()>& open, const std::function<void(QDialog&)>& steps) {
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    steps(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  open();
}

template <typename T>
T* In(QDialog& dialog, const char* name) {
  T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

void ChooseIn(QDialog& dialog, const char* name, const QString& entry) {
  auto* combo = In<QComboBox>(dialog, name);
  const int index = combo->findText(entry);
  ASSERT_GE(index, 0) << entry.toStdString();
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

TEST_F(WindowTest, ReceiverMenusSetTheCaptionTheTickAndItype) {
  Open();
  struct Case {
    const char* menu;
    std::string caption, itype;
  };
  const std::vector<Case> cases = {{"IRMouseMenu", "IRMouse", "ITYPE= 1"},
                                   {"FirmMenu", "FirM", "ITYPE= 4"},
                                   {"UnavailableMenu", "Unknown", "ITYPE= 9"},
                                   {"StdDcdMenu", "DCDStd", "ITYPE= 0"}};
  for (const Case& c : cases) {
    Menu(c.menu)->trigger();
    EXPECT_EQ(Text("ReceiverType"), c.caption);
    EXPECT_TRUE(Menu(c.menu)->isChecked());
    EXPECT_NE(SavedConfig().find(c.itype + "\r\n"), std::string::npos) << c.itype;
    EXPECT_EQ(Find("ZoneNr")->isVisibleTo(window_.get()), c.caption == "FirM");
  }
  Menu("IRMouseMenu")->trigger();
  Click("TxDCheckBox");
  EXPECT_NE(SavedConfig().find("ITYPE= 17\r\n"), std::string::npos);
  EXPECT_FALSE(Find("IrDACheckBox")->isEnabled());
  Menu("AutoDetectMenu")->trigger();
  EXPECT_EQ(Status(), "Cannot detect interface or no interface connected to COM1.");
}

TEST_F(WindowTest, ProcDelayAsksUntilTheValueFitsAndSwitchesRewriteTheirKeys) {
  Open();
  prompter_.textAnswers = {std::string("101"), std::string("42")};
  Menu("MenuProcDelay")->trigger();
  EXPECT_EQ(prompter_.messages, std::vector<std::string>{"QVX: The value must be between 0 and 100"});
  EXPECT_EQ(Text("ProcDelayparameter"), "42");
  EXPECT_NE(SavedConfig().find("PROCDELAY= 42\r\n"), std::string::npos);

  Menu("WinampMenu")->trigger();
  EXPECT_FALSE(Menu("WinampMenu")->isChecked());
  EXPECT_NE(SavedConfig().find("WINAMPENA= 0\r\n"), std::string::npos);
  EXPECT_EQ(Find<QComboBox>("Protocol")->findText("Winamp"), -1);
  Menu("KeyboardMenu")->trigger();
  EXPECT_TRUE(Menu("KeyboardMenu")->isChecked());
  EXPECT_NE(SavedConfig().find("KEYBOARDENA= 1\r\n"), std::string::npos);
  // A check mark that only shows a flag does not turn over by a click.
  Menu("BluetoothConfigMenu")->trigger();
  EXPECT_FALSE(Menu("BluetoothConfigMenu")->isChecked());
}

TEST_F(WindowTest, TheX10DialogEditsModulesAndWritesSectionPortAndSwitch) {
  Open();
  const std::string before = SavedConfig();
  OnModalDialog([this] { Menu("X10ConfMenu")->trigger(); }, [](QDialog& dialog) {
    auto* ports = In<QComboBox>(dialog, "X10COMList");
    ASSERT_EQ(ports->count(), 2);  // COM1 is the infrared port
    EXPECT_EQ(ports->currentText().toStdString(), "Default");
    EXPECT_EQ(In<QListWidget>(dialog, "HCListbox")->currentRow(), 0);  // Lamp at A1
    ChooseIn(dialog, "X10DescCombo", "Heater");
    EXPECT_EQ(In<QListWidget>(dialog, "DCListbox")->currentRow(), 1);
    dialog.close();
  });
  EXPECT_EQ(Status(), "X10 configuration cancelled.");
  EXPECT_EQ(SavedConfig(), before);

  prompter_.yesNoAnswers = {true};
  OnModalDialog([this] { Menu("X10ConfMenu")->trigger(); }, [](QDialog& dialog) {
    In<QListWidget>(dialog, "HCListbox")->setCurrentRow(2);
    In<QListWidget>(dialog, "DCListbox")->setCurrentRow(2);
    In<QComboBox>(dialog, "X10DescCombo")->setEditText("Fan");
    In<QPushButton>(dialog, "X10AddButton")->click();
    ChooseIn(dialog, "X10DescCombo", "Heater");
    In<QPushButton>(dialog, "X10DelButton")->click();
    ChooseIn(dialog, "X10COMList", "COM2");
    In<QPushButton>(dialog, "X10OKButton")->click();
  });
  EXPECT_EQ(prompter_.questions, std::vector<std::string>{"Do you want to delete the selected device?"});
  EXPECT_EQ(Status(), "X10 configuration saved OK.");
  EXPECT_EQ(SavedConfig(), EditedConfig({{"X10COM= 0", "X10COM= 2"},
                                         {"/X10/*a2,Heater\r\n", "/X10/*c3,Fan\r\n"}}));
  EXPECT_GE(Find<QComboBox>("Protocol")->findText("X10&Fan"), 0);
  EXPECT_EQ(Find<QComboBox>("Protocol")->findText("X10&Heater"), -1);

  // The module now switches through the simulated CM11 on COM2.
  Choose("Protocol", "X10&Lamp");
  Choose("SendCmd", "On");
  Click("SendButton");
  EXPECT_EQ(Status(), "X10-lamp On.");
  const std::vector<platform::sim::X10Transmission> sent = {{0x04, 0x66}, {0x06, 0x62}};
  EXPECT_EQ(cm11_->Interface().Transmissions(), sent);

  OnModalDialog([this] { Menu("X10ConfMenu")->trigger(); }, [](QDialog& dialog) {
    In<QCheckBox>(dialog, "DisableX10Checkbox")->click();
    EXPECT_FALSE(In<QComboBox>(dialog, "X10COMList")->isEnabled());
    EXPECT_EQ(dialog.height(), 1800 / 15);
    In<QPushButton>(dialog, "X10OKButton")->click();
  });
  EXPECT_FALSE(Menu("X10ConfMenu")->isChecked());
  EXPECT_NE(SavedConfig().find("X10ENA= 0\r\n"), std::string::npos);
  EXPECT_GE(Find<QComboBox>("Protocol")->findText("X10"), 0);  // the section, as a device
}

TEST_F(WindowTest, HelpMenusOpenTheManualAndThePageAndAnswerWithTheirBoxes) {
  Open();
  Menu("HelpContentMenu")->trigger();
  Menu("WebPageMenu")->trigger();
  EXPECT_EQ(opened_, (std::vector<std::string>{(BinDir() / "qvx.html").string(),
                                               std::string(ui::kProjectPage)}));
  EXPECT_TRUE(std::filesystem::exists(BinDir() / "qvx.html"));
  Menu("UpdateMenu")->trigger();
  Menu("AboutMenu")->trigger();
  ASSERT_EQ(prompter_.messages.size(), 2u);
  EXPECT_EQ(prompter_.messages[0], "QVX: Not yet implemented");
  EXPECT_TRUE(prompter_.messages[1].starts_with("QVX: Zarvel Rezoru Zazudaz v1.0.0\r\n"));
  Menu("AddPluginMenu")->trigger();
  EXPECT_EQ(Status(), "Not yet implemented");
}

TEST_F(WindowTest, TheTrayMenuIsAPopUpThatTheRightButtonOpens) {
  Open();
  auto* tray = Find<QMenu>("mnuSystray");
  for (QAction* action : window_->menuBar()->actions()) EXPECT_NE(action->menu(), tray);
  std::vector<std::string> captions;
  for (QAction* action : tray->actions()) captions.push_back(action->text().toStdString());
  EXPECT_EQ(captions, (std::vector<std::string>{"Restore", "Start Monitor", "Stop Monitor",
                                                "Restart Monitor", "Exit"}));
  window_->TrayActivated(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(tray->isVisible());
  window_->TrayActivated(QSystemTrayIcon::Context);
  EXPECT_TRUE(tray->isVisible());
  tray->hide();

  Menu("mnuStartMonitor")->trigger();
  EXPECT_TRUE(Menu("mnuStartMonitor")->isChecked());
  EXPECT_FALSE(Menu("mnuStopMonitor")->isChecked());
  EXPECT_EQ(Status(), "Monitoring started OK.");
  EXPECT_NE(SavedConfig().find("MONITOR= 1\r\n"), std::string::npos);
  Menu("mnuStopMonitor")->trigger();
  EXPECT_FALSE(Menu("mnuStartMonitor")->isChecked());
  EXPECT_TRUE(Menu("mnuStopMonitor")->isChecked());
  EXPECT_EQ(Status(), "Monitoring is stopped.");
  // Starting shrank the window; the device selection after stopping keeps it compact.
  EXPECT_EQ(Caption(), "ZVX Send Mgr v1.0.0");
  // Where there is no tray, minimising leaves the window an ordinary minimised window.
  window_->showMinimized();
  EXPECT_TRUE(window_->isMinimized());
  Menu("mnuExit")->trigger();
  EXPECT_FALSE(ir_->IsOpen());
}

TEST_F(WindowTest, MonitoringNeedsAnInputAndKeepsTheReceiversMessage) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> edits;
    std::string status;
    bool monitoring;
  };
  const std::vector<Case> cases = {
      {{{"IRINENA= 1", "IRINENA= 0"}}, "There is no input plugin available to monitor!", false},
      {{{"ITYPE= 0", "ITYPE= 2"}}, "IR Man interface is not yet supported for monitoring!", true},
      {{}, "Monitoring started OK.", true},
  };
  for (const Case& c : cases) {
    Open("", c.edits);
    Menu("MonitoringStartMenu")->trigger();
    EXPECT_EQ(Status(), c.status);
    EXPECT_EQ(Menu("MonitoringStartMenu")->isChecked(), c.monitoring);
    EXPECT_EQ(Caption() == "Zarvel Monitor v1.0.0", c.monitoring);
  }
}

TEST_F(WindowTest, TheSecondTimerCountsTicks) {
  Open();
  window_->SecondTimerTick();
  window_->SecondTimerTick();
  EXPECT_EQ(window_->SecondTicks(), 2);
}

}  // namespace
}  // namespace qvx::test
