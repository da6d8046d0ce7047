#include "platform/sim/pty_bridge.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace platform::sim {
namespace {

using namespace std::chrono_literals;

// How long bytes the host has just written may take to cross the terminal; the kernel moves
// them on in a work queue, typically within microseconds.
constexpr auto kCrossingTime = 1ms;
// Bounds on real waits, so that a stuck terminal fails a test instead of hanging it.
constexpr auto kServeBound = 2s;
constexpr auto kArrivalBound = 1s;

void MakeRaw(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return;
  cfmakeraw(&tio);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &tio);
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t sent = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (sent > 0) {
      done += static_cast<size_t>(sent);
    } else if (sent < 0 && (errno == EINTR || errno == EAGAIN)) {
      pollfd entry{fd, POLLOUT, 0};
      poll(&entry, 1, 10);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

PtyBridge::PtyBridge(ByteResponder& device) : device_(device) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
  char name[128] = {};
  if (ptsname_r(master_, name, sizeof name) != 0) return;
  slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave_ < 0 || pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return;
  // Raw from the start: no echo of the device's answers back to it, no line editing.
  MakeRaw(slave_);
  path_ = name;
  running_ = true;
  thread_ = std::thread([this] { Serve(); });
}

PtyBridge::~PtyBridge() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    char signal = 's';
    [[maybe_unused]] auto ignored = ::write(wake_[1], &signal, 1);
    thread_.join();
  }
  for (int fd : {wake_[0], wake_[1], slave_, master_}) {
    if (fd >= 0) close(fd);
  }
}

void PtyBridge::Settle(int64_t nowNs) {
  if (!running_) return;
  std::this_thread::sleep_for(kCrossingTime);
  uint64_t ticket;
  {
    std::lock_guard lock(mutex_);
    requestedNowNs_ = std::max(requestedNowNs_, nowNs);
    ticket = ++requested_;
  }
  char signal = 'w';
  [[maybe_unused]] auto ignored = ::write(wake_[1], &signal, 1);
  std::unique_lock lock(mutex_);
  served_.wait_for(lock, kServeBound, [&] { return completed_ >= ticket; });
}

void PtyBridge::Serve() {
  for (;;) {
    pollfd entries[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(entries, 2, -1) < 0 && errno != EINTR) return;
    char drained[64];
    while (::read(wake_[0], drained, sizeof drained) > 0) {
    }
    uint64_t request;
    int64_t requestedNowNs;
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      request = requested_;
      requestedNowNs = requestedNowNs_;
    }
    TakeInput();
    if (request > completed_) {
      hostNowNs_ = std::max(hostNowNs_, requestedNowNs);
      Schedule(device_.TakeUnsolicited(hostNowNs_ / 1000));
      ReleaseDue();
      std::lock_guard lock(mutex_);
      completed_ = request;
      served_.notify_all();
    }
  }
}

void PtyBridge::TakeInput() {
  uint8_t chunk[256];
  ssize_t got;
  while ((got = ::read(master_, chunk, sizeof chunk)) > 0) {
    for (ssize_t i = 0; i < got; ++i) Schedule(device_.OnHostByte(chunk[i], hostNowNs_ / 1000));
  }
}

void PtyBridge::Schedule(std::vector<TimedReply> replies) {
  for (auto& reply : replies) {
    Pending answer{hostNowNs_ + reply.delayUs * 1000, std::move(reply.bytes)};
    // Later answers never overtake earlier ones due at the same time.
    auto at = std::upper_bound(pending_.begin(), pending_.end(), answer.dueNs,
                               [](int64_t due, const Pending& p) { return due < p.dueNs; });
    pending_.insert(at, std::move(answer));
  }
}

void PtyBridge::ReleaseDue() {
  std::vector<uint8_t> due;
  auto firstLater = std::find_if(pending_.begin(), pending_.end(),
                                 [&](const Pending& p) { return p.dueNs > hostNowNs_; });
  for (auto it = pending_.begin(); it != firstLater; ++it) due.insert(due.end(), it->bytes.begin(), it->bytes.end());
  pending_.erase(pending_.begin(), firstLater);
  if (due.empty()) return;
  int before = SlaveInputBytes();
  if (!WriteAll(master_, due)) return;
  auto giveUp = std::chrono::steady_clock::now() + kArrivalBound;
  while (SlaveInputBytes() < before + static_cast<int>(due.size()) && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(50us);
  }
}

int PtyBridge::SlaveInputBytes() const {
  int bytes = 0;
  if (ioctl(slave_, FIONREAD, &bytes) != 0) return 0;
  return bytes;
}

void BridgedClock::SleepMs(uint32_t ms) {
  time_.SleepMs(ms);
  bridge_.Settle(time_.NowNs());
}

}  // namespace platform::sim
