#include "qvx/monitor/monitoring.h"

#include <algorithm>
#include <array>
#include <utility>

#include "pulsio/pulsio.h"
#include "qvx/config/devices.h"
#include "qvx/config/general.h"
#include "qvx/config/sections.h"
#include "qvx/config/text.h"
#include "qvx/devices/x10.h"
#include "qvx/ircode/learning.h"
#include "qvx/ircode/port/kerneldevice.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ircode/pulsetext.h"
#include "qvx/monitor/texts.h"
#include "qvx/monitor/watchdecode.h"

namespace qvx::monitor {
namespace {

// Reads of the line no further apart than this do not step over a first mark: RC5's lasts
// 889 us, as short as 740 us from a remote that runs fast, every other protocol's longer.
constexpr int64_t kFirstMarkReadNs = 740'000;
// Darkness longer than any gap inside an RC5 frame (two half bits, 1.8 ms): light after it
// begins a frame of the one protocol that has no header to show where its frames begin. (A
// NEC frame's header gap is longer, but a frame without its header is never read.)
constexpr int64_t kDarkBeforeBurstNs = 2'000'000;

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

void Monitoring::CheckTimingPriority() {
  // Said once a run: without real-time priority the sampling windows are only as good as the
  // machine is idle, and the remedy lies with whoever starts the program.
  if (priorityChecked_) return;
  priorityChecked_ = true;
  const bool granted = clock_.RaisePriority();
  clock_.RestorePriority();
  if (!granted) ShowStatus(texts::kNoRealtimePriority);
}

void Monitoring::PrepareReceiver() {
  const ircode::PortHandle port = executor_.irPort;
  if (ircode::IsKernelDevice(port)) {
    // No lines to set and no receiver type: the device receives, or it cannot.
    if (!ircode::KernelDeviceReceives(port)) {
      ShowStatus(ircode::KernelDeviceCannotReceive(config_.general.comPort));
    } else if (config_.general.receiverType != ircode::kReceiverDcdStd) {
      ShowStatus(ircode::KernelDeviceNote(config_.general.comPort));
    }
    return;
  }
  switch (config_.general.receiverType) {
    case ircode::kReceiverDcdStd:
      ircode::SetRtsLine(true, port);
      CheckTimingPriority();
      CheckIdleLine(false);
      break;
    case ircode::kReceiverIRMouse:
      ircode::SetRtsLine(true, port);
      ircode::SetDtrLine(true, port);
      ircode::SetTxdBreak(false, port);
      CheckTimingPriority();
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
  presses_.Forget();
  portFailure_.clear();
  lineChangesReported_ = true;
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
  // The priority a wait kept for this tick's window goes back with the tick, whatever it did.
  struct PriorityHandBack {
    platform::Clock& clock;
    bool raised;
    ~PriorityHandBack() {
      if (raised) clock.RestorePriority();
    }
  } handBack{clock_, std::exchange(raisedForLight_, false)};
  const GeneralParams& general = config_.general;
  const ircode::PortHandle port = executor_.irPort;
  const int type = general.receiverType;
  if (!general.irInEna || port < 1 || !portFailure_.empty()) return std::nullopt;
  std::array<uint8_t, kCaptureBytes> capture{};
  WatchDecode decode;
  int64_t openNs = 0;
  int64_t closeNs = 0;
  if (ircode::IsKernelDevice(port)) {
    // A kernel device has no line to gate on: its watch returns at once in the dark and begins
    // with the light when there is some.
    if (!ircode::KernelDeviceReceives(port)) return std::nullopt;
    if (IRMonitor(capture.data(), general.procDelay) == 0) {
      if (const auto fault = ircode::KernelDeviceFault(port)) {
        ShowStatus(*fault);
        if (ircode::KernelDeviceGone(port)) portFailure_ = *fault;
      }
      return std::nullopt;
    }
    // The device timed the window before it was read: it ended now.
    closeNs = clock_.NowNs();
    openNs = closeNs - static_cast<int64_t>(ircode::kWatchedSamples) * ircode::kSampleUs * 1000;
    decode = DecodeWatchWindow(capture);
  } else {
    if (type != ircode::kReceiverDcdStd && type != ircode::kReceiverIRMouse) return std::nullopt;
    // An active DCD ends the tick. An idle standard receiver holds DCD on, so the window opens
    // once light arrives; the IR mouse receiver turns DCD on for light and samples while dark.
    platform::Status why;
    const bool dcdOn = ircode::GetDcdLine(port, &why);
    const int64_t readNs = clock_.NowNs();
    if (!why) {
      // An unplugged adapter or a lost link: sampling it would read nothing but noise.
      portFailure_ = std::string(texts::kPortLost) + why.osText();
      ShowStatus(portFailure_);
      return std::nullopt;
    }
    if (dcdOn) {
      if (type == ircode::kReceiverDcdStd) NoteDarkness(readNs, readNs);
      return std::nullopt;
    }
    // Light after darkness watched closely enough begins a burst of the remote, whose first mark
    // the window holds as a recording would; anything else may begin inside a frame.
    const bool atFirstLight = darkSinceNs_ >= 0 && readNs - lastDarkNs_ <= kFirstMarkReadNs &&
                              lastDarkNs_ - darkSinceNs_ >= kDarkBeforeBurstNs;
    darkSinceNs_ = -1;

    openNs = clock_.NowNs();
    const uint8_t sampled = type == ircode::kReceiverDcdStd
                                ? IRMonitor(capture.data(), general.procDelay)
                                : IRMonitorN(capture.data(), general.procDelay);
    closeNs = clock_.NowNs();
    if (sampled == 0) return std::nullopt;
    // The light came at some time after the last dark read, on average halfway to the read that
    // saw it; what shone before the window opened is given back to its first mark.
    const int64_t sampleNs = std::max<int64_t>(1, (closeNs - openNs) / static_cast<int64_t>(ircode::kWatchedSamples));
    const int missedLightSamples =
        atFirstLight ? static_cast<int>((openNs - (lastDarkNs_ + readNs) / 2 + sampleNs / 2) / sampleNs) : 0;
    decode = DecodeWatchWindow(
        capture, atFirstLight ? ircode::SampleSpan::Recording : ircode::SampleSpan::Window,
        missedLightSamples);
  }
  if (decode.runsMeasured) {
    controls_.plen1 = decode.plen1;
    controls_.plen0 = decode.plen0;
  }
  if (decode.lastLightSample < 0) return std::nullopt;

  WatchedKey window;
  window.openNs = openNs;
  window.closeNs = closeNs;
  window.lastLightNs =
      openNs + (closeNs - openNs) * (decode.lastLightSample + 1) / static_cast<int64_t>(ircode::kWatchedSamples);
  if (!decode.code.empty()) {
    window.kind = WatchedKey::Kind::Frame;
    window.codingType = decode.codingType;
    window.code = decode.code;
    window.literalCode = decode.literalCode;
  } else if (decode.necRepeatCodes) {
    window.kind = WatchedKey::Kind::RepeatCodes;
  }
  const std::optional<WatchedKey> fired = presses_.Judge(window);
  std::optional<ReceivedCommand> received;
  if (fired) received = Fire(*fired);
  // The rest of a key press is not taken anew: a held key repeats at this rhythm.
  if (window.kind != WatchedKey::Kind::Unread) clock_.SleepMs(kAfterCommandPauseMs);
  presses_.Resumed(clock_.NowNs());
  return received;
}

std::optional<ReceivedCommand> Monitoring::TimerTick() {
  if (auto received = Tick()) return received;
  // A kernel device queues what it receives: the timer's own rhythm reads it in time.
  if (ircode::IsKernelDevice(executor_.irPort)) return std::nullopt;
  AwaitInput(int64_t{kIrMonTimerWaitMs} * 1000);
  return Tick();
}

void Monitoring::AwaitInput(int64_t maxUs) {
  const ircode::PortHandle port = executor_.irPort;
  const bool kernelDevice = ircode::IsKernelDevice(port);
  if (!kernelDevice && lineChangesReported_ && monitoring_ && config_.general.irInEna &&
      config_.general.receiverType == ircode::kReceiverDcdStd && port > 0 && portFailure_.empty()) {
    // Light, or a line that cannot be read, is the next tick's to see.
    platform::Status why;
    const int64_t fromNs = clock_.NowNs();
    if (!ircode::GetDcdLine(port, &why)) return;
    // Blocked, the wait takes no processor time; raised, the program runs the moment the light
    // arrives, ahead of whatever keeps the processors busy, and keeps the priority until the
    // next tick's window has sampled the frame.
    clock_.RaisePriority();
    raisedForLight_ = ircode::WaitForDcdChange(port, true, maxUs, why);
    if (!raisedForLight_) clock_.RestorePriority();
    if (why) {
      // The line was dark until the wait ended: on a change, the light came just before.
      NoteDarkness(fromNs, clock_.NowNs());
      return;
    }
    if (why.code() != platform::StatusCode::NotSupported) return;
    lineChangesReported_ = false;
  }
  const int64_t pollUs = kernelDevice ? int64_t{kKernelDevicePollMs} * 1000 : kIrMonPollUs;
  clock_.SleepUs(static_cast<uint32_t>(std::clamp<int64_t>(maxUs, 0, pollUs)));
}

void Monitoring::NoteDarkness(int64_t fromNs, int64_t untilNs) {
  if (darkSinceNs_ < 0 || fromNs - lastDarkNs_ > kFirstMarkReadNs) darkSinceNs_ = fromNs;
  lastDarkNs_ = untilNs;
}

std::optional<ReceivedCommand> Monitoring::Fire(const WatchedKey& key) {
  WatchDecode named;
  named.codingType = key.codingType;
  named.code = key.code;
  named.literalCode = key.literalCode;
  ReceivedCommand received;
  if (FindWatchedCode(config_, named)) {
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
  return received;
}

std::string Monitoring::ReadConfigurationAgain() {
  ConfigStore fresh;
  fresh.path = config_.path;
  const LoadResult loaded = LoadGeneral(fresh);
  if (!loaded.ok) return loaded.reason;
  // The ports and inputs were opened and started with the values of the start.
  const GeneralParams& running = config_.general;
  GeneralParams general = fresh.general;
  general.comPort = running.comPort;
  general.receiverType = running.receiverType;
  general.outputMode = running.outputMode;
  general.irInEna = running.irInEna;
  general.x10Com = running.x10Com;
  general.btEna = running.btEna;
  general.btCom = running.btCom;
  config_.text = std::move(fresh.text);
  config_.fileText = std::move(fresh.fileText);
  config_.version = std::move(fresh.version);
  config_.general = std::move(general);
  if (monitoring_ && config_.general.x10Ena) devices::LoadX10Section(executor_.x10.names, config_.text);
  return {};
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
  const auto section = FindSection(text, "Monitoring");
  if (!section || section->end > text.size()) return {};

  const std::string_view flipPattern = FlipPattern(event);
  const bool flip = !flipPattern.empty();
  const std::string pattern = flip ? std::string(flipPattern) : std::string(event) + ",";
  std::string outputs;
  std::string statuses;
  for (std::size_t hit = FindInText(pattern, text, section->body); hit != 0 && hit <= section->end;
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
