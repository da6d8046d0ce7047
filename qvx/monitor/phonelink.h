#pragma once

// Where monitoring and the Bluetooth phone link meet. Neither module includes the other: the
// phone module implements PhoneLink, monitoring implements EventInput, and the program hands
// each one the other. This header depends on nothing but the standard library.

#include <string>
#include <string_view>

namespace qvx::monitor {

// The phone's connection and flip events. They do not depend on the Bluetooth device number,
// so they carry none; dispatching accepts a flip event written with a number too (BT0&FLIP OPEN).
inline constexpr std::string_view kPhoneConnectedEvent = "BT&CONNECTED";
inline constexpr std::string_view kPhoneDisconnectedEvent = "BT&DISCONNECTED";
inline constexpr std::string_view kPhoneFlipOpenEvent = "BT&FLIP OPEN";
inline constexpr std::string_view kPhoneFlipClosedEvent = "BT&FLIP CLOSED";

// The name of the accessory-menu entry, shown on the phone when there is nothing else to show.
inline constexpr std::string_view kPhoneMenuName = "Zarvel Manager";

// The AT command that shows a text in the dialog on the phone's display, with its CR LF.
inline std::string PhoneDisplayCommand(std::string_view text) {
  return "AT*EAID=1,2,\"" + std::string(text) + "\"\r\n";
}

// The phone link as monitoring uses it.
class PhoneLink {
 public:
  virtual ~PhoneLink() = default;
  // Starts the link as monitoring starts (StartPhoneLink); called only while BTENA is on.
  virtual void Start() = 0;
  // Stops polling the phone (BTMonTimer) and closes the phone port when it is open, forgetting
  // its handle.
  virtual void Stop() = 0;
  // True while the link is active; the tray then shows the phone icon.
  virtual bool Connected() const = 0;
  // Writes one AT command line to the phone port without awaiting the reply; nothing happens
  // when the port is not open.
  virtual void Write(std::string_view command) = 0;
};

// A program without a phone.
class NoPhoneLink final : public PhoneLink {
 public:
  void Start() override {}
  void Stop() override {}
  bool Connected() const override { return false; }
  void Write(std::string_view) override {}
};

// What the phone link needs from monitoring.
class EventInput {
 public:
  virtual ~EventInput() = default;
  // Shows the event in RecCmd, dispatches it through the event table and shows the output
  // commands, or "none" when there are none, in ExecCmd; returns the output commands.
  virtual std::string ReceiveEvent(std::string_view event) = 0;
  // Puts a text on the main window's status line.
  virtual void ShowStatus(std::string_view text) = 0;
  // True while monitoring runs.
  virtual bool MonitoringOn() const = 0;
};

}  // namespace qvx::monitor
