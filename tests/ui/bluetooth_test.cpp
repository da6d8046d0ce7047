// The phone remote in the main window and the Bluetooth dialog, offscreen: a simulated phone
// connects when monitoring starts and its key is shown and carried out; the dialog's changes
// are compared with the whole file.

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "platform/serial.h"
#include "platform/sim/phone_peer.h"
#include "tests/ui/window_fixture.h"

namespace qvx::test {
namespace {

std::string Edited(std::string text, const std::vector<std::pair<std::string, std::string>>& edits) {
  for (const auto& [from, to] : edits) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

class PhoneWindowTest : public WindowTest {
 protected:
  PhoneWindowTest() {
    phone_ = platform::sim::InstallPhonePeer("uiphone", clock_);
    ::setenv("QVX_COM5", "sim:uiphone", 1);
  }
  ~PhoneWindowTest() override {
    window_.reset();
    platform::UnregisterSimPeer("uiphone");
  }
  QRadioButton* ModeOption(int index) {
    for (auto* option : window_->findChildren<QRadioButton*>(QStringLiteral("BTModeOption")))
      if (option->property("index").toInt() == index) return option;
    ADD_FAILURE() << "BTModeOption " << index;
    return nullptr;
  }
  bool Listed(const char* device) { return Find<QComboBox>("Protocol")->findText(device) >= 0; }

  std::shared_ptr<platform::sim::PhonePeer> phone_;
};

TEST_F(PhoneWindowTest, APhoneKeyIsShownAndCarriedOut) {
  Open("", {{"X10COM= 0", "X10COM= 2"}, {"BTCOM= 2", "BTCOM= 5"}, {"BTENA= 0", "BTENA= 1"},
            {"VCR&Play,Winamp&PLAY\r\n", "VCR&Play,Winamp&PLAY\r\nBT0&5,X10&Lamp&On\r\n"}});
  phone_->Phone().SetScript({{100, "+CKEV: 5,1"}, {200, "+CKEV: 5,0"}});
  Menu("MonitoringStartMenu")->trigger();
  EXPECT_EQ(Text("RecCmd"), "BT&CONNECTED");
  EXPECT_EQ(Text("ExecCmd"), "none");
  EXPECT_EQ(Background("RecCmd"), 0xFFFF00u);
  EXPECT_TRUE(Find<QTimer>("BTMonTimer")->isActive());
  EXPECT_TRUE(Find<QTimer>("BTAutoTimer")->isActive());

  for (int tick = 0; tick < 5 && Text("RecCmd") != "BT0&5"; ++tick) {
    clock_.SleepMs(100);
    window_->BTMonTimerTick();
  }
  EXPECT_EQ(Text("RecCmd"), "BT0&5");
  EXPECT_EQ(Text("ExecCmd"), "X10&Lamp&On;");
  EXPECT_EQ(Status(), "X10-lamp On.");
  EXPECT_EQ(cm11_->Interface().Transmissions().size(), 2u);

  // Out of range: the next poll loses the link.
  phone_->SetInRange(false);
  window_->BTMonTimerTick();
  EXPECT_EQ(Text("RecCmd"), "BT&DISCONNECTED");
  EXPECT_EQ(Status(), "BT disconnected!");
  EXPECT_EQ(Background("RecCmd"), 0x00FFFFu);

  Menu("MonitoringStopMenu")->trigger();
  EXPECT_FALSE(Find<QTimer>("BTMonTimer")->isActive());
  EXPECT_FALSE(Find<QTimer>("BTAutoTimer")->isActive());
  EXPECT_EQ(window_->Phone().PortHandle(), platform::kPortClosed);
}

TEST_F(PhoneWindowTest, TheBluetoothDialogWritesEachChangeAtOnce) {
  Open();
  const std::string before = SavedConfig();
  Menu("BluetoothConfigMenu")->trigger();
  auto* dialog = Find<QDialog>("frmBT");
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(window_->menuBar()->isEnabled());
  auto* disable = Find<QCheckBox>("BTCheckbox");
  auto* ports = Find<QComboBox>("BtComListbox");
  EXPECT_TRUE(disable->isChecked());
  EXPECT_FALSE(ports->isEnabled());
  EXPECT_EQ(ports->count(), 3);  // COM1, COM2 and the phone's COM5
  EXPECT_EQ(Text("BtComListbox"), "COM2");
  EXPECT_TRUE(ModeOption(0)->isChecked());
  EXPECT_EQ(Text("BTDevNrCombo"), "0");
  EXPECT_EQ(dialog->height(), ui::Pixels(1560));

  disable->click();
  EXPECT_TRUE(ports->isEnabled());
  EXPECT_TRUE(ModeOption(1)->isEnabled());
  EXPECT_EQ(dialog->height(), ui::Pixels(2835));
  EXPECT_TRUE(Menu("BluetoothConfigMenu")->isChecked());
  EXPECT_TRUE(Listed("BT"));

  // COM1 is the infrared port, so the phone cannot have it; COM2 opens at once in Auto mode.
  Choose("BtComListbox", "COM1");
  EXPECT_EQ(window_->Phone().PortHandle(), platform::kPortFailed);
  Choose("BtComListbox", "COM2");
  EXPECT_GT(window_->Phone().PortHandle(), 0);

  ModeOption(1)->click();
  EXPECT_FALSE(Find<QTimer>("BTAutoTimer")->isActive());
  EXPECT_NE(SavedConfig().find("BTMODE= 1\r\n"), std::string::npos);
  ModeOption(0)->click();
  EXPECT_TRUE(Find<QTimer>("BTAutoTimer")->isActive());

  struct Rename {
    const char* number;
    const char* name;
    const char* message;
  };
  const Rename renames[] = {
      {"3", "Kitchen", "QVX: Current device name was changed."},
      {"2", "  Hall ", "QVX: Current device name was changed."},
      {"2", "hALL", "QVX: This name is in use for device 2 !"},
      {"5", "KITCHEN", "QVX: This name is in use for device 3 !"},
      {"4", "Hall&Stairs", "QVX: Invalid device name!"},
      {"4", "", "QVX: This name is in use for device 0 !"},
  };
  for (const Rename& r : renames) {
    Choose("BTDevNrCombo", r.number);
    Find<QLineEdit>("BTDevText")->setText(QString::fromLatin1(r.name));
    prompter_.messages.clear();
    Click("ButtonChange");
    EXPECT_EQ(prompter_.messages, std::vector<std::string>{r.message}) << r.number << r.name;
  }
  Choose("BTDevNrCombo", "3");
  EXPECT_EQ(Text("BTDevText"), "Kitchen");
  EXPECT_EQ(SavedConfig(), Edited(before, {{"BTENA= 0", "BTENA= 1"},
                                           {"BT2= \r\n", "BT2= Hall\r\n"},
                                           {"BT3= \r\n", "BT3= Kitchen\r\n"}}));

  disable->click();
  EXPECT_FALSE(Listed("BT"));
  EXPECT_FALSE(Menu("BluetoothConfigMenu")->isChecked());
  EXPECT_EQ(dialog->height(), ui::Pixels(1560));
  Click("OKButton");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window_->findChild<QDialog*>(QStringLiteral("frmBT")), nullptr);
  EXPECT_TRUE(window_->menuBar()->isEnabled());
  EXPECT_EQ(SavedConfig(), Edited(before, {{"BT2= \r\n", "BT2= Hall\r\n"},
                                           {"BT3= \r\n", "BT3= Kitchen\r\n"}}));
}

// A phone port the machine does not list (a phone out of range) is shown as it is, not
// replaced by the first port of the list, which is usually the infrared port.
TEST_F(PhoneWindowTest, TheBluetoothDialogShowsThePhonePortEvenWhenItIsNotListed) {
  Open("", {{"BTCOM= 2", "BTCOM= 7"}});
  Menu("BluetoothConfigMenu")->trigger();
  auto* ports = Find<QComboBox>("BtComListbox");
  ASSERT_NE(ports, nullptr);
  EXPECT_EQ(ports->count(), 4);  // COM1, COM2, COM5 and the phone's COM7
  EXPECT_EQ(Text("BtComListbox"), "COM7");
  Click("OKButton");
}

}  // namespace
}  // namespace qvx::test
