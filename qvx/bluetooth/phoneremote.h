#pragma once

// The Bluetooth phone remote: the AT-command link with an Ericsson phone on the port BTCOM,
// its start dialogue, the polling tick that turns key reports into monitored events, the star
// key as shift (star + digit selects the Bluetooth device number, star + "#" switches the
// remote off), the reconnection tick, and the echo of dispatched results on the phone's
// display. Qt-free: the main window's timers call the tick methods and mirror PhoneControls.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/serial.h"
#include "qvx/config/store.h"
#include "qvx/monitor/phonelink.h"

namespace qvx::bluetooth {

// The system's texts of the phone link.
inline constexpr std::string_view kInitializing = "Initialize bluetooth...";
inline constexpr std::string_view kUnavailable = "Bluetoth unavailable!";
inline constexpr std::string_view kDisconnected = "BT disconnected!";
inline constexpr std::string_view kNowConnected = " is now connected.";
inline constexpr std::string_view kWelcome = "Welcome to Orrin's Zarvel Manager";
inline constexpr std::string_view kCurrentDevice = "Current device is ";
inline constexpr std::string_view kSelectedDevice = "Selected device is ";
inline constexpr std::string_view kRemoteDisabled = "Zarvel Remote Disabled";
inline constexpr std::string_view kUnknownModel = "Unknown";
inline constexpr std::string_view kShift = "SHIFT";

// RecCmd's background (0x00BBGGRR): cyan while the phone is connected, yellow once it is not.
inline constexpr uint32_t kConnectedColour = 0xFFFF00;
inline constexpr uint32_t kDisconnectedColour = 0x00FFFF;

// Timer intervals of the main window and the reply time-out in SecondTimer ticks.
inline constexpr int kBtMonTimerIntervalMs = 100;
inline constexpr int kBtAutoTimerIntervalMs = 2000;
inline constexpr int kSecondTimerIntervalMs = 200;
inline constexpr int kReplyTimeoutTicks = 5;
// Pauses: after the welcome text, and after the remote was switched off.
inline constexpr int kWelcomePauseMs = 2000;
inline constexpr int kRemoteOffPauseMs = 1000;
// The slice a wait sleeps between two reads when no window runs the timers.
inline constexpr int kWaitSliceMs = 10;

// The model text for a reply to AT+CGMM: the first of t39m, t39, t68i, t68, r520 it contains
// (any case) names it; "Unknown" otherwise.
std::string_view PhoneModel(std::string_view reply);

// The event name of a key report such as "5,1": the key table; nothing for a release, the
// star key (the shift) and anything that is no report.
std::optional<std::string> KeyEventName(std::string_view report);

// The report a read carries: the three characters that begin two places after the first
// "ckev" (any case), or characters 2 to 4 of the text without one.
std::string KeyReport(std::string_view text);

// What the main window shows of the phone link.
struct PhoneControls {
  bool btMonTimer = false;                // BTMonTimer enabled
  std::optional<uint32_t> recCmdColour;   // RecCmd's background once the link changed
  std::string startupLabel;               // the start-up window's label
  std::string model{kUnknownModel};       // the model text of the last start
};

class PhoneRemote final : public monitor::PhoneLink {
 public:
  // Works on the configuration's BT keys, reports to `events` (monitoring) and sleeps on
  // `clock`; both must outlive it.
  PhoneRemote(ConfigStore& config, monitor::EventInput& events, platform::Clock& clock);
  ~PhoneRemote() override;
  PhoneRemote(const PhoneRemote&) = delete;
  PhoneRemote& operator=(const PhoneRemote&) = delete;

  // What a reply wait runs between two reads: the window's pending events, among them
  // SecondTimer, which calls SecondTick. Without one the wait sleeps kWaitSliceMs on the clock
  // and counts SecondTimer's ticks from the clock itself.
  void SetEventPump(std::function<void()> pump) { pump_ = std::move(pump); }

  // SecondTimer (every 200 ms): counts the reply ticks.
  void SecondTick() { ++replyTicks_; }
  // Reads until the text holds `expected` followed by CR LF (any line end when empty); returns
  // what was read, or "" when about a second passed or the port failed. A star release seen
  // meanwhile clears the shift state.
  std::string WaitPhoneReply(std::string_view expected);
  // Shows the text in the phone's dialog and waits for "OK". When the star key is released
  // meanwhile (or within the reply time-out after it was seen held) the accessory menu name is
  // shown again and the shift state cleared. Returns the reply, "" when none came.
  std::string ShowOnPhone(std::string_view text);
  // The start dialogue; true when the phone is connected. Opens BTCOM when the port is not open.
  // Entered again while a phone operation waits for a reply, it does nothing and tells whether
  // the link is up.
  bool StartPhoneLink();
  // BT&CONNECTED, once per change: dispatched, shown, and the link made active.
  void RaisePhoneConnected();
  // BT&DISCONNECTED, once per change: dispatched, shown, and the link made inactive.
  void RaisePhoneDisconnected();
  // BTMonTimer (every 100 ms): reads what the phone sent and acts on every report in it, in
  // order. Does nothing unless BTENA is on and the link is active, or while another phone
  // operation waits.
  void BTMonTick();
  // BTAutoTimer (every 2 s while enabled): in Auto mode, while monitoring runs and the link is
  // down, closes the port and starts the link again.
  void BTAutoTick();

  // monitor::PhoneLink
  void Start() override { StartPhoneLink(); }
  void Stop() override;
  bool Connected() const override { return active_; }
  void Write(std::string_view command) override;

  const PhoneControls& Controls() const { return controls_; }
  platform::PortHandle PortHandle() const { return port_; }
  // Closes the phone port when it is open and forgets its handle (frmBT's port change).
  void ClosePhonePort();
  // Opens BTCOM as the phone port unless it is open; the handle is -1 when that failed.
  void OpenPhonePort();
  const std::string& ShiftState() const { return shift_; }

 private:
  class Busy;

  void RunPendingEvents();
  // Writes a line to the phone; false when the port refuses it.
  bool Send(std::string_view line);
  // The reply to what was sent: waits for "OK"; "" when none came or nothing was sent.
  std::string AwaitOk(bool sent);
  // Sends an AT command with CR LF and waits for "OK", as AwaitOk.
  std::string Command(std::string_view command);
  // Shows a text in the phone's dialog (AT*EAID) and waits for "OK", as AwaitOk.
  std::string ShowText(std::string_view text);
  std::string ShowOnPhoneOnce(std::string_view text, bool releaseRedraws);
  bool StartDialogue();
  // Acts on one line the phone sent; false when the tick ends with it (the link was lost, or
  // the remote switched off).
  bool HandleLine(std::string_view line);
  bool FailStart();
  // True while the phone's CTS is on, or where the port has no modem lines to tell.
  bool LinePresent();
  void LinkLost();
  void SelectDevice(int number);
  std::string DeviceName(int number) const;

  ConfigStore& config_;
  monitor::EventInput& events_;
  platform::Clock& clock_;
  std::function<void()> pump_;
  int64_t nextSecondTickNs_ = 0;
  platform::PortHandle port_ = platform::kPortClosed;
  bool portFailed_ = false;      // a read or write of the current wait failed
  int replyTicks_ = 0;
  bool active_ = false;
  bool connectedRaised_ = false;
  bool disconnectedRaised_ = false;
  bool busy_ = false;            // a dialogue or a tick is running; ticks entered meanwhile return
  std::string shift_;
  std::string partialLine_;      // the start of a line still arriving, for the next tick
  PhoneControls controls_;
};

}  // namespace qvx::bluetooth
