#pragma once

// The base of every simulated device on a serial port. A peer keeps what a real port keeps
// (line format, time-outs, output lines, the one-opener rule) and hands out SerialPort objects
// that the handle table owns. A new peer type overrides the hooks it needs: the input lines it
// drives, what it does with the bytes and line changes it receives, and it answers with
// QueueInput. RegisterAs makes it reachable as COMn=sim:NAME. Peers live in a std::shared_ptr
// (make_shared), which their open ports share.

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/serial.h"

namespace platform::sim {

// Port operations a peer can be told to refuse.
enum class PeerOperation {
  Open, GetSettings, SetSettings, GetTimeouts, SetTimeouts, SetLine, ModemStatus,
  TransmitChar, Write, Read,
};

class Peer : public std::enable_shared_from_this<Peer> {
 public:
  // A peer that runs on `clock`; the clock must outlive the peer.
  explicit Peer(Clock& clock);
  virtual ~Peer() = default;
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  // Opens the peer as a port; null while it is open already (InUse) or while Open is made to
  // fail (SystemFailure), with the reason in *why when given.
  std::unique_ptr<SerialPort> OpenPort(Status* why = nullptr);
  // Makes the peer reachable as "sim:NAME" (replacing an earlier peer of that name).
  void RegisterAs(const std::string& name);
  // True while a port of this peer is open.
  bool IsOpen() const { return open_; }
  // Makes the peer one device for every process whose peer names the same lock file, as a
  // real port is: while one of them has it open, the others' opens fail as InUse.
  void SetMachineLock(std::filesystem::path lockFile) { machineLockFile_ = std::move(lockFile); }

  // Makes every later call of `operation` fail (true) or work again (false).
  void SetFailing(PeerOperation operation, bool failing);
  // Holds the input lines at the given kStatus* bits (DCD may be driven by the peer instead).
  void SetInputLines(uint32_t statusBits) { heldInputLines_ = statusBits; }
  // Whether the port wakes a waiter on a change of its input lines, as a UART's driver does
  // (the default), or answers that it cannot, as a pseudo-terminal or a Windows port does.
  void SetLineChangesReported(bool reported) { lineChangesReported_ = reported; }
  // Queues bytes the peer answers, readable `delayUs` after now.
  void QueueInput(std::span<const uint8_t> bytes, int64_t delayUs = 0);
  // Queues the bytes of a text, as QueueInput above.
  void QueueInput(std::string_view text, int64_t delayUs = 0);

  // The line format last set by the host.
  const PortSettings& Settings() const { return settings_; }
  // The time-outs last set by the host.
  const PortTimeouts& Timeouts() const { return timeouts_; }
  // Current state of DTR, RTS or the TxD break.
  bool LineOn(OutputLine line) const { return lines_[static_cast<size_t>(line)]; }
  // Every byte the host has sent, by Write and TransmitChar, in order.
  const std::vector<uint8_t>& ReceivedBytes() const { return receivedBytes_; }
  // Nanoseconds one character takes on the wire with the current line format.
  int64_t CharacterNs() const;
  // The clock the peer runs on.
  Clock& PeerClock() const { return clock_; }

 protected:
  // The input lines (kStatus* bits) at `nowNs`; the default is the held lines.
  virtual uint32_t InputLinesAt(int64_t nowNs);
  // The first time after `nowNs` at which the input lines may change by themselves (the
  // peer's own schedule); none by default: held lines change only when set.
  virtual std::optional<int64_t> NextInputChangeNs(int64_t nowNs);
  // Called when DTR, RTS or the break state changes.
  virtual void OnLineChanged(OutputLine line, bool on, int64_t atNs);
  // Called for every byte sent, with the time it starts and ends on the wire.
  virtual void OnByteSent(uint8_t byte, int64_t startNs, int64_t endNs);
  // Called when the host reads, before the input due by `nowNs` is taken: a peer that sends on
  // a schedule of its own queues what has fallen due.
  virtual void BeforeRead(int64_t nowNs);

 private:
  class Port;
  friend class Port;

  bool Failing(PeerOperation operation) const;
  void ChangeLine(OutputLine line, bool on);
  // Puts a byte on the wire after those still being sent; returns its end time.
  int64_t SendByte(uint8_t byte);
  void ReadBytes(std::span<uint8_t> buffer, size_t& received);
  size_t TakeAvailable(std::span<uint8_t> buffer, size_t received);

  struct PendingByte {
    int64_t availableNs;
    uint8_t byte;
  };

  Clock& clock_;
  bool open_ = false;
  std::filesystem::path machineLockFile_;  // empty: open in this process only
  std::optional<MachineLock> machineLock_;  // held while open
  std::array<bool, 10> failing_{};
  PortSettings settings_;
  PortTimeouts timeouts_ = kReturnAtOnceTimeouts;
  std::array<bool, 3> lines_{};
  uint32_t heldInputLines_ = 0;
  bool lineChangesReported_ = true;
  int64_t wireBusyUntilNs_ = 0;
  std::deque<PendingByte> input_;
  std::vector<uint8_t> receivedBytes_;
};

}  // namespace platform::sim
