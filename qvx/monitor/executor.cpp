#include "qvx/monitor/executor.h"

#include <optional>

#include "pulsio/pulsio.h"
#include "qvx/config/text.h"
#include "qvx/devices/beep.h"
#include "qvx/devices/dimmer.h"
#include "qvx/devices/launcher.h"
#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ircode/pulsiolink.h"

namespace qvx::monitor {
namespace {

using devices::kEndBeepHz;
using devices::kStartBeepHz;

// Beeps when BEEPON is on.
void FrameBeep(const ExecutorContext& context, int frequencyHz) {
  if (context.config.general.beepOn)
    devices::FrameBeep(devices::SystemBeeper(context.services.clock), frequencyHz);
}

std::string ApplicationBranch(ExecutorContext& context) {
  if (!context.config.general.applicationEna) return std::string(kApplicationDisabled);
  FrameBeep(context, kStartBeepHz);
  const std::string status =
      devices::LaunchApplication(context.config.text, context.config.currentCommand,
                                 context.services.programs, context.services.media);
  if (status != devices::kApplicationError) FrameBeep(context, kEndBeepHz);
  return status;
}

std::string WinampBranch(ExecutorContext& context) {
  const GeneralParams& general = context.config.general;
  if (!general.winampEna) return std::string(kWinampDisabled);
  FrameBeep(context, kStartBeepHz);
  if (!context.winamp)
    context.winamp = std::make_unique<devices::clsWinamp>(
        context.services.player, context.services.programs, context.services.clock);
  const std::string& command = context.config.currentCommand;
  const std::string status = devices::ExecuteWinampCommand(*context.winamp, context.playlistOffset,
                                                           general.winampPath, command);
  if (devices::WinampClosingBeep(command)) FrameBeep(context, kEndBeepHz);
  return status;
}

std::string X10Branch(ExecutorContext& context, platform::PortHandle irPort) {
  devices::X10Request request;
  request.device = context.config.currentDevice;
  request.command = context.config.currentCommand;
  request.variant = context.variant;
  request.functionFromWord = !context.window.x10Function.has_value();
  request.selectedFunction = context.window.x10Function.value_or(devices::kX10On);
  request.dimPercent = context.window.dimAmount;
  request.irPort = irPort;
  platform::Clock& clock = context.services.clock;
  return devices::ExecuteX10Command(context.x10, context.config, request, clock,
                                    devices::SystemBeeper(clock));
}

// The infrared port of a gateway: the one Pulsio holds, borrowed and left open, or else COMPORT
// opened and lent to Pulsio for this one transmission.
class GatewayPort {
 public:
  explicit GatewayPort(int comPort) : borrowed_(GetHandle()) {
    if (!borrowed_.open()) lent_.emplace(comPort);
  }
  bool open() const { return borrowed_.open() || (lent_ && lent_->open()); }
  platform::PortHandle handle() const { return lent_ ? lent_->handle() : borrowed_.handle(); }

 private:
  platform::BorrowedPort borrowed_;
  std::optional<ircode::LentPort> lent_;
};

std::string InfraredBranch(ExecutorContext& context, DeviceKind kind) {
  const ConfigStore& config = context.config;
  const GeneralParams& general = config.general;
  const bool gateway = context.variant == Variant::Gateway;
  if (!general.irOutEna) return std::string(ircode::kIrOutputDisabled);

  ircode::SendRequest request;
  request.device = config.currentDevice;
  request.command = config.currentCommand;
  request.irOutEnabled = general.irOutEna;
  request.outputMode = general.outputMode;
  request.beepOn = general.beepOn;
  request.gateway = gateway;
  request.recorded = context.window.recorded;
  const bool recorded = kind == DeviceKind::Recorded;
  if (!recorded) {
    if (const auto texts = FindDeviceParams(config.text, config.currentDevice, ParamScope::WithinSection))
      request.deviceParams = ircode::DeviceParamsFromTexts(texts->gproto, texts->sendpls,
                                                           texts->repeat, texts->bitg, texts->bit0,
                                                           texts->bit1, texts->grepeat);
  }
  if (gateway || context.window.source == CodeSource::Configuration) {
    request.codeField =
        FindCommandCode(config.text, config.currentDevice, config.currentCommand).value_or("");
    if (request.deviceParams) request.slotField = std::to_string(request.deviceParams->sendplsUs);
  } else {
    request.codeField = context.window.codeStr;
    request.slotField = context.window.sendPulse;
  }
  request.dimmerEnabled = general.irDimEna;
  platform::Clock& clock = context.services.clock;
  const ircode::IrTransmit transmit = ircode::PulsioTransmit();
  const ircode::Beeper beep = devices::SystemBeeper(clock);
  request.dimmer = devices::IrDimmerTransmission(general.outputMode, general.beepOn, transmit, beep,
                                                 clock);

  if (!gateway || recorded) {
    const ircode::SendOutcome outcome =
        ircode::SendIRCommand(context.send, request, transmit, beep);
    if (outcome.display) context.display = outcome.display;
    if (outcome.transmitFailed) return ircode::TransmitFailure(context.irPort);
    return outcome.status;
  }

  // A gateway takes the port for this one transmission; without it nothing can be sent.
  GatewayPort port(general.comPort);
  if (!port.open()) return std::string(kIrPortError);
  ircode::SetTxdBreak(false, port.handle());
  ircode::SetDtrLine(false, port.handle());
  if (general.outputMode == ircode::kOutputTxd) ircode::SetCarrierPortMode(port.handle());
  const ircode::SendOutcome outcome = ircode::SendIRCommand(context.send, request, transmit, beep);
  return outcome.transmitFailed ? ircode::TransmitFailure(port.handle()) : outcome.status;
}

}  // namespace

std::string ExecuteCommand(ExecutorContext& context) {
  const GeneralParams& general = context.config.general;
  const bool gateway = context.variant == Variant::Gateway;
  const platform::PortHandle irPort = gateway ? GetHandle() : context.irPort;
  if (general.outputMode == ircode::kOutputTxd) ircode::SetCarrierPortMode(irPort);

  // Every device the branches below do not take, a disabled mouse or keyboard too, is sent as
  // infrared.
  const DeviceKind kind = GetDeviceKind(context.config.currentDevice);
  switch (kind) {
    case DeviceKind::X10:
      // A gateway has no infrared port open; an X10 interface that shares it needs it opened.
      if (gateway && general.x10Ena && general.x10Com < 1) {
        GatewayPort port(general.comPort);
        return X10Branch(context, port.handle());
      }
      return X10Branch(context, irPort);
    case DeviceKind::Mouse:
      if (gateway || !general.mouseEna) break;
      if (!context.mouse)
        context.mouse = std::make_unique<devices::clsMouse>(context.services.input);
      return devices::ExecuteMouseCommand(*context.mouse, context.config.currentCommand);
    case DeviceKind::Keyboard:
      if (gateway || !general.keyboardEna) break;
      return devices::ExecuteKeyboardCommand(context.services.input, context.config.currentCommand);
    case DeviceKind::Application:
      return ApplicationBranch(context);
    case DeviceKind::Winamp:
      return WinampBranch(context);
    default:
      break;
  }
  return InfraredBranch(context, kind);
}

bool ReportsSuccess(std::string_view status) {
  const std::string_view trimmed = TrimBlanks(status);
  return !trimmed.ends_with('!') && trimmed != ircode::kCodeNotBinary &&
         trimmed != ircode::kRecordedUnknown;
}

}  // namespace qvx::monitor
