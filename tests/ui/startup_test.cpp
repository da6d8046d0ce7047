// Start-up in the system's order, the configuration-error path, and exit.

#include <QTimer>

#include "pulsio/pulsio.h"
#include "tests/ui/window_fixture.h"

namespace qvx::test {
namespace {

using Edits = std::vector<std::pair<std::string, std::string>>;

TEST_F(WindowTest, StartsWithTheSplashTextsMenuChecksAndThePortOpen) {
  struct Case {
    Edits edits;
    std::vector<std::string> splash;
    std::vector<std::string> checked;  // the flag menus that carry a check mark
  };
  const std::vector<Case> cases = {
      {{},
       {"Loading configuration file...", "Select IR Interface...", "Initialize Infrared IN...",
        "Initialize Infrared OUT...", "Initialize X10..."},
       {"InfraredInMenu", "InfraredOutMenu", "WinampMenu", "ApplicationMenu", "MouseMenu",
        "X10ConfMenu"}},
      {{{"IRINENA= 1", "IRINENA= 0"}, {"X10ENA= 1", "X10ENA= 0"}, {"MOUSEENA= 1", "MOUSEENA= 0"},
        {"KEYBOARDENA= 0", "KEYBOARDENA= 1"}, {"IRDIMENA= 0", "IRDIMENA= 1"}},
       {"Loading configuration file...", "Select IR Interface...", "Initialize Infrared OUT..."},
       {"InfraredOutMenu", "IRDimmerMenu", "WinampMenu", "ApplicationMenu", "KeyboardMenu"}},
  };
  const std::vector<std::string> flagMenus = {
      "InfraredInMenu", "InfraredOutMenu", "IRDimmerMenu", "WinampMenu",  "ApplicationMenu",
      "MouseMenu",      "KeyboardMenu",    "X10ConfMenu",  "BluetoothConfigMenu"};
  for (const Case& c : cases) {
    splash_.clear();
    Open("", c.edits);
    EXPECT_EQ(splash_, c.splash);
    std::vector<std::string> checked;
    for (const std::string& menu : flagMenus)
      if (Menu(menu.c_str())->isChecked()) checked.push_back(menu);
    EXPECT_EQ(checked, c.checked);
    EXPECT_EQ(Caption(), "Orrin's Zarvel Rezoru Zazudaz v1.0.0");
    EXPECT_EQ(Status(), "Application started successfully.");
    EXPECT_EQ(Text("ReceiverType"), "DCD Std");
    EXPECT_EQ(Text("ProcDelayparameter"), "10");
    EXPECT_TRUE(Menu("MonitoringStopMenu")->isChecked());
    EXPECT_TRUE(window_->isVisible());
  }
  // COM1 and COM2 exist; COM1, the infrared port, is open and lent to Pulsio.
  auto* ports = Find<QComboBox>("ComList");
  ASSERT_EQ(ports->count(), 2);
  EXPECT_EQ(ports->currentText().toStdString(), "COM1");
  EXPECT_TRUE(ir_->IsOpen());
  EXPECT_EQ(GetHandle(), window_->Interface().handle);
  EXPECT_EQ(Find<QTimer>("SecondTimer")->interval(), 200);
  // BTMODE 0 enables the reconnection timer; stopping monitoring at the end disables it and
  // the phone monitor.
  EXPECT_FALSE(Find<QTimer>("BTAutoTimer")->isActive());
  EXPECT_FALSE(Find<QTimer>("BTMonTimer")->isActive());
  EXPECT_FALSE(Find<QTimer>("IRMonTimer")->isActive());
}

TEST_F(WindowTest, AnInvalidConfigurationIsReportedAndClosesTheWindow) {
  const std::string broken = EditedConfig({{"X10COM= 0\r\n", ""}});
  Open(broken);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_TRUE(prompter_.messages[0].starts_with(
      "QVX: There is an error in the configuration file.\r\nThe application will be closed.\r\n"))
      << prompter_.messages[0];
  EXPECT_NE(prompter_.messages[0].find("X10COM="), std::string::npos);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_FALSE(ir_->IsOpen());
  EXPECT_EQ(SavedConfig(), broken);
}

TEST_F(WindowTest, MonitorOnStartsMonitoringMinimised) {
  Open("", {{"MONITOR= 0", "MONITOR= 1"}});
  EXPECT_TRUE(window_->isMinimized());
  EXPECT_EQ(Caption(), "Zarvel Monitor v1.0.0");
  EXPECT_EQ(Text("Label111"), "IN");
  EXPECT_EQ(Text("Label112"), "OUT");
  EXPECT_TRUE(Find("RecCmd")->isVisibleTo(window_.get()));
  EXPECT_FALSE(Find("Protocol")->isVisibleTo(window_.get()));
  EXPECT_TRUE(Find<QTimer>("IRMonTimer")->isActive());
  EXPECT_TRUE(Menu("MonitoringStartMenu")->isChecked());
  EXPECT_EQ(Status(), "Application started successfully.");
}

TEST_F(WindowTest, ExitClosesThePortTakesItBackFromPulsioAndSaves) {
  Open();
  Menu("FileExit")->trigger();
  EXPECT_FALSE(ir_->IsOpen());
  EXPECT_EQ(GetHandle(), 0);
  EXPECT_FALSE(window_->isVisible());
  // The selection of the first device wrote PROCOTOL 0 and MONITOR 0: the file is as delivered.
  EXPECT_EQ(SavedConfig(), ReadFile(DeliveredConfig()));
}

}  // namespace
}  // namespace qvx::test
