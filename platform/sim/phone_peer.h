#pragma once

// A simulated Ericsson phone on a Bluetooth serial port, as far as the phone remote uses it.
// PhoneInterface is the phone's side of the AT dialogue, independent of how the bytes travel;
// PhonePeer puts it behind a simulated port ("sim:NAME"), where CTS and DSR show whether the
// phone is in range, and a PtyBridge (pty_bridge.h) puts it on a pseudo-terminal.
//
// The phone answers "OK" to every command line ending in CR, the model name before it to
// AT+CGMM, and remembers what AT*EAID put on its display. Once key reporting is switched on
// (AT+CMER=3,2,0,0, with or without a blank before "="), it plays its script: lines such as
// "+CKEV: 5,1" or "*EAAI", each at its time after the switch.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sim/cm11_peer.h"
#include "platform/sim/peer.h"

namespace platform::sim {

// One unsolicited line of the phone, `atMs` after key reporting was switched on.
struct PhoneScriptLine {
  int64_t atMs = 0;
  std::string line;     // without CR LF
  bool lineEnd = true;  // followed by CR LF; false for the first part of a split line
};

// How the phone answers commands.
enum class PhoneAnswers {
  Normal,   // "OK" (and the model to AT+CGMM)
  Silent,   // nothing at all
  Garbage,  // bytes that are no reply
};

class PhoneInterface final : public ByteResponder {
 public:
  // Delay of every reply (default 20 ms).
  static constexpr int64_t kReplyDelayUs = 20'000;

  std::vector<TimedReply> OnHostByte(uint8_t byte, int64_t nowUs) override;
  std::vector<TimedReply> TakeUnsolicited(int64_t nowUs) override;

  // The reply line to AT+CGMM (default "T68i").
  void SetModel(const std::string& model);
  void SetAnswers(PhoneAnswers answers);
  // The lines played the next time key reporting is switched on (once).
  void SetScript(std::vector<PhoneScriptLine> script);
  // Sends a line now (the user chose the menu entry: "*EAAI"), with CR LF, `delayMs` later.
  void Send(const std::string& line, int64_t delayMs = 0);

  // Every command line received, without its CR, in order.
  std::vector<std::string> Commands() const;
  // Every text AT*EAID=1,2 showed, in order, without its quotes.
  std::vector<std::string> Displayed() const;
  // True while key reporting is on.
  bool KeyReporting() const;

 private:
  std::vector<TimedReply> Answer(const std::string& command);

  mutable std::mutex mutex_;
  std::string line_;  // the command line being received
  std::string model_ = "T68i";
  PhoneAnswers answers_ = PhoneAnswers::Normal;
  std::vector<PhoneScriptLine> script_;
  std::vector<TimedReply> unsolicited_;
  std::vector<std::string> commands_;
  std::vector<std::string> displayed_;
  bool keyReporting_ = false;
};

// The phone behind a simulated port. In range, it holds CTS and DSR on; out of range both drop
// and it neither hears nor answers.
class PhonePeer final : public Peer {
 public:
  explicit PhonePeer(Clock& clock);

  PhoneInterface& Phone() { return phone_; }
  // Puts the phone in range (CTS and DSR on) or out of it.
  void SetInRange(bool inRange);
  // Sends a line now, as PhoneInterface::Send.
  void Send(const std::string& line, int64_t delayMs = 0);

 protected:
  void OnByteSent(uint8_t byte, int64_t startNs, int64_t endNs) override;

 private:
  void QueueReplies(const std::vector<TimedReply>& replies, int64_t afterUs);

  PhoneInterface phone_;
  bool inRange_ = true;
};

// Creates a phone peer on `clock`, registers it as "sim:NAME" and returns it.
std::shared_ptr<PhonePeer> InstallPhonePeer(const std::string& name, Clock& clock);

// A phone script read from a file: one line each, "AT_MS TEXT" (TEXT up to the end of the
// line); empty lines and lines beginning with "#" are skipped. Empty when the file cannot be
// read or a line has no time.
std::vector<PhoneScriptLine> ReadPhoneScript(const std::string& path);

}  // namespace platform::sim
