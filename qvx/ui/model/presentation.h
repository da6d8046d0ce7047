#pragma once

// What the main window shows and allows, decided without Qt: the presentation of each kind of
// device, captions, colours and tool tips, the two layouts, the menu table, the Send button's
// refusals, the tray icon and the geometry of the signal plot. The widget code reads these and
// sets its controls; tests table them directly.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qvx/config/devices.h"
#include "qvx/config/general.h"
#include "qvx/ircode/receivers.h"

namespace qvx::ui {

// Colours as the system writes them, 0xBBGGRR.
using BgrColour = std::uint32_t;
inline constexpr BgrColour kMagenta = 0xFF00FF;
inline constexpr BgrColour kGreen = 0x00FF00;
inline constexpr BgrColour kYellow = 0x00FFFF;
inline constexpr BgrColour kCyan = 0xFFFF00;
inline constexpr BgrColour kRed = 0x0000FF;

// A background: a colour of its own, or the system's button face (nullopt).
using ListColour = std::optional<BgrColour>;

// The red, green and blue parts of a colour.
struct Rgb {
  int red, green, blue;
  bool operator==(const Rgb&) const = default;
};
Rgb RgbOf(BgrColour colour);

// Window captions; each is followed by the version text.
inline constexpr std::string_view kMainCaption = "Orrin's Zarvel Rezoru Zazudaz v";
inline constexpr std::string_view kSendManagerCaption = "ZVX Send Mgr v";
inline constexpr std::string_view kX10Caption = "X10 Remote v";
inline constexpr std::string_view kSpecialCaption = "Special Remote v";
inline constexpr std::string_view kNoDeviceCaption = "ZVX (no device selected)";

// The tool tip of the device list for its colour; nullopt leaves the tip as it is (cyan).
std::optional<std::string> DeviceListToolTip(ListColour colour, std::string_view description);

// How the window presents a device: the kind of its name, except that the phone entry "BT",
// which has nothing to send, is presented as the Bluetooth device.
DeviceKind PresentedKind(std::string_view device);

// What fills the command list.
enum class CommandFill {
  X10Commands,  // the seven X10 commands
  Stored,       // the device's list as the configuration gives it (LoadCommandList)
  PhoneEvents,  // the events of the Bluetooth phone
};

// Changes one step of the device selection makes; nullopt and false leave a control as it is.
struct ControlChanges {
  std::optional<bool> sendEnabled, recordEnabled, saveEnabled, deleteCommandEnabled;
  std::optional<ListColour> deviceListColour, commandListColour;
  std::optional<std::string> caption;
  std::optional<bool> fullLayout;  // the layout flag; the window's size follows it
  std::optional<bool> deviceMenusVisible;  // New, Edit and Delete Device, AutoCalibrate, ProcDelay
  std::optional<bool> interfaceMenuVisible;  // the IR Hw menu
  std::optional<bool> addApplicationVisible;
  std::optional<bool> zoneVisible;  // the FirM zone list
  std::optional<bool> dimVisible;   // DIMScroll, DIMLabel, DimVal
  std::optional<bool> rts;          // RTS of the infrared port
  std::optional<std::string> commandListToolTip;
  std::optional<CommandFill> commandList;
  bool closeX10Port = false;
  bool initIrMan = false;
  bool loadX10Names = false;
  bool refillZone = false;           // "1" to "8", "1" selected
  bool clearCommandLabel = false;    // IRCommand
  bool clearRecordedFields = false;  // code, slot length and every information label
  bool clearPulseLengths = false;    // plen0, plen1
  bool toolTipByColour = false;      // the device list's tool tip follows its colour
};

// What the window knows when a device is chosen.
struct SelectionFacts {
  std::string device;
  bool fullLayout = true;
  bool irOutEnabled = true;
  int receiverType = 0;
  int x10Com = 0;
  bool listAllowsSend = true;  // the command list has something to send (not "EMPTY", "none")
  std::string version;
};

// The device selection: `first` always applies; an infrared device then loads its protocol
// parameters, and only when they load does `afterwards` apply.
struct DeviceSelection {
  ControlChanges first;
  bool loadParams = false;
  std::optional<ControlChanges> afterwards;
};

DeviceSelection SelectDevice(const SelectionFacts& facts);

// The layout switch of MinButton: nullopt while monitoring and for the devices that keep the
// compact layout (X10, none, IR Dimmer, Winamp, Application, Bluetooth).
struct LayoutSwitch {
  bool fullLayout;
  std::string caption;
  bool interfaceMenuVisible;
};
std::optional<LayoutSwitch> SwitchLayout(std::string_view device, bool monitoring, bool fullLayout,
                                         std::string_view version);

// Sizes of the two layouts in twips, and the conversion to pixels (15 twips a pixel).
struct LayoutGeometry {
  int statusTop, statusWidth, windowWidth, windowHeight;
};
LayoutGeometry GeometryOf(bool fullLayout);
inline constexpr int kTwipsPerPixel = 15;
constexpr int Pixels(int twips) { return twips / kTwipsPerPixel; }

// Where a control of the main window sits, in twips, and its fixed caption (empty for none).
struct Placement {
  std::string_view name;
  int left, top, width, height;
  std::string_view caption;
};
const std::vector<Placement>& ControlPlacements();

// One entry of the menu table.
struct MenuEntry {
  std::string_view menu;      // the menu it belongs to
  std::string_view name;      // control name
  std::string_view caption;   // with the "&" that marks the access key
  std::string_view checkKey;  // the enable flag its check mark shows; empty for none
  bool toggles = false;       // choosing it switches that flag over
  int receiverType = -1;      // the receiver type it chooses; -1 when it chooses none
};
// The menus of the menu bar in order, and the tray menu last (never shown in the bar).
struct Menu {
  std::string_view name;
  std::string_view caption;
};
const std::vector<Menu>& Menus();
const std::vector<MenuEntry>& MenuEntries();
inline constexpr std::string_view kTrayMenu = "mnuSystray";

// The value of an enable flag by its key (IRINENA, X10ENA, ...); nullopt for another key.
std::optional<bool> EnableFlag(const GeneralParams& general, std::string_view key);

// Whether the Send button hands a device straight to the executor, without the checks of the
// code field (the output devices).
bool SendsWithoutCode(std::string_view device);

// The Send button's first check for a device that sends a code: no command, or "EMPTY".
bool NoCommandSelected(std::string_view command);

// Its checks of the code field: a learned code not yet validated, or an empty field; nullopt
// when the code may go to the executor.
std::optional<std::string> CodeRefusal(bool codeNotValidated, std::string_view codeField);

// What the receiver controls show at start-up, before any receiver menu ran: the start-up
// caption of the stored type, its menu's tick, the TxD and IrDA boxes of the output mode and
// the FirM controls.
void ShowStoredInterface(ircode::InterfaceControls& controls, int receiverType, int outputMode);

// What the code field shows for a selected command, from the text stored before its comma;
// nullopt when the device kind keeps no code there.
std::optional<std::string> CodeFieldText(std::string_view device, std::string_view stored);

// The code field's tool tip for a device; nullopt leaves it as it is.
std::optional<std::string> CodeFieldToolTip(std::string_view device);

// Whether the dim slider is shown for a selected X10 command.
bool DimVisibleFor(std::string_view command);

// One stroke of the signal plot, in pixels from the picture's top left corner.
struct PlotStroke {
  double x1, y1, x2, y2;
  bool operator==(const PlotStroke&) const = default;
};

// The trace of a sample text ("0"/"1", one character a sample): sample k at
// x = (k + scroll + 8) x zoom, a "0" 12 units above the bottom, a "1" 40 units higher, the
// levels joined where they change; samples from the right edge minus 10 on are not drawn.
std::vector<PlotStroke> PlotTrace(std::string_view samples, int scroll, double zoom, int width,
                                  int height);

// A file-dialog filter of the system ("Name (*.a;*.b)|*.a;*.b|...") in Qt's form
// ("Name (*.a *.b);;..."), with "All Files (*)" added where the filter has no such entry. The
// pattern kExecutableFiles becomes "*", and the dialog keeps to executable files itself.
std::string QtFileFilter(std::string_view filter);
// The position of the filter's entry whose pattern is kExecutableFiles; -1 when there is none.
int ExecutableFilterIndex(std::string_view filter);

}  // namespace qvx::ui
