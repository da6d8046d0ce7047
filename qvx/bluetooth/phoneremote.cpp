#include "qvx/bluetooth/phoneremote.h"

#include <algorithm>
#include <array>
#include <utility>

#include "qvx/config/general.h"
#include "qvx/config/text.h"
#include "qvx/ircode/port/serialport.h"

namespace qvx::bluetooth {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kStarDown = "*,1";
constexpr std::string_view kStarUp = "*,0";
constexpr std::string_view kHashDown = "#,1";
constexpr std::string_view kMenuChosen = "*eaai";
constexpr int64_t kSecondTimerNs = int64_t{kSecondTimerIntervalMs} * 1'000'000;

struct Model {
  std::string_view contains;
  std::string_view text;
};
// The more specific name first: a T39m is also a T39.
constexpr std::array kModels{
    Model{"t39m", "Ericsson T39m"}, Model{"t39", "Ericsson T39"}, Model{"t68i", "Ericsson T68i"},
    Model{"t68", "Ericsson T68"},   Model{"r520", "Ericsson R520"},
};

struct Key {
  std::string_view report;
  std::string_view event;
};
constexpr std::array kKeys{
    Key{"l,0", "FLIP OPEN"}, Key{"l,1", "FLIP CLOSED"}, Key{"u,1", "UP"},   Key{"d,1", "DOWN"},
    Key{"s,1", "YES"},       Key{"e,1", "NO"},          Key{"c,1", "C"},    Key{"<,1", "LEFT"},
    Key{">,1", "RIGHT"},
};

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool IsFlip(std::string_view name) { return name == "FLIP OPEN" || name == "FLIP CLOSED"; }

}  // namespace

std::string_view PhoneModel(std::string_view reply) {
  const std::string lower = ToLower(reply);
  for (const Model& model : kModels)
    if (Contains(lower, model.contains)) return model.text;
  return kUnknownModel;
}

std::string KeyReport(std::string_view text) {
  const std::size_t ckev = ToLower(text).find("ckev");
  const std::size_t from = ckev == std::string::npos ? 1 : ckev + 4 + 2;
  if (from >= text.size()) return {};
  return std::string(text.substr(from, 3));
}

std::optional<std::string> KeyEventName(std::string_view report) {
  // A report is a key, a comma and 1 or 0; anything else on the line is no key.
  if (report.size() != 3 || report[1] != ',') return std::nullopt;
  const std::string lower = ToLower(report);
  for (const Key& key : kKeys)
    if (lower == key.report) return std::string(key.event);
  if (lower == kStarDown || report[2] != '1') return std::nullopt;
  return std::string(1, report[0]);
}

// Marks a phone operation as running for its scope, so that ticks entered from a reply wait
// (which lets the window's timers run) return at once.
class PhoneRemote::Busy {
 public:
  explicit Busy(PhoneRemote& remote) : remote_(remote), was_(std::exchange(remote.busy_, true)) {}
  ~Busy() { remote_.busy_ = was_; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  PhoneRemote& remote_;
  bool was_;
};

PhoneRemote::PhoneRemote(ConfigStore& config, monitor::EventInput& events, platform::Clock& clock)
    : config_(config), events_(events), clock_(clock),
      nextSecondTickNs_(clock.NowNs() + kSecondTimerNs) {}

PhoneRemote::~PhoneRemote() { ClosePhonePort(); }

void PhoneRemote::RunPendingEvents() {
  if (pump_) {
    pump_();
    return;
  }
  clock_.SleepMs(kWaitSliceMs);
  const int64_t nowNs = clock_.NowNs();
  if (nowNs < nextSecondTickNs_) return;
  SecondTick();
  // Firings that fell due meanwhile coalesce, as a window timer's do.
  nextSecondTickNs_ += kSecondTimerNs;
  if (nextSecondTickNs_ <= nowNs) nextSecondTickNs_ = nowNs + kSecondTimerNs;
}

bool PhoneRemote::Send(std::string_view line) {
  if (ircode::WritePort(line, port_)) return true;
  portFailed_ = true;
  return false;
}

std::string PhoneRemote::AwaitOk(bool sent) { return sent ? WaitPhoneReply("OK") : std::string(); }

std::string PhoneRemote::Command(std::string_view command) {
  return AwaitOk(Send(std::string(command) + std::string(kLineEnd)));
}

std::string PhoneRemote::ShowText(std::string_view text) {
  return AwaitOk(Send(monitor::PhoneDisplayCommand(text)));
}

std::string PhoneRemote::WaitPhoneReply(std::string_view expected) {
  replyTicks_ = 0;
  portFailed_ = false;
  const std::string awaited = ToLower(expected) + std::string(kLineEnd);
  std::string buffer;
  for (;;) {
    platform::Status why;
    buffer += ircode::ReadPort(port_, &why);
    if (!why) {
      portFailed_ = true;
      return {};
    }
    if (Contains(ToLower(buffer), awaited)) return buffer;
    if (Contains(buffer, kStarUp)) shift_.clear();
    if (replyTicks_ >= kReplyTimeoutTicks) return {};
    RunPendingEvents();
  }
}

std::string PhoneRemote::ShowOnPhone(std::string_view text) { return ShowOnPhoneOnce(text, true); }

std::string PhoneRemote::ShowOnPhoneOnce(std::string_view text, bool releaseRedraws) {
  const std::string reply = ShowText(text);
  bool released = Contains(reply, kStarUp);
  if (!released && Contains(reply, kStarDown)) {
    // The star is held; its release is awaited no longer than a reply.
    replyTicks_ = 0;
    while (!released && replyTicks_ < kReplyTimeoutTicks) {
      platform::Status why;
      released = Contains(ircode::ReadPort(port_, &why), kStarUp);
      if (!why) break;
      if (!released) RunPendingEvents();
    }
  }
  if (released && releaseRedraws) {
    ShowOnPhoneOnce(monitor::kPhoneMenuName, false);
    shift_.clear();
    ircode::ReadPort(port_);
  }
  return reply;
}

bool PhoneRemote::StartPhoneLink() {
  // Entered again from a reply wait of a phone operation (the window's menus run meanwhile):
  // the operation under way keeps the port, and the link stays as it is.
  if (busy_) return active_;
  const Busy busy(*this);
  if (!config_.general.btEna) return FailStart();
  controls_.startupLabel = kInitializing;
  RunPendingEvents();
  OpenPhonePort();
  if (port_ == platform::kPortFailed) return FailStart();
  ircode::SetRtsLine(true, port_);
  ircode::SetDtrLine(true, port_);
  ircode::SetPortMode(115200, 8, port_);
  if (!StartDialogue()) return FailStart();

  controls_.btMonTimer = true;
  RaisePhoneConnected();
  events_.ShowStatus(controls_.model + std::string(kNowConnected));
  controls_.recCmdColour = kConnectedColour;
  controls_.startupLabel.clear();
  return true;
}

bool PhoneRemote::StartDialogue() {
  if (Command("ATZ").empty()) return false;
  const std::string model = Command("AT+CGMM");
  if (model.empty()) return false;
  controls_.model = PhoneModel(model);
  for (const std::string_view command :
       {"AT+CSCS=\"8859-1\"", "AT*EAM=\"Zarvel Manager\"", "AT+CMER=0,0,0,0"}) {
    if (Command(command).empty()) return false;
  }
  // A phone that stops answering here is as unavailable as one that never answered.
  if (ShowOnPhone(kWelcome).empty()) return false;
  clock_.SleepMs(kWelcomePauseMs);
  if (ShowOnPhone(std::string(kCurrentDevice) + DeviceName(config_.general.btCurrent)).empty())
    return false;
  return !Command("AT+CMER=3,2,0,0").empty();
}

bool PhoneRemote::FailStart() {
  ClosePhonePort();
  events_.ShowStatus(kUnavailable);
  controls_.btMonTimer = false;
  RaisePhoneDisconnected();
  shift_.clear();
  controls_.recCmdColour = kDisconnectedColour;
  controls_.startupLabel.clear();
  return false;
}

void PhoneRemote::RaisePhoneConnected() {
  if (!connectedRaised_) events_.ReceiveEvent(monitor::kPhoneConnectedEvent);
  connectedRaised_ = true;
  active_ = true;
  disconnectedRaised_ = false;
}

void PhoneRemote::RaisePhoneDisconnected() {
  if (!disconnectedRaised_) events_.ReceiveEvent(monitor::kPhoneDisconnectedEvent);
  disconnectedRaised_ = true;
  connectedRaised_ = false;
  active_ = false;
}

bool PhoneRemote::LinePresent() {
  platform::Status why;
  if (ircode::GetCtsLine(port_, &why)) return true;
  // A port without modem lines (a pseudo-terminal) tells a lost link by failing reads instead.
  return why.code() == platform::StatusCode::NotSupported;
}

void PhoneRemote::LinkLost() {
  RaisePhoneDisconnected();
  shift_.clear();
  events_.ShowStatus(kDisconnected);
  controls_.recCmdColour = kDisconnectedColour;
}

void PhoneRemote::BTMonTick() {
  if (!config_.general.btEna || !active_ || busy_) return;
  const Busy busy(*this);
  if (!LinePresent()) return LinkLost();
  platform::Status why;
  std::string text = std::exchange(partialLine_, std::string()) + ircode::ReadPort(port_, &why);
  if (!why) return LinkLost();
  if (text.empty()) return;
  if (!Contains(text, kLineEnd)) {
    text += WaitPhoneReply("");
    if (portFailed_) return LinkLost();
  }
  // Every report of the read, in order: reports that piled up while the timers were held (an
  // X10 exchange, the pause after a monitored command) are keys pressed one after the other.
  // A line still arriving is kept for the next tick; a text that never ended is one report.
  std::size_t lastEnd = text.rfind(kLineEnd);
  if (lastEnd == std::string::npos) {
    lastEnd = text.size();
  } else {
    lastEnd += kLineEnd.size();
    partialLine_ = text.substr(lastEnd);
  }
  const std::string_view lines = std::string_view(text).substr(0, lastEnd);
  for (std::size_t from = 0; from < lines.size();) {
    const std::size_t end = std::min(lines.find(kLineEnd, from), lines.size());
    const std::string_view line = lines.substr(from, end - from);
    from = end + kLineEnd.size();
    if (!line.empty() && !HandleLine(line)) return;
  }
}

bool PhoneRemote::HandleLine(std::string_view line) {
  if (Contains(ToLower(line), kMenuChosen)) {
    if (ShowText(monitor::kPhoneMenuName).empty() || Command("AT+CMER =3,2,0,0").empty()) {
      LinkLost();
      return false;
    }
    shift_.clear();
  }
  if (Contains(line, kStarUp)) shift_.clear();
  if (Contains(line, kHashDown) && shift_ == kShift) {
    ShowOnPhone(kRemoteDisabled);
    Command("AT*EAID=0");
    Command("AT+CMER =0,0,0,0");
    shift_.clear();
    partialLine_.clear();
    ircode::ReadPort(port_);
    clock_.SleepMs(kRemoteOffPauseMs);
    return false;
  }

  const std::string report = KeyReport(line);
  if (ToLower(report) == kStarDown) {
    shift_ = kShift;
    ShowOnPhone(DeviceName(config_.general.btCurrent));
    return true;
  }
  const std::optional<std::string> name = KeyEventName(report);
  if (!name) return true;
  const bool flip = IsFlip(*name);
  if (shift_ == kShift && !flip) {
    const char last = name->back();
    if (last >= '0' && last <= '9') SelectDevice(last - '0');
    return true;
  }
  // The flip events carry no device number, as the event editor writes them.
  events_.ReceiveEvent(flip ? "BT&" + *name
                            : "BT" + std::to_string(config_.general.btCurrent) + "&" + *name);
  return true;
}

void PhoneRemote::SelectDevice(int number) {
  config_.general.btCurrent = static_cast<std::int16_t>(number);
  ShowOnPhone(std::string(kSelectedDevice) + DeviceName(number));
  SetGeneralParam(config_, "BTCURRENT", std::to_string(number));
}

void PhoneRemote::BTAutoTick() {
  const GeneralParams& general = config_.general;
  if (busy_ || !general.btEna || active_ || general.btMode == 1 || !events_.MonitoringOn()) return;
  // Where the port cannot report its lines, neither counts as on.
  if (ircode::GetDsrLine(port_) || ircode::GetCtsLine(port_)) return;
  controls_.btMonTimer = false;
  ClosePhonePort();
  StartPhoneLink();
}

void PhoneRemote::Stop() {
  controls_.btMonTimer = false;
  partialLine_.clear();
  ClosePhonePort();
  active_ = false;
}

void PhoneRemote::Write(std::string_view command) {
  if (port_ > 0) ircode::WritePort(command, port_);
}

void PhoneRemote::OpenPhonePort() {
  if (port_ < 1) port_ = ircode::OpenPort(config_.general.btCom);
}

void PhoneRemote::ClosePhonePort() {
  if (port_ > 0) ircode::ClosePort(port_);
}

std::string PhoneRemote::DeviceName(int number) const {
  if (number < 0 || number >= static_cast<int>(config_.general.bt.size())) return {};
  return config_.general.bt[static_cast<std::size_t>(number)];
}

}  // namespace qvx::bluetooth
