#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/irtypes.h"

namespace qvx::ircode {

// The system's texts of an infrared send; a sent command reports "DEVICE COMMAND executed.".
inline constexpr std::string_view kIrOutputDisabled = "Infrared output is disabled!";
inline constexpr std::string_view kRecordedIncomplete =
    "Information about received command is not complete!";
inline constexpr std::string_view kRecordedUnknown =
    "You must first manually define a new device if UNKNOWN.";
inline constexpr std::string_view kRecordedInGateway =
    "Recorded device unsupported in QVXWEB mode!";
inline constexpr std::string_view kIrSendError = "Error sending infrared command!";
inline constexpr std::string_view kNoCodeToSend = "No code to be send!";
inline constexpr std::string_view kInvalidCodeToSend = "Invalid code to be send!";
inline constexpr std::string_view kCodeNotBinary = "Please use only 1's and 0's for the code.";

// Hands a packed slot bitmap to the transmitter (the library's IRSend); 0 when it refused.
using IrTransmit = std::function<int(const uint8_t* bytes, int lenBytes, int slotUs, int mode)>;

// The most bytes one transmission may carry: the library's data buffer.
inline constexpr int kMaxSendBytes = 1000;

// Process-wide sending state: the current device's parameters and the RC5 toggle.
struct SendState {
  DeviceParams params;
  bool rc5Toggle = false;  // false at program start; the first RC5 send carries toggle bit 1
};

// The main window's indicators that the Recorded device is sent with (set by learning).
struct RecordedIndicators {
  std::string bitNr;      // BitNr; empty while nothing has been recorded
  std::string rpt;        // Rpt: "Y" (any case, blanks ignored) gives full-frame repeats
  std::string gType;      // GType: "0", "1", anything else counts as NEC repeat codes
  int detectedProto = 0;  // coding type of the last recording
};

// Continues an IR Dimmer command with the dimmer's own transmission; returns its status text.
using DimmerTransmission =
    std::function<std::string(const DeviceParams& params, int slotUs, const std::string& code)>;

// Everything one infrared send reads from the program's state and window.
struct SendRequest {
  std::string device;   // current device, as the user wrote it
  std::string command;  // current command
  bool irOutEnabled = true;                 // IROUTENA
  std::optional<DeviceParams> deviceParams; // the device block's parameters; nullopt when the
                                            // header or a parameter line is missing or unusable
  RecordedIndicators recorded;              // used for the Recorded device only
  std::string slotField;                    // SendPulse text (the main program's slot length)
  std::string codeField;                    // CodeStr text, or the stored code for a gateway
  int outputMode = 0;                       // ITYPE / 16, passed to the transmitter
  bool beepOn = false;                      // BEEPON
  bool gateway = false;                     // the CGI programs' variant
  bool dimmerEnabled = false;               // the IR Dimmer device is enabled
  DimmerTransmission dimmer;                // the dimmer's transmission, when it is enabled
};

// Result of SendIRCommand.
struct SendOutcome {
  std::string status;                      // the status text for the status bar
  std::optional<ProtocolDisplay> display;  // label values, when a file device was loaded
  bool transmitted = false;                // the transmitter was called and took the train
  bool transmitFailed = false;             // the transmitter was called and refused it
  int slotUs = 0;                          // slot length used
};

// Sends the current command of the current device: reloads the parameters into state, checks
// the code, builds and packs the pulse text, and calls transmit once (framed by beeps when on).
// Every refusal comes back as the system's status text, with nothing transmitted; a
// transmitter that refuses the train gives "Error sending infrared command!".
SendOutcome SendIRCommand(SendState& state, const SendRequest& request, const IrTransmit& transmit,
                          const Beeper& beep);

}  // namespace qvx::ircode
