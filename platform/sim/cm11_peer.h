#pragma once

// The simulated CM11/CM12 X10 powerline interface. Cm11Interface is the interface's side of
// the serial exchange, byte for byte and independent of how the bytes travel; Cm11Peer puts it
// behind a simulated port ("sim:NAME"), and a PtyBridge (pty_bridge.h) puts it on the master
// side of a pseudo-terminal so that the real termios code talks to it.
//
// The exchange the interface answers: two bytes (header, address or function) are answered
// with their checksum; the go-ahead 0x00 makes it send the transmission on the powerline and
// answer 0x55 when ready. Any other byte where the go-ahead is due starts a new transmission,
// as the real interface treats a repeated header. 0x9B and six bytes set its clock, answered
// with the checksum of the six bytes. In scripted mode it answers from a script instead, for
// replies no fault describes (a fuzzed reply stream).
//
// The interface also asks for the PC of its own accord, once a second until it is served: with
// 0x5A while it holds X10 traffic it heard on the powerline (answered by 0xC3, after which it
// uploads its buffer), and with 0xA5 after a power failure (answered by setting its clock).
// While it asks it ignores every other byte. HoldData and FailPower script both.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/peer.h"

namespace platform::sim {

// Bytes a simulated device answers, readable `delayUs` after the byte that caused them.
struct TimedReply {
  std::vector<uint8_t> bytes;
  int64_t delayUs = 0;
};

// A device's side of a byte exchange, whatever carries the bytes. Times are the carrier's, in
// microseconds; a device that sends on a schedule of its own keeps it on them.
class ByteResponder {
 public:
  virtual ~ByteResponder() = default;
  // Takes one byte the host sent, heard at `nowUs`; returns what the device answers (possibly
  // nothing), timed from then.
  virtual std::vector<TimedReply> OnHostByte(uint8_t byte, int64_t nowUs) = 0;
  // What the device sends of its own accord up to `nowUs`, timed from then.
  virtual std::vector<TimedReply> TakeUnsolicited(int64_t /*nowUs*/) { return {}; }
};

// Ways the interface can misbehave on a reply.
enum class Cm11Fault {
  None,    // the right byte after the normal delay
  Late,    // the right byte after the late delay
  Twice,   // the right byte twice, arriving together
  Wrong,   // another byte (the right one plus 1)
  Silent,  // no answer at all
};

// One transmission the interface put on the powerline (acknowledged with 0x00).
struct X10Transmission {
  uint8_t header = 0;  // bit 2 always set, bit 1 set for a function, bits 7..3 dim steps
  uint8_t code = 0;    // house code bits in 7..4, unit code or function in 3..0
  // True for a function transmission, false for an address.
  bool IsFunction() const { return (header & 0x02) != 0; }
  // Dim or brighten steps of the transmission (0 to 22).
  int DimSteps() const { return header >> 3; }
  bool operator==(const X10Transmission&) const = default;
};

// The CM11/CM12's serial protocol. Thread-safe: a pseudo-terminal bridge calls it from its own
// thread while a test reads what it received.
class Cm11Interface final : public ByteResponder {
 public:
  // The bytes with which the interface asks for the PC, and the PC's answer to a poll.
  static constexpr uint8_t kPoll = 0x5A;
  static constexpr uint8_t kPollAnswer = 0xC3;
  static constexpr uint8_t kPowerFail = 0xA5;

  std::vector<TimedReply> OnHostByte(uint8_t byte, int64_t nowUs) override;
  std::vector<TimedReply> TakeUnsolicited(int64_t nowUs) override;

  // Misbehaves on the next `replies` replies (checksums and ready bytes alike), then answers
  // normally again.
  void InjectFault(Cm11Fault fault, int replies = 1);
  // Misbehaves on every reply from now on (Cm11Fault::None ends it and drops injected ones).
  void SetFault(Cm11Fault fault);
  // Delay of a checksum reply (default 2 ms).
  void SetChecksumDelayUs(int64_t us);
  // Delay of the ready byte after the go-ahead, the powerline transmission (default 2 ms).
  void SetReadyDelayUs(int64_t us);
  // Delay of a late reply (default 2.5 s, longer than ten polls of 200 ms).
  void SetLateDelayUs(int64_t us);
  // Scripted mode: from now on each byte the host sends is answered by the next reply of the
  // script (an empty one is no answer), whatever the protocol would answer, and by nothing once
  // the script is used up. The bytes are still recorded; no transmission is.
  void ScriptReplies(std::vector<TimedReply> replies);
  // Holds `upload` for the PC (its size byte first, then the function/address mask and the
  // data, as the interface sends them) once it has heard `afterHostBytes` more bytes of the host
  // (0: from now on): it polls with 0x5A, the first time at once, until the PC answers 0xC3, then
  // sends the upload. Requests made while another is open wait for it.
  void HoldData(std::vector<uint8_t> upload, int afterHostBytes = 0);
  // Loses its clock in a power failure once it has heard `afterHostBytes` more bytes of the host
  // (0: from now on): it sends 0xA5, the first time at once, until the PC sets its clock.
  void FailPower(int afterHostBytes = 0);
  // True while the interface asks for the PC or has a request waiting.
  bool Asking() const;
  // The bytes the interface sent of its own accord (its polls, power-fail requests and uploads),
  // in order.
  std::vector<uint8_t> SentUnasked() const;

  // Every byte the host has sent, in order.
  std::vector<uint8_t> Received() const;
  // The transmissions put on the powerline, in order.
  std::vector<X10Transmission> Transmissions() const;
  // The six bytes of every clock setting received, in order.
  std::vector<std::vector<uint8_t>> ClockSettings() const;
  // Forgets what was received and sent, keeps the faults and delays.
  void ClearRecord();

 private:
  static constexpr uint8_t kGoAhead = 0x00;
  static constexpr uint8_t kReady = 0x55;
  static constexpr uint8_t kSetClock = 0x9B;
  static constexpr size_t kSetClockBytes = 7;

  // The reply `byte` after `delayUs`, as the next fault makes it.
  std::vector<TimedReply> Answer(uint8_t byte, int64_t delayUs);
  // The protocol's answer to one host byte, the interface not asking.
  std::vector<TimedReply> Respond(uint8_t byte);
  // The answer while the interface asks: the upload for 0xC3 to a poll, the clock setting after
  // a power failure, nothing for anything else.
  std::vector<TimedReply> RespondAsking(uint8_t byte);
  // Opens the next waiting request that has fallen due, from `startUs` on.
  void OpenDueRequest(int64_t startUs);

  // A request of the interface: a poll with its upload, or a power failure.
  struct Request {
    bool powerFail = false;
    std::vector<uint8_t> upload;
    int afterHostBytes = 0;  // host bytes still to be heard before it opens
  };
  static constexpr int64_t kRequestIntervalUs = 1'000'000;

  mutable std::mutex mutex_;
  std::vector<uint8_t> message_;   // bytes of the transmission being received
  bool awaitingGoAhead_ = false;   // a checksum was answered; 0x00 is due
  bool pendingIsClock_ = false;    // the message awaiting the go-ahead set the clock
  X10Transmission pending_;        // the transmission awaiting the go-ahead
  bool scripted_ = false;
  std::vector<TimedReply> script_;  // the scripted replies still to come, the next one last
  std::vector<Cm11Fault> injected_;
  Cm11Fault standing_ = Cm11Fault::None;
  int64_t checksumDelayUs_ = 2000;
  int64_t readyDelayUs_ = 2000;
  int64_t lateDelayUs_ = 2'500'000;
  std::vector<Request> waiting_;        // requests not yet open, in order
  std::optional<Request> open_;        // the request the interface is making
  int64_t nextRequestUs_ = 0;          // when it sends its next 0x5A or 0xA5
  std::vector<uint8_t> sentUnasked_;
  std::vector<uint8_t> received_;
  std::vector<X10Transmission> transmissions_;
  std::vector<std::vector<uint8_t>> clockSettings_;
};

// The interface behind a simulated port: bytes written to the port reach it, its answers
// become readable input at their time on the peer's clock.
class Cm11Peer final : public Peer {
 public:
  explicit Cm11Peer(Clock& clock) : Peer(clock) {}

  // The interface's protocol state, its faults and its record.
  Cm11Interface& Interface() { return interface_; }

 protected:
  void OnByteSent(uint8_t byte, int64_t startNs, int64_t endNs) override;
  void BeforeRead(int64_t nowNs) override;

 private:
  Cm11Interface interface_;
};

// Creates a CM11 peer on `clock` and registers it as "sim:NAME"; returns it.
std::shared_ptr<Cm11Peer> InstallCm11Peer(const std::string& name, Clock& clock);

}  // namespace platform::sim
