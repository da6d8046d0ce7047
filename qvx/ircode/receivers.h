#pragma once

// The main program's infrared port and the receiver interface on it: the COM port list and the
// change of port, the receiver types and the lines each one needs, the output mode kept with
// the receiver type in ITYPE, the IRMan initialisation, the automatic detection of the receiver
// and the Infrared IN/OUT switches. The window calls these and shows what they return; message
// boxes go through the Prompter, status-line texts come back as return values. The waits of the
// receiver set-up (IRMan power-up and answer, DCD readings) pass on the given clock.

#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "qvx/config/prompter.h"
#include "qvx/config/store.h"
#include "qvx/ircode/irtypes.h"
#include "qvx/ircode/learning.h"
#include "qvx/ircode/port/serialport.h"

namespace qvx::ircode {

// The system's texts of the receiver set-up (status line and message boxes).
inline constexpr std::string_view kNoComPort = "There is no COM port available!";
inline constexpr std::string_view kNotYetImplemented = "Not yet implemented";
inline constexpr std::string_view kIrManReady = "IRMan interface initialized OK";
inline constexpr std::string_view kIrManFailed = "IRMan interface cannot be initialized!";
inline constexpr std::string_view kIrMouseDetected = "IRMouse interface autodetected.";
inline constexpr std::string_view kDcdStdDetected = "DCD Standard interface autodetected.";
inline constexpr std::string_view kIrManDetected =
    "IRMan interface autodetected and initialized OK.";
inline constexpr std::string_view kNothingDetected =
    "Cannot detect interface or no interface connected to COM";

// The receiver type of a menu that records nothing (the "Unavailable" menu).
inline constexpr int kReceiverUnknown = 9;

// Ports the COM list looks for: COM1 to COM30.
inline constexpr int kHighestListedPort = 30;

// The controls of the main window that show the port and the receiver settings.
struct InterfaceControls {
  std::vector<std::string> comList;        // ComList: "COM1", "COM3", ...
  int comSelected = -1;                    // index of the IR port in comList; -1 none
  Colour comListText = Colour::Default;    // Green while the port is open, Red when it failed
  std::string receiverCaption;             // ReceiverType caption
  int tickedReceiverMenu = -1;             // receiver type whose menu item is ticked; -1 none
  bool txdChecked = false;                 // TxDCheckBox
  bool txdEnabled = true;
  bool irdaChecked = false;                // IrDACheckBox
  bool irdaEnabled = true;
  bool firmControlsVisible = false;        // FirmAnswer, ZoneNr and Zone
  bool kernelDevice = false;               // the port is a kernel infrared device
};

// The ReceiverType caption while the port is a kernel infrared device, which has no receiver
// type of its own.
inline constexpr std::string_view kKernelDeviceCaption = "Kernel IR";

// The infrared port of the main program and the state of its receiver (one per program).
struct IrInterface {
  PortHandle handle = kPortClosed;  // the IR port, lent to Pulsio with SetHandle
  bool irManReady = false;          // the IRMan answered; cleared whenever the port is reopened
  InterfaceControls controls;
};

// ITYPE for an output mode and a receiver type: mode x 16 + type.
int ItypeValue(int outputMode, int receiverType);

// The ReceiverType caption the menu of a receiver type sets ("DCDStd", "IRMouse", "IRMan",
// "Creative", "FirM", "Unknown"); "" for a type without a menu.
std::string_view ReceiverCaption(int receiverType);

// The caption shown at start-up, before any menu ran ("DCD Std", "IR Mouse", "IR Man",
// "Creative", "FirM", "Unknown" for any other value).
std::string_view StartupReceiverCaption(int receiverType);

// Lists the COM ports 1 to 30 that exist, selects the configured one and opens it, lends the
// handle to Pulsio and sets its time-outs. A port already held is closed first. Returns the
// status text: "There is no COM port available!" when no port exists, why the configured port
// refused to open (permissions, another holder), otherwise "".
std::string ListAvailableCOM(IrInterface& iface, const ConfigStore& store);

// The choice of an entry of the COM list ("COM" and the number). Nothing happens for the port
// already in use. Otherwise the old port is closed, COMPORT is written (X10COM is cleared when
// it named the new port), the new port is opened and, when that worked, the stored interface
// settings are applied. Returns false when the new port could not be opened, or (changing
// nothing) when the entry names no port number; true otherwise.
bool ChangeComPort(IrInterface& iface, ConfigStore& store, std::string_view entry,
                   Prompter& prompter, platform::Clock& clock);

// The menu of a receiver type (0 to 4, or 9 for "Unavailable"): sets the port's lines for it,
// the caption, the menu ticks and the TxD, IrDA and FirM controls, and writes ITYPE. IRMan
// runs InitIRMan. Other numbers change nothing. On a kernel infrared device only the tick and
// ITYPE change (kept for a serial port later) and the returned status text says that the type
// does not apply; otherwise it is "".
std::string ChooseReceiverType(IrInterface& iface, ConfigStore& store, int receiverType,
                               Prompter& prompter, platform::Clock& clock);

// Sets the port's lines for a receiver type as its menu does (IRMan: InitIRMan), without
// changing the window or ITYPE; types without lines change nothing.
void SetReceiverLines(IrInterface& iface, int receiverType, Prompter& prompter,
                      platform::Clock& clock);

// Applies the stored output mode and receiver type to the open port, as after a port change.
void ApplyInterface(IrInterface& iface, ConfigStore& store, Prompter& prompter,
                    platform::Clock& clock);

// TxDCheckBox clicked into the given state: ticked selects the software carrier on TxD (115200
// baud, 6 data bits), cleared the DTR transmitter; writes ITYPE.
void SetTxdOutput(IrInterface& iface, ConfigStore& store, bool ticked);

// IrDACheckBox clicked into the given state: ticking answers "Not yet implemented" and clears
// the box again; the output mode never becomes IrDA.
void SetIrdaOutput(IrInterface& iface, bool ticked, Prompter& prompter);

// Initialises the IRMan receiver on the IR port ("I", "R", waiting for "ok") and tells the user
// by message box; does nothing while it is ready already. True when it is ready afterwards.
bool InitIRMan(IrInterface& iface, Prompter& prompter, platform::Clock& clock);

// Finds out which receiver hangs on the IR port: an IRMouse, a DCD standard receiver, or an
// IRMan; applies the result and returns the status text. A kernel infrared device needs no
// detection: the text says so and nothing changes.
std::string AutoDetectInterface(IrInterface& iface, ConfigStore& store, Prompter& prompter,
                                platform::Clock& clock);

// The Infrared IN menu: switches IRINENA over and writes it as "1" or "0", like every flag
// menu; returns the new state (the old one when the file could not be written).
bool ToggleInfraredIn(ConfigStore& store);
// The Infrared OUT menu: the same for IROUTENA.
bool ToggleInfraredOut(ConfigStore& store);

// Closes the IR port at exit (or before another is opened) and takes it back from Pulsio.
void CloseIrPort(IrInterface& iface);

}  // namespace qvx::ircode
