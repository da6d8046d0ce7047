#pragma once

// Monitoring: starting, stopping and restarting it, the tick that turns a received infrared
// command into a monitored event, and the dispatch of an event through the [Monitoring] section
// to the command executor. Qt-free: the main window calls these and mirrors MonitorControls;
// status-line texts go through the Prompter.

#include <optional>
#include <string>
#include <string_view>

#include "qvx/config/prompter.h"
#include "qvx/monitor/executor.h"
#include "qvx/monitor/keypresses.h"
#include "qvx/monitor/phonelink.h"

namespace qvx::monitor {

// The pause after a received command, so that the rest of the key press is not taken anew.
inline constexpr int kAfterCommandPauseMs = 300;
// The pause between the idle checks of the receiver line when monitoring starts.
inline constexpr int kIdleCheckPauseMs = 100;
inline constexpr int kIdleChecks = 3;
// The firing interval of IRMonTimer. A tick on an idle standard receiver reads the line once
// and ends, so the program sleeps between ticks; it samples only once light arrives.
inline constexpr int kIrMonTimerIntervalMs = 1;
// How often the line is read while it is dark, where the port cannot wake the program when the
// light arrives: an RC5 frame opens with a mark of 889 us, and only a window that read darkness
// less than that before the light surely holds the frame from its start; elsewhere a press of
// one frame is lost.
inline constexpr int kIrMonPollUs = 500;
// The longest one wait for light lasts in the window's IRMonTimer handler, so that the window
// stays responsive while the receiver is dark.
inline constexpr int kIrMonTimerWaitMs = 20;
// A kernel infrared device times and queues what it receives, so reading it now and then
// loses nothing.
inline constexpr int kKernelDevicePollMs = 10;

// What the main window shows of monitoring, as the last call left it.
struct MonitorControls {
  bool startMenuChecked = false;    // MonitoringStartMenu
  bool stopMenuChecked = false;     // MonitoringStopMenu
  bool trayStartChecked = false;    // mnuStartMonitor
  bool trayStopChecked = false;     // mnuStopMonitor
  std::string caption;              // the window caption Start sets; empty before any Start
  std::string label111 = "Dev.";    // Label111
  std::string label112 = "Cmd.";    // Label112
  bool monitorFieldsShown = false;  // RecCmd and ExecCmd shown in place of Protocol and
                                    // SendCmd; SendCmd, Zone, Protocol and SendButton hidden
  bool zoneShown = false;           // Zone, while the send controls are shown (FirM receiver)
  std::string recCmd;               // RecCmd: the received event
  std::string execCmd;              // ExecCmd: the output commands run for it
  std::string plen1;                // plen1: mark lengths of the last analysed window
  std::string plen0;                // plen0: gap lengths of the last analysed window
  bool irMonTimer = false;          // IRMonTimer enabled
  bool btAutoTimer = false;         // BTAutoTimer enabled
  std::string icon{"qvxnomon.ico"}; // window and tray icon file in the program directory
};

// What the window does after Start or Stop besides mirroring the controls.
struct WindowRequests {
  bool refreshSelection = false;  // unless minimised: refresh the device selection as a new
                                  // choice in Protocol does
  bool shrink = false;            // unless minimised: shrink the enlarged window
};

// One command the tick received.
struct ReceivedCommand {
  std::string recCmd;   // the event, or "UNKNOWN"
  std::string execCmd;  // the output commands, each followed by ";", or "none"
  std::string status;   // the status line after the dispatch
};

// How a program runs monitoring.
struct MonitorOptions {
  // Write MONITOR on Start and Stop, so that the next start of the main program resumes the
  // state. A headless monitor leaves the key to the main program.
  bool rememberState = true;
};

// The icon file for the monitoring state and the phone link.
std::string_view TrayIconFile(bool monitoring, bool phoneConnected);

class Monitoring final : public EventInput {
 public:
  // Works on the executor's configuration, infrared port (executor.irPort, the handle lent to
  // Pulsio) and services; sleeps on the executor's clock. Without SetPhoneLink there is no
  // phone.
  Monitoring(ExecutorContext& executor, Prompter& prompter, MonitorOptions options = {});

  // Connects the phone link; it must outlive this object.
  void SetPhoneLink(PhoneLink& phone) { phone_ = &phone; }

  // Start (MonitoringStartMenu): nothing while running; refuses when no input is enabled;
  // otherwise starts the phone link, prepares the receiver, and shows what happened.
  WindowRequests Start();
  // Stop (MonitoringStopMenu): nothing while stopped.
  WindowRequests Stop();
  // Restart (RestartMonMenu): Stop, then Start.
  WindowRequests Restart();
  // The tray entries: as the menus, with their own check marks and the icon.
  WindowRequests TrayStart();
  WindowRequests TrayStop();
  WindowRequests TrayRestart();
  // Sets the window and tray icon for the monitoring state and the phone link.
  void UpdateTrayIcon();

  // The IRMonTimer handler. Ends at once while the receiver's DCD line is active (an idle
  // standard receiver, an IR mouse receiver that sees light); otherwise samples one watch
  // window and, when it holds a key press that fires (KeyPresses), names it, dispatches it and
  // pauses 300 ms; a window of a held key that does not fire yet pauses as well. Returns what
  // was received; nothing when the tick ended silently. A port whose lines cannot be read
  // ends every tick from then on (PortFailure). A kernel infrared device is watched whatever
  // the receiver type, without a line to gate on; what goes wrong with it is shown on the
  // status line, and a device that has gone is a port failure.
  std::optional<ReceivedCommand> Tick();
  // The handler of the window's IRMonTimer, which fires every millisecond at best: a tick, and
  // on a line, unless it received a command, AwaitInput for at most kIrMonTimerWaitMs and a
  // second tick, so that no first mark of a frame falls between two reads of the line.
  std::optional<ReceivedCommand> TimerTick();
  // Waits for at most `maxUs` for the receiver to have something to watch, as a program does
  // between ticks. A dark standard receiver on a port that reports line changes sleeps until the
  // light arrives, so that the next tick opens its window on the frame's first mark however
  // seldom the program runs meanwhile; it waits at the timing priority, which the next tick
  // gives back. Elsewhere the wait is the poll interval, if not longer than `maxUs`, at normal
  // priority: kIrMonPollUs on a line, kKernelDevicePollMs on a kernel infrared device.
  void AwaitInput(int64_t maxUs);
  // Why the infrared port stopped answering, as shown on the status line; empty while it works.
  const std::string& PortFailure() const { return portFailure_; }

  // Reads the configuration file again, so that changes of the event table and the devices
  // take effect. The ports and inputs in use stay as they are (COMPORT, ITYPE, IRINENA, X10COM,
  // BTENA, BTCOM). Returns "" when read, otherwise the reason; a file that cannot be loaded
  // leaves the configuration as it was.
  std::string ReadConfigurationAgain();

  // Runs every [Monitoring] line of the event (substring match, file order) through the
  // executor; returns the output commands, each followed by ";" (empty when none matched).
  std::string DispatchEvent(std::string_view event);

  std::string ReceiveEvent(std::string_view event) override;
  void ShowStatus(std::string_view text) override;
  bool MonitoringOn() const override { return monitoring_; }

  const MonitorControls& Controls() const { return controls_; }

 private:
  void PrepareReceiver();
  void CheckIdleLine(bool activeWhenDcdOn);
  void CheckTimingPriority();
  // Notes that the standard receiver was seen dark from `fromNs` to `untilNs`, by one read or
  // by a wait on the line.
  void NoteDarkness(int64_t fromNs, int64_t untilNs);
  std::optional<ReceivedCommand> Fire(const WatchedKey& key);
  std::string RunOutputCommand(std::string_view output);

  ExecutorContext& executor_;
  ConfigStore& config_;
  Prompter& prompter_;
  platform::Clock& clock_;
  MonitorOptions options_;
  NoPhoneLink noPhone_;
  PhoneLink* phone_ = &noPhone_;
  MonitorControls controls_;
  bool monitoring_ = false;
  std::string status_;  // the status line as monitoring last set it
  KeyPresses presses_;
  int64_t darkSinceNs_ = -1;  // the first of the close reads that showed darkness; -1: none
  int64_t lastDarkNs_ = -1;   // the last of them
  bool priorityChecked_ = false;  // the timing priority was tried once
  bool lineChangesReported_ = true;  // until the port says it cannot wake a waiter
  bool raisedForLight_ = false;      // a wait ended at the light with the priority raised
  std::string portFailure_;
};

}  // namespace qvx::monitor
