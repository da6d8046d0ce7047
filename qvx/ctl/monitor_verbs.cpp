#include "qvx/ctl/monitor_verbs.h"

#include <algorithm>
#include <ostream>

#include "platform/serial.h"
#include "platform/stop_requests.h"
#include "pulsio/pulsio.h"
#include "qvx/bluetooth/phoneremote.h"
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

void PrintLine(std::ostream& out, std::string_view recCmd, std::string_view execCmd,
               std::string_view status) {
  out << recCmd << '\t' << execCmd << '\t' << status << std::endl;
}

// Monitoring as the phone remote reaches it, printing a line for each phone event.
class PrintedPhoneInput final : public monitor::EventInput {
 public:
  PrintedPhoneInput(monitor::Monitoring& monitoring, const StreamPrompter& prompter,
                    std::ostream& out)
      : monitoring_(monitoring), prompter_(prompter), out_(out) {}

  std::string ReceiveEvent(std::string_view event) override {
    const std::string outputs = monitoring_.ReceiveEvent(event);
    PrintLine(out_, event, monitoring_.Controls().execCmd, prompter_.statusLine);
    if (event != monitor::kPhoneConnectedEvent && event != monitor::kPhoneDisconnectedEvent)
      ++keys;
    return outputs;
  }
  void ShowStatus(std::string_view text) override { monitoring_.ShowStatus(text); }
  bool MonitoringOn() const override { return monitoring_.MonitoringOn(); }

  int keys = 0;  // key events printed

 private:
  monitor::Monitoring& monitoring_;
  const StreamPrompter& prompter_;
  std::ostream& out_;
};

// Runs the monitoring tick and the two phone timers on the clock until a stop request (or, with
// `once`, the first received command or phone key).
void RunMonitorLoop(monitor::Monitoring& monitoring, bluetooth::PhoneRemote* phone,
                    const PrintedPhoneInput& phoneInput, bool infrared, bool once,
                    const platform::StopRequests& stop, platform::Clock& clock, std::ostream& out) {
  constexpr int64_t kMsNs = 1'000'000;
  int64_t nextPollNs = clock.NowNs();
  int64_t nextReconnectNs = nextPollNs + bluetooth::kBtAutoTimerIntervalMs * kMsNs;
  while (!stop.Requested()) {
    bool busy = false;
    if (phone) {
      const int64_t nowNs = clock.NowNs();
      // Firings that fell due while a tick blocked coalesce, as a window timer's do.
      if (nowNs >= nextPollNs) {
        if (phone->Controls().btMonTimer) phone->BTMonTick();
        nextPollNs = std::max(nextPollNs + bluetooth::kBtMonTimerIntervalMs * kMsNs, nowNs);
      }
      if (nowNs >= nextReconnectNs) {
        phone->BTAutoTick();
        nextReconnectNs =
            std::max(nextReconnectNs + bluetooth::kBtAutoTimerIntervalMs * kMsNs, nowNs);
      }
      if (once && phoneInput.keys > 0) break;
    }
    if (infrared) {
      if (const auto received = monitoring.Tick()) {
        PrintLine(out, received->recCmd, received->execCmd, received->status);
        if (once) break;
        busy = true;
      }
    }
    if (!busy)
      clock.SleepMs(infrared ? monitor::kIrMonTimerIntervalMs : bluetooth::kBtMonTimerIntervalMs);
  }
}

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
  if (!general.irInEna && !general.btEna) {
    err << "qvxctl: infrared input (IRINENA) and phone input (BTENA) are off; there is nothing "
           "to monitor\n";
    return 1;
  }
  monitor::ExecutorContext executor(store, Variant::MainProgram, services);
  if (general.irInEna) {
    executor.irPort = ircode::OpenPort(general.comPort);
    if (executor.irPort < 1) return CannotOpen(general.comPort, err);
    ircode::SetPortTimeouts(executor.irPort);
    SetHandle(executor.irPort);
  }

  // Start's messages go to standard error; afterwards the status line is part of each line.
  StreamPrompter prompter(err);
  monitor::Monitoring monitoring(executor, prompter, {.rememberState = false});
  PrintedPhoneInput phoneInput(monitoring, prompter, out);
  bluetooth::PhoneRemote phone(store, phoneInput, services.clock);
  if (general.btEna) monitoring.SetPhoneLink(phone);
  // Ctrl+C and SIGTERM end the loop after the tick that runs.
  const platform::StopRequests stop;
  monitoring.Start();
  prompter.showStatus = false;
  int status = 0;
  const bool infrared = general.irInEna && CanMonitor(general.receiverType);
  if (general.irInEna && !infrared && !general.btEna) {
    status = 1;
  } else {
    RunMonitorLoop(monitoring, general.btEna ? &phone : nullptr, phoneInput, infrared, once, stop,
                   services.clock, out);
  }
  prompter.showStatus = true;
  monitoring.Stop();
  devices::CloseX10Port(executor.x10);
  if (executor.irPort > 0) {
    SetHandle(0);
    ircode::ClosePort(executor.irPort);
  }
  return status;
}

int DecodeWindowVerb(ConfigStore& store, const std::string& path, std::ostream& out,
                     std::ostream& err) {
  const auto bytes = ReadRecordingFile(path, err);
  if (!bytes) return 1;
  const monitor::WatchDecode decode = monitor::DecodeWatchWindow(*bytes);
  if (decode.code.empty()) return 1;
  const std::string event = monitor::FindWatchedCode(store, decode)
                                ? store.currentDevice + "&" + store.currentCommand
                                : std::string(monitor::texts::kUnknownEvent);
  out << "code=" << StoredCodeBits(decode.code, decode.codingType) << "\nprotocol="
      << ProtocolName(decode.codingType) << "\nevent=" << event << '\n';
  return 0;
}

}  // namespace qvx
