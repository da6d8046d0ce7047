// What the window shows and allows for each kind of device, the two layouts and MinButton.

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

#include "qvx/ui/model/presentation.h"
#include "tests/ui/window_fixture.h"

namespace qvx::test {
namespace {

class SelectionTest : public WindowTest {
 protected:
  bool Shown(const char* name) const { return Find(name)->isVisibleTo(window_.get()); }
  bool Enabled(const char* name) const { return Find(name)->isEnabled(); }
  bool InterfaceMenuShown() const { return Find<QMenu>("InterfaceMenu")->menuAction()->isVisible(); }
  bool Compact() const { return window_->width() == ui::Pixels(3540); }
};

TEST_F(SelectionTest, EachKindOfDeviceHasItsColoursCaptionControlsAndMenus) {
  struct Case {
    std::string device;
    std::string caption;
    uint32_t colour;  // of both lists
    bool send, record, interfaceMenu, deviceMenus, addApplication, compact;
    std::string toolTip, firstCommand, code;
  };
  const std::vector<Case> cases = {
      {"TV", "Orrin's Zarvel Rezoru Zazudaz v1.0.0", 0xFF00FF, true, true, true, true, false, false,
       " Living room TV", "Power", "G00100000110111110001000011101111"},
      {"Recorded", "Orrin's Zarvel Rezoru Zazudaz v1.0.0", 0x00FF00, true, true, true, true, false,
       false, "Virtual device used to create IR devices or to learn IR commands", "Recorded", ""},
      {"X10&Lamp", "X10 Remote v1.0.0", 0x00FFFF, true, true, false, false, false, true,
       "Output device selected", "All-U-Off", ""},
      {"Winamp", "Special Remote v1.0.0", 0x00FFFF, true, false, false, false, false, true,
       "Output device selected", "POWER ON", ""},
      {"Application", "Special Remote v1.0.0", 0x00FFFF, true, false, false, false, true, true,
       "Output device selected", "Terminal", "@/usr/bin/xterm"},
      {"Mouse", "Special Remote v1.0.0", 0x00FFFF, true, false, false, false, false, true,
       "Output device selected", "LEFT CLICK", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    Open();
    Find<QLineEdit>("CodeStr")->clear();
    Choose("Protocol", c.device);
    EXPECT_EQ(Caption(), c.caption);
    EXPECT_EQ(Background("Protocol"), c.colour);
    EXPECT_EQ(Background("SendCmd"), c.colour);
    EXPECT_EQ(Enabled("SendButton"), c.send);
    EXPECT_EQ(Enabled("RecButton"), c.record);
    EXPECT_EQ(Enabled("SaveCmdButton"), c.record);
    EXPECT_EQ(InterfaceMenuShown(), c.interfaceMenu);
    EXPECT_EQ(Menu("FileNewMenu")->isVisible(), c.deviceMenus);
    EXPECT_EQ(Menu("CalibrationMenu")->isVisible(), c.deviceMenus);
    EXPECT_EQ(Menu("AddApplicationMenu")->isVisible(), c.addApplication);
    EXPECT_EQ(Compact(), c.compact);
    EXPECT_EQ(Find("Protocol")->toolTip().toStdString(), c.toolTip);
    EXPECT_EQ(Text("SendCmd"), c.firstCommand);
    EXPECT_EQ(Text("CodeStr"), c.code);
    EXPECT_FALSE(Shown("DIMScroll"));
    EXPECT_EQ(Text("StatusBar"), "");
  }
}

TEST_F(SelectionTest, WithInfraredOutputOffOnlyTheLauncherCanSend) {
  Open("", {{"IROUTENA= 1", "IROUTENA= 0"}});
  const std::vector<std::pair<std::string, bool>> cases = {
      {"TV", false}, {"Recorded", false}, {"Winamp", false}, {"Mouse", false},
      {"Application", true}, {"X10&Lamp", true}};
  for (const auto& [device, send] : cases) {
    Choose("Protocol", device);
    EXPECT_EQ(Enabled("SendButton"), send) << device;
  }
}

TEST_F(SelectionTest, WithoutDevicesTheListHoldsNoneInTheSystemColour) {
  Open("", {{"IRINENA= 1", "IRINENA= 0"}, {"IROUTENA= 1", "IROUTENA= 0"}, {"X10ENA= 1", "X10ENA= 0"},
            {"APPLICATIONENA= 1", "APPLICATIONENA= 0"}, {"WINAMPENA= 1", "WINAMPENA= 0"},
            {"MOUSEENA= 1", "MOUSEENA= 0"}});
  EXPECT_EQ(Text("Protocol"), "none");
  EXPECT_EQ(Text("SendCmd"), "none");
  EXPECT_EQ(Caption(), "ZVX (no device selected)1.0.0");
  EXPECT_FALSE(Enabled("SendButton"));
  EXPECT_FALSE(InterfaceMenuShown());
  EXPECT_TRUE(Compact());
  EXPECT_EQ(Find("Protocol")->toolTip().toStdString(), "No device available");
  const QColor face = QApplication::palette().color(QPalette::Button);
  EXPECT_EQ(Find("Protocol")->palette().color(QPalette::Button), face);
}

TEST_F(SelectionTest, LayoutsFollowTheDevicesAndMinButton) {
  Open();
  EXPECT_EQ(window_->size(), QSize(ui::Pixels(8385), ui::Pixels(5070)));
  EXPECT_EQ(Find("StatusBar")->y(), ui::Pixels(4150));
  // X10 makes the layout compact; an infrared device afterwards keeps it.
  Choose("Protocol", "X10&Lamp");
  EXPECT_EQ(window_->size(), QSize(ui::Pixels(3540), ui::Pixels(2000)));
  EXPECT_EQ(Find("StatusBar")->y(), ui::Pixels(1080));
  EXPECT_EQ(Find("StatusBar")->width(), ui::Pixels(3445));
  Choose("Protocol", "VCR");
  EXPECT_TRUE(Compact());
  EXPECT_EQ(Caption(), "ZVX Send Mgr v1.0.0");
  EXPECT_FALSE(InterfaceMenuShown());
  Click("MinButton");
  EXPECT_FALSE(Compact());
  EXPECT_EQ(Caption(), "Orrin's Zarvel Rezoru Zazudaz v1.0.0");
  EXPECT_TRUE(InterfaceMenuShown());
  Click("MinButton");
  EXPECT_TRUE(Compact());
  EXPECT_EQ(Caption(), "ZVX Send Mgr v1.0.0");
  // The output devices keep the compact layout.
  Choose("Protocol", "Winamp");
  Click("MinButton");
  EXPECT_TRUE(Compact());
  EXPECT_EQ(Caption(), "Special Remote v1.0.0");
}

TEST_F(SelectionTest, TheDimSliderBelongsToDimAndBrightenOfX10) {
  Open();
  Choose("Protocol", "X10&Lamp");
  const std::vector<std::pair<std::string, bool>> cases = {
      {"Dim", true}, {"On", false}, {"Bri", true}, {"All-L-Off", false}};
  for (const auto& [command, shown] : cases) {
    Choose("SendCmd", command);
    EXPECT_EQ(Shown("DIMScroll"), shown) << command;
    EXPECT_EQ(Shown("DimVal"), shown) << command;
    EXPECT_EQ(Shown("DIMLabel"), shown) << command;
  }
  EXPECT_EQ(Text("DimVal"), "50%");
  Find<QScrollBar>("DIMScroll")->setValue(75);
  EXPECT_EQ(Text("DimVal"), "75%");
}

// The X10 interface's own port chosen as the infrared port: X10 lets go of it first, so the
// infrared port opens there, and X10 shares it from then on.
TEST_F(SelectionTest, ChoosingTheX10PortForInfraredTakesItOver) {
  Open("", {{"X10COM= 0", "X10COM= 2"}});
  Choose("Protocol", "X10&Lamp");
  Click("SendButton");
  EXPECT_EQ(Status(), "X10-lamp All-U-Off.");
  ASSERT_TRUE(cm11_->IsOpen());

  Choose("ComList", "COM2");
  EXPECT_GT(window_->Interface().handle, 0);
  EXPECT_NE(SavedConfig().find("COMPORT= 2\r\n"), std::string::npos);
  EXPECT_NE(SavedConfig().find("X10COM= 0\r\n"), std::string::npos);
  Choose("Protocol", "X10&Lamp");
  Click("SendButton");
  EXPECT_EQ(Status(), "X10-lamp All-U-Off.");
  EXPECT_EQ(cm11_->Interface().Transmissions().size(), 4u);
}

}  // namespace
}  // namespace qvx::test
