#pragma once

// A simulated device on the master side of a pseudo-terminal (POSIX). The slave side is a
// real terminal device: the host opens it as a COM port (QVX_COMn=<path>) and talks to it
// through the real termios code, while a thread of the bridge feeds what arrives on the master
// to the device's logic and writes its answers back.
//
// The answers are timed on the host's clock, which may be virtual: the host's sleeps call
// Settle, which lets the bridge take in what the host has written and what the device sends of
// its own accord (ByteResponder::TakeUnsolicited), and release every answer due by the host's
// time. BridgedClock does that for a VirtualClock.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/sim/cm11_peer.h"
#include "platform/sim/virtual_clock.h"

namespace platform::sim {

// One device on one pseudo-terminal, served by a thread of its own.
class PtyBridge {
 public:
  // Opens a pseudo-terminal in raw mode and starts serving `device`, which must outlive the
  // bridge. Ok() tells whether the terminal could be made.
  explicit PtyBridge(ByteResponder& device);
  // Stops the thread and closes the terminal.
  ~PtyBridge();
  PtyBridge(const PtyBridge&) = delete;
  PtyBridge& operator=(const PtyBridge&) = delete;

  // True when the terminal and the thread run.
  bool Ok() const { return running_; }
  // Path of the slave side, to be opened as a serial port; "" when not Ok().
  const std::string& PortPath() const { return path_; }
  // Brings the device up to the host's time `nowNs`: what the host has written so far is
  // taken in (stamped with the previous time), then every answer due by `nowNs` is put on the
  // line and is readable on the slave when Settle returns.
  void Settle(int64_t nowNs);

 private:
  struct Pending {
    int64_t dueNs;
    std::vector<uint8_t> bytes;
  };

  void Serve();
  // Reads what the master has and hands it to the device; answers are timed from hostNowNs_.
  void TakeInput();
  // Queues answers timed from hostNowNs_.
  void Schedule(std::vector<TimedReply> replies);
  // Writes the answers due by hostNowNs_ and waits until the slave can read them.
  void ReleaseDue();
  // Bytes waiting to be read on the slave side.
  int SlaveInputBytes() const;

  ByteResponder& device_;
  int master_ = -1;
  int slave_ = -1;  // held open so the terminal stays up between host openings; never read
  int wake_[2] = {-1, -1};
  std::string path_;
  bool running_ = false;
  std::thread thread_;

  std::mutex mutex_;
  std::condition_variable served_;
  bool stop_ = false;
  int64_t hostNowNs_ = 0;        // time of the host's last Settle (thread only)
  int64_t requestedNowNs_ = 0;   // time asked for by the latest Settle
  uint64_t requested_ = 0;       // Settle calls made
  uint64_t completed_ = 0;       // Settle calls the thread has served
  std::vector<Pending> pending_;  // answers not yet due (thread only)
};

// A virtual clock whose sleeps let a bridged device answer: every SleepMs moves the virtual
// time on and then settles the bridge at the new time. Everything else is the virtual clock's.
class BridgedClock final : public Clock {
 public:
  // Runs on `time`, settling `bridge`; both must outlive the clock.
  BridgedClock(VirtualClock& time, PtyBridge& bridge) : time_(time), bridge_(bridge) {}

  int64_t Counter() override { return time_.Counter(); }
  int64_t Frequency() override { return time_.Frequency(); }
  int64_t NowNs() override { return time_.NowNs(); }
  void WaitUntilNs(int64_t ns) override { time_.WaitUntilNs(ns); }
  void SleepMs(uint32_t ms) override;
  void NoteLineRead() override { time_.NoteLineRead(); }
  bool RaisePriority() override { return time_.RaisePriority(); }
  void RestorePriority() override { time_.RestorePriority(); }
  int64_t CalendarSeconds() override { return time_.CalendarSeconds(); }

 private:
  VirtualClock& time_;
  PtyBridge& bridge_;
};

}  // namespace platform::sim
