#pragma once

// Calibration of the sampling pause PROCDELAY with a SONY remote, and the dialog that sets the
// pause by hand.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "qvx/config/prompter.h"
#include "qvx/config/store.h"
#include "qvx/ircode/irtypes.h"
#include "qvx/ircode/receivers.h"

namespace qvx::ircode {

// The system's texts of the calibration and the ProcDelay dialog.
inline constexpr std::string_view kCalibrationTitle = "Record a command";
inline constexpr std::string_view kCalibrationPrompt =
    "Keep the '1' button on the SONY remote pressed and click OK.\nKeep pressed till you will receive a message.";
inline constexpr std::string_view kNoNeedToCalibrate =
    "No need to calibrate for the current IR input interface";
inline constexpr std::string_view kCalibrationAborted = "Autocalibration aborted!";
inline constexpr std::string_view kCalibrationFailed = "Calibration procedure failed!";
inline constexpr std::string_view kCalibrationSucceeded = "Calibration succeeded.  PROCDELAY=";
inline constexpr std::string_view kProcDelayTitle = "Procdelay value";
inline constexpr std::string_view kProcDelayPrompt = "Enter the new ProcDelay value";
inline constexpr std::string_view kProcDelayRange = "The value must be between 0 and 100";

// Bytes of one calibration recording (800 samples).
inline constexpr int kCalibrationBytes = 100;
// The largest pause the calibration tries before it gives up.
inline constexpr int kHighestCalibrationPauseUs = 70;

// Asks with OK and Cancel buttons; true for OK.
using AskOkCancel = std::function<bool(std::string_view title, std::string_view text)>;

// What one calibration did, for the window to show.
struct CalibrationResult {
  bool started = false;                  // false when the user cancelled the first question
  std::string status;                    // the status-line text ("" when cancelled)
  std::optional<std::string> sendPulse;  // SendPulse: emptied at the start, unit x 55 at the end
  std::optional<std::string> procDelayShown;  // ProcDelayparameter, on success
  bool irCommandCleared = false;         // IRCommand is emptied at every end
  std::vector<std::pair<int, int>> steps;  // PROCDELAY and measured unit of every recording
};

// The AutoCalibrate menu: with the '1' button of a SONY remote held, records at PROCDELAY 0, 1,
// 2, ... until the 600 us unit measures 10 and then 9 samples, takes the middle of that range,
// writes PROCDELAY and saves. Records through the library on the port of `iface`; beeps always
// sound. An aborted or failed calibration, or one whose value cannot be saved (the status then
// says why), keeps the PROCDELAY the program had.
CalibrationResult Calibrate(IrInterface& iface, ConfigStore& store, const AskOkCancel& ask,
                            const Beeper& beep);

// The ProcDelay menu: asks for a value from 0 to 100 until one is given (the nearest integer is
// taken), writes and saves it. Returns the new value, or nullopt when the answer was empty or
// cancelled, or when the file could not be saved (told in a message box); nothing changes then.
std::optional<int> EnterProcDelay(ConfigStore& store, Prompter& prompter);

}  // namespace qvx::ircode
