#include "qvx/ctl/monitor_verbs.h"

#include <ostream>

#include "platform/serial.h"
#include "platform/stop_requests.h"
#include "pulsio/pulsio.h"
#include "qvx/config/devices.h"
#include "qvx/config/store.h"
#include "qvx/ctl/ir_verbs.h"
#include "qvx/ctl/stream_prompter.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/monitor/monitoring.h"
#include "qvx/monitor/texts.h"
#include "qvx/monitor/watchdecode.h"

namespace qvx {
namespace {

int CannotOpen(int portNumber, std::ostream& err) {
  const std::string port = "COM" + std::to_string(portNumber) + " (" +
                           platform::PortTarget(portNumber) + ")";
  if (ircode::PortExists(portNumber)) {
    err << "qvxctl: " << port
        << " is held by another program; the desktop program holds its infrared port while it "
           "runs, so stop it (or the other monitor) first\n";
  } else {
    err << "qvxctl: " << port << " does not exist\n";
  }
  return 1;
}

bool CanMonitor(int receiverType) { return receiverType == 0 || receiverType == 1; }

}  // namespace

int MonitorVerb(ConfigStore& store, const platform::Services& services,
                std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  bool once = false;
  for (const std::string& arg : args) {
    if (arg != "--once") {
      err << "usage: qvxctl monitor [--once]\n";
      return 2;
    }
    once = true;
  }
  const GeneralParams& general = store.general;
  if (!general.irInEna) {
    err << "qvxctl: infrared input (IRINENA) is off; there is nothing to monitor\n";
    return 1;
  }
  monitor::ExecutorContext executor(store, Variant::MainProgram, services);
  executor.irPort = ircode::OpenPort(general.comPort);
  if (executor.irPort < 1) return CannotOpen(general.comPort, err);
  ircode::SetPortTimeouts(executor.irPort);
  SetHandle(executor.irPort);

  // Start's messages go to standard error; afterwards the status line is part of each line.
  StreamPrompter prompter(err);
  monitor::Monitoring monitoring(executor, prompter, {.rememberState = false});
  // Ctrl+C and SIGTERM end the loop after the tick that runs.
  const platform::StopRequests stop;
  monitoring.Start();
  prompter.showStatus = false;
  int status = 0;
  if (!CanMonitor(general.receiverType)) {
    status = 1;
  } else {
    while (!stop.Requested()) {
      if (const auto received = monitoring.Tick()) {
        out << received->recCmd << '\t' << received->execCmd << '\t' << received->status
            << std::endl;
        if (once) break;
      } else {
        services.clock.SleepMs(monitor::kIrMonTimerIntervalMs);
      }
    }
  }
  prompter.showStatus = true;
  monitoring.Stop();
  devices::CloseX10Port(executor.x10, general.x10Com);
  SetHandle(0);
  ircode::ClosePort(executor.irPort);
  return status;
}

int DecodeWindowVerb(ConfigStore& store, const std::string& path, std::ostream& out,
                     std::ostream& err) {
  const auto bytes = ReadRecordingFile(path, err);
  if (!bytes) return 1;
  const monitor::WatchDecode decode = monitor::DecodeWatchWindow(*bytes);
  if (decode.code.empty()) return 1;
  const std::string event = FindCodeInConfig(store, decode.code, decode.codingType)
                                ? store.currentDevice + "&" + store.currentCommand
                                : std::string(monitor::texts::kUnknownEvent);
  out << "code=" << StoredCodeBits(decode.code, decode.codingType) << "\nprotocol="
      << ProtocolName(decode.codingType) << "\nevent=" << event << '\n';
  return 0;
}

}  // namespace qvx
