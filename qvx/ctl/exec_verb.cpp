#include "qvx/ctl/exec_verb.h"

#include <optional>
#include <ostream>

#include "pulsio/pulsio.h"
#include "qvx/config/devices.h"
#include "qvx/config/store.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ircode/pulsiolink.h"
#include "qvx/monitor/executor.h"

namespace qvx {
namespace {

// Whether the command goes out through the infrared port (as light, or to an X10 interface
// that shares the port).
bool NeedsInfraredPort(const ConfigStore& store) {
  switch (GetDeviceKind(store.currentDevice)) {
    case DeviceKind::X10:
      return store.general.x10Com < 1;
    case DeviceKind::Winamp:
    case DeviceKind::Application:
      return false;
    case DeviceKind::Mouse:
      return !store.general.mouseEna;
    case DeviceKind::Keyboard:
      return !store.general.keyboardEna;
    default:
      return true;
  }
}

}  // namespace

int ExecVerb(ConfigStore& store, const platform::Services& services,
             std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const std::string& output = args[0];
  if (output.find('&') == std::string::npos) {
    err << "qvxctl: " << output << " is not an output command (DEVICE&COMMAND)\n";
    return 2;
  }
  SplitOutputCommand(store, output);

  monitor::ExecutorContext context(store, Variant::MainProgram, services);
  // Like the main window, hold the infrared port with DTR off and lend it to the library.
  std::optional<ircode::LentPort> irPort;
  if (NeedsInfraredPort(store) && store.general.irOutEna) {
    irPort.emplace(store.general.comPort);
    if (!irPort->open()) {
      err << "qvxctl: cannot open COM" << store.general.comPort << " for the infrared interface\n";
      return 1;
    }
    context.irPort = irPort->handle();
    ircode::SetCarrierPortMode(context.irPort);
    ircode::SetDtrLine(false, context.irPort);
  }
  devices::LoadX10Section(context.x10.names, store.text);

  const std::string status = monitor::ExecuteCommand(context);
  out << status << '\n';

  devices::CloseX10Port(context.x10);
  return monitor::ReportsSuccess(status) ? 0 : 1;
}

}  // namespace qvx
