#pragma once

// A simulated kernel infrared device (what /dev/lircN is on Linux), behind the very system calls
// a real one gets: open, ioctl, read, write, poll, flock, close. It is opened through the real
// device code (OpenSerialDevice with these calls), so that code is what tests and benchmarks
// exercise. Like the kernel it times the light it receives itself and hands it out as mode2
// values: the darkness before a pulse when the pulse begins, the pulse when it ends, and a
// timeout report once the light has stayed away for the receive timeout. It takes sends as
// pulse and space durations within the kernel's limits and returns when they have gone out.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/posix/serial_syscalls.h"
#include "platform/sim/ir_peer.h"

namespace platform::sim {

// The receive timeout of the kernel's infrared core when a driver sets none.
inline constexpr uint32_t kKernelDefaultTimeoutUs = 125'000;
// Values the kernel keeps for a reader before it drops new ones.
inline constexpr size_t kKernelReceiveBufferValues = 512;

class KernelIrDevice final : public SerialSyscalls {
 public:
  // A receiver and transmitter named `path`, on `clock` (which must outlive it); its time 0,
  // from which scripted presses and faults are timed, is the clock's time now.
  KernelIrDevice(Clock& clock, std::string path);

  // What it is and does wrong.
  void SetCanReceive(bool can) { canReceive_ = can; }
  void SetCanSend(bool can) { canSend_ = can; }
  // Drivers that do not let the carrier and duty cycle be chosen.
  void SetFixedCarrier(bool fixed) { fixedCarrier_ = fixed; }
  // The receive timeout after which the light is reported over; 0 reports none.
  void SetTimeoutUs(uint32_t us) { timeoutUs_ = us; }
  // The device goes (unplugged) at `atNs` of the clock: opens fail as there is no such file,
  // reads and writes with ENODEV, poll reports a hang-up.
  void VanishAt(int64_t atNs) { vanishNs_ = atNs; }
  // The driver lost durations at `atNs`: an overflow report stands in their place.
  void OverflowAt(int64_t atNs);
  // Opens are refused for lack of permission.
  void DenyAccess(bool deny) { denyAccess_ = deny; }
  // Makes the device one for every process whose device names the same lock file, as a real
  // device is under flock.
  void SetMachineLock(std::filesystem::path lockFile) { machineLockFile_ = std::move(lockFile); }
  // Applies the options of "sim:NAME:OPTIONS", comma-separated: nosend, norecv, fixedcarrier,
  // denied, timeout=MS, vanish=MS and overflow=MS (milliseconds from time 0). False for one it
  // does not know; those before it are applied.
  bool ApplyOptions(std::string_view options);

  // Plays light, as captured marks, shifted so that the first starts `delayUs` from now;
  // replaces what was to come after that.
  void PlayMarks(const std::vector<LightMark>& marks, int64_t delayUs = 0);
  // Plays light for durationsUs[0], darkness for [1] and so on, from `delayUs` from now.
  void PlayRemote(const std::vector<int64_t>& durationsUs, int64_t delayUs = 0);
  // Plays marks timed from the device's time 0 (a press script).
  void PlayScript(const std::vector<LightMark>& marks);

  // One write the device took.
  struct Transmission {
    int64_t startNs = 0;
    uint32_t carrierHz = 0;
    uint32_t dutyCyclePercent = 0;
    std::vector<uint32_t> durationsUs;
    bool operator==(const Transmission&) const = default;
  };
  // Every write taken so far, in order.
  const std::vector<Transmission>& Sent() const { return sent_; }
  void ClearSent() { sent_.clear(); }
  // True while any descriptor of the device is open.
  bool IsOpen() const { return !descriptors_.empty(); }
  const std::string& DevicePath() const { return path_; }

  int Open(const char* path, int flags) override;
  int Close(int fd) override;
  int Flock(int fd, int operation) override;
  int IsATty(int fd) override;
  int Ioctl(int fd, unsigned long request, void* argument) override;
  int TcGetAttr(int fd, termios* tio) override;
  int TcSetAttr(int fd, int when, const termios* tio) override;
  ssize_t Read(int fd, void* buffer, std::size_t size) override;
  ssize_t Write(int fd, const void* bytes, std::size_t size) override;
  int Poll(pollfd* entries, nfds_t count, int timeoutMs) override;

 private:
  struct Descriptor {
    uint32_t receiveMode = 0;
    std::deque<uint32_t> received;
  };

  bool Gone();
  Descriptor* Find(int fd);
  // Times the light up to now into the readers' buffers.
  void Advance();
  // When the next value becomes readable (INT64_MAX: none is to come).
  int64_t NextValueNs();
  void Deliver(uint32_t value);
  uint32_t FeatureWord() const;

  Clock& clock_;
  std::string path_;
  int64_t originNs_;
  bool canReceive_ = true;
  bool canSend_ = true;
  bool fixedCarrier_ = false;
  bool denyAccess_ = false;
  uint32_t timeoutUs_ = kKernelDefaultTimeoutUs;
  int64_t vanishNs_ = INT64_MAX;
  std::vector<int64_t> overflowsNs_;  // still to report, in time order
  std::filesystem::path machineLockFile_;
  std::optional<MachineLock> machineLock_;

  std::map<int, Descriptor> descriptors_;
  int nextFd_ = 1000;
  int lockHolder_ = -1;

  // The light and how far it has been timed.
  std::vector<LightMark> marks_;
  size_t nextMark_ = 0;
  bool inPulse_ = false;          // the rising edge of marks_[nextMark_] was reported
  int64_t lastEdgeNs_;            // the end of the last pulse, or when the idle time began
  bool timedOut_ = true;          // the last light was reported over (or none came yet)

  uint32_t carrierHz_ = 38'000;
  uint32_t dutyCyclePercent_ = 50;
  int64_t busyUntilNs_ = 0;
  std::vector<Transmission> sent_;
};

// Creates a simulated kernel device on `clock` and registers it as "sim:NAME" (a kernel
// infrared device to PortKindOf), opened through the real device code; returns it. It must
// outlive the ports opened on it.
std::shared_ptr<KernelIrDevice> InstallKernelIrDevice(const std::string& name, Clock& clock);

// The writes of a capture file's "lirc" lines (see standard_peers.h), in order; empty when it
// cannot be read.
std::vector<KernelIrDevice::Transmission> ReadKernelCapture(const std::filesystem::path& path);

}  // namespace platform::sim
