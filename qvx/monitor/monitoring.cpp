#include "qvx/monitor/monitoring.h"

#include <array>

#include "pulsio/pulsio.h"
#include "qvx/config/devices.h"
#include "qvx/config/general.h"
#include "qvx/config/text.h"
#include "qvx/devices/x10.h"
#include "qvx/ircode/learning.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/monitor/texts.h"
#include "qvx/monitor/watchdecode.h"

namespace qvx::monitor {
namespace {

constexpr std::string_view kFlipWords[] = {"&flip open,", "&flip closed,"};

// The search pattern of a flip event ("&flip open,"), or "" for any other event. A flip event
// is "BT&" or "BT" with a digit and "&", then "FLIP OPEN" or "FLIP CLOSED".
std::string_view FlipPattern(std::string_view event) {
  const std::string lower = ToLower(event) + ",";
  for (const std::string_view word : kFlipWords) {
    if (!lower.ends_with(word)) continue;
    const std::string_view device = std::string_view(lower).substr(0, lower.size() - word.size());
    if (device == "bt" || (device.size() == 3 && device.starts_with("bt") &&
                           device[2] >= '0' && device[2] <= '9'))
      return word;
  }
  return {};
}

// Whether the flip hit that ends at hit (1-based, after its comma) belongs to a phone event:
// the text before its "&" ends in "BT", or in "BT" and a digit.
bool PhoneFlipHit(std::string_view text, std::size_t hit, std::string_view pattern) {
  const std::size_t ampersand = hit - pattern.size() - 1;  // 0-based
  const std::size_t from = ampersand < 3 ? 0 : ampersand - 3;
  std::string before = ToLower(text.substr(from, ampersand - from));
  if (!before.empty() && before.back() >= '0' && before.back() <= '9') before.pop_back();
  return before.ends_with("bt");
}

}  // namespace

std::string_view TrayIconFile(bool monitoring, bool phoneConnected) {
  if (!monitoring) return texts::kIconNotMonitoring;
  return phoneConnected ? texts::kIconPhoneMonitoring : texts::kIconMonitoring;
}

Monitoring::Monitoring(ExecutorContext& executor, Prompter& prompter, MonitorOptions options)
    : executor_(executor), config_(executor.config), prompter_(prompter),
      clock_(executor.services.clock), options_(options) {}

void Monitoring::ShowStatus(std::string_view text) {
  status_ = std::string(text);
  prompter_.ShowStatus(text);
}

void Monitoring::UpdateTrayIcon() {
  controls_.icon = std::string(TrayIconFile(monitoring_, phone_->Connected()));
}

void Monitoring::CheckIdleLine(bool activeWhenDcdOn) {
  // An idle receiver shows no activity; one that does is missing or wired wrongly.
  for (int check = 0; check < kIdleChecks; ++check) {
    clock_.SleepMs(kIdleCheckPauseMs);
    if (ircode::GetDcdLine(executor_.irPort) == activeWhenDcdOn) {
      ShowStatus(texts::kRecInterfaceInvalid);
      return;
    }
  }
}

void Monitoring::PrepareReceiver() {
  const ircode::PortHandle port = executor_.irPort;
  switch (config_.general.receiverType) {
    case ircode::kReceiverDcdStd:
      ircode::SetRtsLine(true, port);
      CheckIdleLine(false);
      break;
    case ircode::kReceiverIRMouse:
      ircode::SetRtsLine(true, port);
      ircode::SetDtrLine(true, port);
      ircode::SetTxdBreak(false, port);
      CheckIdleLine(true);
      break;
    case ircode::kReceiverIRMan: ShowStatus(texts::kIrManNotSupported); break;
    case ircode::kReceiverCreative: ShowStatus(texts::kCreativeNotSupported); break;
    case ircode::kReceiverFirm: ShowStatus(texts::kFirmNotSupported); break;
    default: ShowStatus(texts::kNoRecordInterface); break;
  }
}

WindowRequests Monitoring::Start() {
  if (controls_.startMenuChecked) return {};
  ShowStatus("");
  const GeneralParams& general = config_.general;
  if (!general.btEna && !general.irInEna) {
    ShowStatus(texts::kNoInputToMonitor);
    return {};
  }
  // The phone's connection event may switch X10 modules: their names are needed first.
  if (general.x10Ena) devices::LoadX10Section(executor_.x10.names, config_.text);
  if (general.btEna) phone_->Start();
  if (general.irInEna) PrepareReceiver();
  controls_.stopMenuChecked = false;
  controls_.startMenuChecked = true;
  controls_.caption = std::string(texts::kMonitorCaption) + config_.version;
  controls_.label111 = texts::kLabelIn;
  controls_.label112 = texts::kLabelOut;
  controls_.monitorFieldsShown = true;
  monitoring_ = true;
  if (options_.rememberState) SetGeneralParam(config_, "MONITOR", "1");
  UpdateTrayIcon();
  if (general.irInEna) controls_.irMonTimer = true;
  if (general.btEna) controls_.btAutoTimer = true;
  if (status_.empty()) ShowStatus(texts::kMonitoringStarted);
  return {.shrink = true};
}

WindowRequests Monitoring::Stop() {
  if (controls_.stopMenuChecked) return {};
  controls_.irMonTimer = false;
  monitoring_ = false;
  controls_.stopMenuChecked = true;
  controls_.startMenuChecked = false;
  controls_.label111 = texts::kLabelDevice;
  controls_.label112 = texts::kLabelCommand;
  controls_.monitorFieldsShown = false;
  controls_.zoneShown = config_.general.receiverType == ircode::kReceiverFirm;
  if (options_.rememberState) SetGeneralParam(config_, "MONITOR", "0");
  controls_.btAutoTimer = false;
  phone_->Stop();
  ShowStatus(texts::kMonitoringStopped);
  UpdateTrayIcon();
  return {.refreshSelection = true};
}

WindowRequests Monitoring::Restart() {
  const WindowRequests stopped = Stop();
  const WindowRequests started = Start();
  return {stopped.refreshSelection, started.shrink};
}

WindowRequests Monitoring::TrayStart() {
  const WindowRequests requests = Start();
  if (monitoring_) {
    controls_.trayStartChecked = true;
    controls_.trayStopChecked = false;
  }
  UpdateTrayIcon();
  return requests;
}

WindowRequests Monitoring::TrayStop() {
  const WindowRequests requests = Stop();
  controls_.trayStartChecked = false;
  controls_.trayStopChecked = true;
  UpdateTrayIcon();
  return requests;
}

WindowRequests Monitoring::TrayRestart() {
  const WindowRequests requests = Restart();
  UpdateTrayIcon();
  return requests;
}

std::optional<ReceivedCommand> Monitoring::Tick() {
  const GeneralParams& general = config_.general;
  const ircode::PortHandle port = executor_.irPort;
  const int type = general.receiverType;
  if (!general.irInEna || port < 1) return std::nullopt;
  if (type != ircode::kReceiverDcdStd && type != ircode::kReceiverIRMouse) return std::nullopt;
  // A window opened in the middle of a mark would start with half a pulse.
  const bool dcdOn = ircode::GetDcdLine(port);
  if (dcdOn == (type == ircode::kReceiverIRMouse)) return std::nullopt;

  std::array<uint8_t, kCaptureBytes> capture{};
  const uint8_t sampled = type == ircode::kReceiverDcdStd
                              ? IRMonitor(capture.data(), general.procDelay)
                              : IRMonitorN(capture.data(), general.procDelay);
  if (sampled == 0) return std::nullopt;
  const WatchDecode decode = DecodeWatchWindow(capture);
  if (decode.runsMeasured) {
    controls_.plen1 = decode.plen1;
    controls_.plen0 = decode.plen0;
  }
  if (decode.code.empty()) return std::nullopt;

  ReceivedCommand received;
  if (FindWatchedCode(config_, decode)) {
    received.recCmd = config_.currentDevice + "&" + config_.currentCommand;
  } else {
    received.recCmd = texts::kUnknownEvent;
  }
  controls_.recCmd = received.recCmd;
  ShowStatus(texts::kCommandReceived);
  if (received.recCmd == texts::kUnknownEvent) {
    controls_.execCmd = texts::kNothingExecuted;
  } else {
    ReceiveEvent(received.recCmd);
  }
  received.execCmd = controls_.execCmd;
  received.status = status_;
  clock_.SleepMs(kAfterCommandPauseMs);
  return received;
}

std::string Monitoring::ReceiveEvent(std::string_view event) {
  controls_.recCmd = std::string(event);
  const std::string outputs = DispatchEvent(event);
  controls_.execCmd = outputs.empty() ? std::string(texts::kNothingExecuted) : outputs;
  return outputs;
}

std::string Monitoring::RunOutputCommand(std::string_view output) {
  SplitOutputCommand(config_, output);
  // A monitored event names its command: the code and the X10 function come from the
  // configuration, not from what the window happens to show.
  const WindowFields shown = executor_.window;
  executor_.window.source = CodeSource::Configuration;
  executor_.window.x10Function.reset();
  std::string status = ExecuteCommand(executor_);
  executor_.window = shown;
  return status;
}

std::string Monitoring::DispatchEvent(std::string_view event) {
  const bool echo = config_.general.btEna;
  if (event.empty()) {
    if (echo) phone_->Write(PhoneDisplayCommand(kPhoneMenuName));
    return {};
  }
  // The executor may touch the configuration; the search runs on the text as it was.
  const std::string text = config_.text;
  const std::size_t section = FindInText("[monitoring]", text, 1);
  if (section == 0) return {};
  const std::size_t sectionEnd = FindInText("[", text, section);
  if (sectionEnd == 0) return {};

  const std::string_view flipPattern = FlipPattern(event);
  const bool flip = !flipPattern.empty();
  const std::string pattern = flip ? std::string(flipPattern) : std::string(event) + ",";
  std::string outputs;
  std::string statuses;
  for (std::size_t hit = FindInText(pattern, text, section); hit != 0 && hit <= sectionEnd;
       hit = FindInText(pattern, text, hit)) {
    if (flip && !PhoneFlipHit(text, hit, pattern)) continue;
    // A line that ends right after its comma has an empty output command.
    const std::string output =
        text[hit - 1] == '\r' ? std::string() : ReadLineValue(text, hit).value_or("");
    outputs += output + ";";
    statuses += RunOutputCommand(output) + ";";
    const std::string shown = statuses.substr(0, statuses.size() - 1);
    ShowStatus(shown);
    if (echo) phone_->Write(PhoneDisplayCommand(shown));
  }
  return outputs;
}

}  // namespace qvx::monitor
