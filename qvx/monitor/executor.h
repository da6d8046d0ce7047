#pragma once

// The command executor: carries out one output command (the current device and command of the
// configuration store) on the output its device name selects, and returns one status text.
// The main program and the gateways run the same code; their differences are the Variant.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/serial.h"
#include "platform/services.h"
#include "qvx/config/devices.h"
#include "qvx/config/store.h"
#include "qvx/devices/mouse.h"
#include "qvx/devices/winamp.h"
#include "qvx/devices/x10.h"
#include "qvx/ircode/irsend.h"

namespace qvx::monitor {

// Where an infrared command's code and slot length come from.
enum class CodeSource {
  Window,         // the main window's code and slot-length fields (its Send button)
  Configuration,  // the code stored for the command and the device's SENDPLS (monitored events)
};

// What the main window shows when it asks for an execution.
struct WindowFields {
  CodeSource source = CodeSource::Configuration;
  std::string codeStr;                   // CodeStr
  std::string sendPulse;                 // SendPulse
  ircode::RecordedIndicators recorded;   // the last recording's indicators, for Recorded
  std::optional<int> x10Function;        // position of the selected X10 command; from the word when unset
  int dimAmount = 50;                    // DIMScroll, in percent
};

// The state the executor keeps and reads, one per program (or per gateway request), with the
// services of the system its outputs use.
struct ExecutorContext {
  ExecutorContext(ConfigStore& store, Variant programVariant, const platform::Services& system)
      : config(store), variant(programVariant), services(system) {}

  ConfigStore& config;
  Variant variant;
  platform::Services services;  // clock, input, program start, sound files, player
  platform::PortHandle irPort = platform::kPortClosed;  // the infrared port (main program)
  ircode::SendState send;                  // DeviceParams and the RC5 toggle
  devices::X10State x10;                   // the X10 port and name table
  std::int16_t playlistOffset = 0;         // browsing offset of the player words
  std::unique_ptr<devices::clsWinamp> winamp;  // created on first use
  std::unique_ptr<devices::clsMouse> mouse;    // created on first use
  WindowFields window;                     // main program only
  std::optional<ircode::ProtocolDisplay> display;  // labels refreshed by the infrared branch
};

// The system's texts of the executor's own checks.
inline constexpr std::string_view kIrPortError = "Cannot open COM port for infrared interface!";
inline constexpr std::string_view kApplicationDisabled = "Application device is disabled!";
inline constexpr std::string_view kWinampDisabled = "Winamp is disabled!";

// Runs the current output command and returns its status text (empty when the output gives none).
std::string ExecuteCommand(ExecutorContext& context);

// False for a status text that reports a failure: every text ending in "!", and the two
// refusals of an infrared code that end in "." (a code that is not binary, a Recorded signal
// of an unknown protocol).
bool ReportsSuccess(std::string_view status);

}  // namespace qvx::monitor
