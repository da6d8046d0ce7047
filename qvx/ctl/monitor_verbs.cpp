#include "qvx/ctl/monitor_verbs.h"

#include <algorithm>
#include <optional>
#include <ostream>

#include "platform/serial.h"
#include "platform/stop_requests.h"
#include "pulsio/pulsio.h"
#include "qvx/bluetooth/phoneremote.h"
#include "qvx/config/devices.h"
#include "qvx/config/store.h"
#include "qvx/ctl/ir_verbs.h"
#include "qvx/ctl/stream_prompter.h"
#include "qvx/ircode/port/kerneldevice.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ircode/pulsiolink.h"
#include "qvx/ircode/receivers.h"
#include "qvx/monitor/monitoring.h"
#include "qvx/monitor/texts.h"
#include "qvx/monitor/watchdecode.h"

namespace qvx {
namespace {

int CannotOpen(int portNumber, const platform::Status& why, std::ostream& err) {
  err << "qvxctl: " << ircode::OpenFailureText(portNumber, why) << '\n';
  return 1;
}

// A kernel infrared device is watched whatever the receiver type, if it receives at all.
bool CanMonitor(const GeneralParams& general, ircode::PortHandle port) {
  if (ircode::IsKernelDevice(port)) return ircode::KernelDeviceReceives(port);
  return general.receiverType == 0 || general.receiverType == 1;
}

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
// `once`, the first received command or phone key), reading the configuration again on a
// reload request. Returns the exit status: 0, or 1 when the infrared port stopped answering.
int RunMonitorLoop(monitor::Monitoring& monitoring, bluetooth::PhoneRemote* phone,
                   const PrintedPhoneInput& phoneInput, bool infrared, bool once,
                   const platform::StopRequests& stop, platform::ReloadRequests& reload,
                   const std::string& configPath, platform::Clock& clock, std::ostream& out,
                   std::ostream& err) {
  constexpr int64_t kMsNs = 1'000'000;
  constexpr int kLongestWaitMs = 100;
  int64_t nextPollNs = clock.NowNs();
  int64_t nextReconnectNs = nextPollNs + bluetooth::kBtAutoTimerIntervalMs * kMsNs;
  while (!stop.Requested()) {
    if (reload.Take()) {
      const std::string refused = monitoring.ReadConfigurationAgain();
      if (refused.empty()) {
        err << "qvxctl: read " << configPath << " again\n";
      } else {
        err << "qvxctl: " << configPath << " was not read again, the configuration stays as it was: "
            << refused << '\n';
      }
    }
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
      if (!monitoring.PortFailure().empty()) {
        // A service manager restarts a monitor that ends in failure; the port may come back.
        err << "qvxctl: " << monitoring.PortFailure() << '\n';
        return 1;
      }
    }
    if (busy) continue;
    // The phone's next poll bounds the wait; so does a stop or reload signal that arrives just
    // before a wait on the line begins, and would otherwise wait for the next light.
    int64_t waitUs = int64_t{kLongestWaitMs} * 1000;
    if (phone) waitUs = std::clamp<int64_t>((nextPollNs - clock.NowNs()) / 1000, 0, waitUs);
    if (infrared) {
      monitoring.AwaitInput(waitUs);
    } else {
      clock.SleepUs(static_cast<uint32_t>(waitUs));
    }
  }
  return 0;
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
  std::optional<ircode::LentPort> lent;
  StreamPrompter prompter(err);
  if (general.irInEna) {
    platform::Status why;
    lent.emplace(general.comPort, &why);
    if (!lent->open()) return CannotOpen(general.comPort, why, err);
    executor.irPort = lent->handle();
    ircode::SetPortTimeouts(executor.irPort);
    // The lines of a receiver that can be watched as its menu sets them in the window; a
    // transmitter keyed on DTR or TxD stays dark while the monitor listens.
    if (!ircode::IsKernelDevice(executor.irPort) && CanMonitor(general, executor.irPort)) {
      ircode::IrInterface iface;
      iface.handle = executor.irPort;
      ircode::SetReceiverLines(iface, general.receiverType, prompter, services.clock);
      ircode::SetTxdBreak(false, executor.irPort);
    }
  }

  // Start's messages go to standard error; afterwards the status line is part of each line.
  monitor::Monitoring monitoring(executor, prompter, {.rememberState = false});
  PrintedPhoneInput phoneInput(monitoring, prompter, out);
  bluetooth::PhoneRemote phone(store, phoneInput, services.clock);
  if (general.btEna) monitoring.SetPhoneLink(phone);
  // Ctrl+C and SIGTERM end the loop after the tick that runs; SIGHUP reads the file again.
  const platform::StopRequests stop;
  platform::ReloadRequests reload;
  monitoring.Start();
  prompter.showStatus = false;
  int status = 0;
  const bool infrared = general.irInEna && CanMonitor(general, executor.irPort);
  if (general.irInEna && !infrared && !general.btEna) {
    status = 1;
  } else {
    status = RunMonitorLoop(monitoring, general.btEna ? &phone : nullptr, phoneInput, infrared,
                            once, stop, reload, store.path.string(), services.clock, out, err);
  }
  prompter.showStatus = true;
  monitoring.Stop();
  devices::CloseX10Port(executor.x10);
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
