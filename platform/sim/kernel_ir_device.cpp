#include "platform/sim/kernel_ir_device.h"

#include <fcntl.h>
#include <linux/lirc.h>
#include <poll.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/sim/standard_kernel_device.h"

namespace platform::sim {
namespace {

constexpr int64_t kUsNs = 1000;
constexpr int64_t kMsNs = 1'000'000;
// The kernel's limits on one write: values in its buffer, and half a second of train.
constexpr size_t kMostWriteValues = 512;
constexpr uint64_t kLongestWriteUs = 500'000;

int Fail(int error) {
  errno = error;
  return -1;
}

uint32_t Capped(int64_t us) {
  return static_cast<uint32_t>(std::clamp<int64_t>(us, 1, LIRC_VALUE_MASK));
}

// "KEY=MS" of an option; nullopt when the option is not KEY or its value is no number.
std::optional<int64_t> Milliseconds(std::string_view option, std::string_view key) {
  if (!option.starts_with(key) || option.size() <= key.size() || option[key.size()] != '=')
    return std::nullopt;
  const std::string_view digits = option.substr(key.size() + 1);
  int64_t ms = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), ms);
  if (error != std::errc() || end != digits.data() + digits.size() || ms < 0) return std::nullopt;
  return ms;
}

}  // namespace

KernelIrDevice::KernelIrDevice(Clock& clock, std::string path)
    : clock_(clock), path_(std::move(path)), originNs_(clock.NowNs()), lastEdgeNs_(originNs_) {}

void KernelIrDevice::OverflowAt(int64_t atNs) {
  overflowsNs_.insert(std::upper_bound(overflowsNs_.begin(), overflowsNs_.end(), atNs), atNs);
}

bool KernelIrDevice::ApplyOptions(std::string_view options) {
  while (!options.empty()) {
    const size_t comma = options.find(',');
    const std::string_view option = options.substr(0, comma);
    options = comma == std::string_view::npos ? std::string_view() : options.substr(comma + 1);
    if (option == "nosend") {
      canSend_ = false;
    } else if (option == "norecv") {
      canReceive_ = false;
    } else if (option == "fixedcarrier") {
      fixedCarrier_ = true;
    } else if (option == "denied") {
      denyAccess_ = true;
    } else if (const auto timeout = Milliseconds(option, "timeout")) {
      timeoutUs_ = static_cast<uint32_t>(*timeout * 1000);
    } else if (const auto vanish = Milliseconds(option, "vanish")) {
      vanishNs_ = originNs_ + *vanish * kMsNs;
    } else if (const auto overflow = Milliseconds(option, "overflow")) {
      OverflowAt(originNs_ + *overflow * kMsNs);
    } else if (!option.empty()) {
      return false;
    }
  }
  return true;
}

void KernelIrDevice::PlayMarks(const std::vector<LightMark>& marks, int64_t delayUs) {
  if (marks.empty()) return;
  const int64_t shiftNs = clock_.NowNs() + delayUs * kUsNs - marks.front().startNs;
  std::vector<LightMark> shifted;
  for (const LightMark& mark : marks) shifted.push_back({mark.startNs + shiftNs, mark.endNs + shiftNs});
  Advance();
  // What was timed already stays; a pulse under way ends as it was going to.
  const size_t keep = nextMark_ + (inPulse_ ? 1 : 0);
  size_t end = keep;
  while (end < marks_.size() && marks_[end].startNs < shifted.front().startNs) ++end;
  marks_.erase(marks_.begin() + static_cast<std::ptrdiff_t>(end), marks_.end());
  const int64_t freeFromNs = marks_.empty() ? INT64_MIN : marks_.back().endNs;
  for (const LightMark& mark : shifted) {
    if (mark.startNs >= freeFromNs && mark.endNs > mark.startNs) marks_.push_back(mark);
  }
  marks_.erase(marks_.begin(), marks_.begin() + static_cast<std::ptrdiff_t>(nextMark_));
  nextMark_ = 0;
}

void KernelIrDevice::PlayRemote(const std::vector<int64_t>& durationsUs, int64_t delayUs) {
  std::vector<LightMark> marks;
  int64_t atNs = 0;
  for (size_t i = 0; i < durationsUs.size(); ++i) {
    const int64_t lengthNs = std::max<int64_t>(durationsUs[i], 0) * kUsNs;
    if (i % 2 == 0 && lengthNs > 0) marks.push_back({atNs, atNs + lengthNs});
    atNs += lengthNs;
  }
  PlayMarks(marks, delayUs);
}

void KernelIrDevice::PlayScript(const std::vector<LightMark>& marks) {
  if (marks.empty()) return;
  PlayMarks(marks, (originNs_ + marks.front().startNs - clock_.NowNs()) / kUsNs);
}

bool KernelIrDevice::Gone() { return clock_.NowNs() >= vanishNs_; }

KernelIrDevice::Descriptor* KernelIrDevice::Find(int fd) {
  const auto it = descriptors_.find(fd);
  return it == descriptors_.end() ? nullptr : &it->second;
}

uint32_t KernelIrDevice::FeatureWord() const {
  uint32_t word = 0;
  if (canReceive_) word |= LIRC_CAN_REC_MODE2 | LIRC_CAN_SET_REC_TIMEOUT;
  if (canSend_) {
    word |= LIRC_CAN_SEND_PULSE;
    if (!fixedCarrier_) word |= LIRC_CAN_SET_SEND_CARRIER | LIRC_CAN_SET_SEND_DUTY_CYCLE;
  }
  return word;
}

int64_t KernelIrDevice::NextValueNs() {
  int64_t next = overflowsNs_.empty() ? INT64_MAX : overflowsNs_.front();
  if (nextMark_ < marks_.size()) {
    const LightMark& mark = marks_[nextMark_];
    next = std::min(next, inPulse_ ? mark.endNs : mark.startNs);
  }
  if (!timedOut_ && !inPulse_ && timeoutUs_ > 0) {
    const int64_t timeoutNs = lastEdgeNs_ + int64_t{timeoutUs_} * kUsNs;
    if (nextMark_ == marks_.size() || marks_[nextMark_].startNs > timeoutNs)
      next = std::min(next, timeoutNs);
  }
  return next;
}

void KernelIrDevice::Deliver(uint32_t value) {
  for (auto& [fd, descriptor] : descriptors_) {
    // A full buffer drops what comes, as the kernel's does.
    if (descriptor.receiveMode == LIRC_MODE_MODE2 &&
        descriptor.received.size() < kKernelReceiveBufferValues)
      descriptor.received.push_back(value);
  }
}

void KernelIrDevice::Advance() {
  const int64_t nowNs = std::min(clock_.NowNs(), vanishNs_);
  for (int64_t atNs = NextValueNs(); atNs <= nowNs; atNs = NextValueNs()) {
    if (!overflowsNs_.empty() && overflowsNs_.front() == atNs) {
      overflowsNs_.erase(overflowsNs_.begin());
      Deliver(LIRC_OVERFLOW(LIRC_VALUE_MASK));
    } else if (nextMark_ < marks_.size() && !inPulse_ && marks_[nextMark_].startNs == atNs) {
      // The darkness that ends as the light begins.
      Deliver(LIRC_SPACE(Capped((atNs - lastEdgeNs_) / kUsNs)));
      inPulse_ = true;
    } else if (nextMark_ < marks_.size() && inPulse_ && marks_[nextMark_].endNs == atNs) {
      const LightMark& mark = marks_[nextMark_++];
      Deliver(LIRC_PULSE(Capped((mark.endNs - mark.startNs) / kUsNs)));
      inPulse_ = false;
      timedOut_ = false;
      lastEdgeNs_ = mark.endNs;
    } else {
      Deliver(LIRC_TIMEOUT(timeoutUs_));
      timedOut_ = true;
      lastEdgeNs_ = atNs;
    }
  }
}

int KernelIrDevice::Open(const char* path, int) {
  if (path_ != path || Gone()) return Fail(ENOENT);
  if (denyAccess_) return Fail(EACCES);
  const int fd = nextFd_++;
  Advance();
  descriptors_[fd].receiveMode = canReceive_ ? LIRC_MODE_MODE2 : 0;
  return fd;
}

int KernelIrDevice::Close(int fd) {
  if (!descriptors_.erase(fd)) return Fail(EBADF);
  if (lockHolder_ == fd) {
    lockHolder_ = -1;
    machineLock_.reset();
  }
  return 0;
}

int KernelIrDevice::Flock(int fd, int operation) {
  if (!Find(fd)) return Fail(EBADF);
  if (operation & LOCK_UN) {
    if (lockHolder_ == fd) {
      lockHolder_ = -1;
      machineLock_.reset();
    }
    return 0;
  }
  if (lockHolder_ == fd) return 0;
  if (lockHolder_ >= 0) return Fail(EWOULDBLOCK);
  if (!machineLockFile_.empty()) {
    machineLock_ = MachineLock::TryAcquire(machineLockFile_);
    if (!machineLock_->held()) {
      machineLock_.reset();
      return Fail(EWOULDBLOCK);
    }
  }
  lockHolder_ = fd;
  return 0;
}

int KernelIrDevice::IsATty(int fd) {
  errno = Find(fd) ? ENOTTY : EBADF;
  return 0;
}

int KernelIrDevice::Ioctl(int fd, unsigned long request, void* argument) {
  Descriptor* descriptor = Find(fd);
  if (!descriptor) return Fail(EBADF);
  if (Gone()) return Fail(ENODEV);
  auto* value = static_cast<uint32_t*>(argument);
  switch (request) {
    case LIRC_GET_FEATURES:
      *value = FeatureWord();
      return 0;
    case LIRC_GET_REC_MODE:
      if (!canReceive_) return Fail(ENOTTY);
      *value = descriptor->receiveMode;
      return 0;
    case LIRC_SET_REC_MODE:
      if (!canReceive_) return Fail(ENOTTY);
      if (*value != LIRC_MODE_MODE2) return Fail(EINVAL);
      descriptor->receiveMode = *value;
      return 0;
    case LIRC_GET_SEND_MODE:
      if (!canSend_) return Fail(ENOTTY);
      *value = LIRC_MODE_PULSE;
      return 0;
    case LIRC_SET_SEND_MODE:
      if (!canSend_) return Fail(ENOTTY);
      return *value == LIRC_MODE_PULSE ? 0 : Fail(EINVAL);
    case LIRC_SET_SEND_CARRIER:
      if (!canSend_ || fixedCarrier_) return Fail(ENOTTY);
      if (*value == 0) return Fail(EINVAL);
      carrierHz_ = *value;
      return 0;
    case LIRC_SET_SEND_DUTY_CYCLE:
      if (!canSend_ || fixedCarrier_) return Fail(ENOTTY);
      if (*value == 0 || *value >= 100) return Fail(EINVAL);
      dutyCyclePercent_ = *value;
      return 0;
    default:
      return Fail(ENOTTY);
  }
}

int KernelIrDevice::TcGetAttr(int fd, termios*) { return Fail(Find(fd) ? ENOTTY : EBADF); }

int KernelIrDevice::TcSetAttr(int fd, int, const termios*) {
  return Fail(Find(fd) ? ENOTTY : EBADF);
}

ssize_t KernelIrDevice::Read(int fd, void* buffer, std::size_t size) {
  Descriptor* descriptor = Find(fd);
  if (!descriptor) return Fail(EBADF);
  if (Gone()) return Fail(ENODEV);
  if (!canReceive_) return Fail(EINVAL);
  if (size < sizeof(uint32_t) || size % sizeof(uint32_t) != 0) return Fail(EINVAL);
  Advance();
  if (descriptor->received.empty()) return Fail(EAGAIN);
  const size_t count = std::min(size / sizeof(uint32_t), descriptor->received.size());
  auto* out = static_cast<uint32_t*>(buffer);
  for (size_t i = 0; i < count; ++i) {
    out[i] = descriptor->received.front();
    descriptor->received.pop_front();
  }
  return static_cast<ssize_t>(count * sizeof(uint32_t));
}

ssize_t KernelIrDevice::Write(int fd, const void* bytes, std::size_t size) {
  if (!Find(fd)) return Fail(EBADF);
  if (Gone()) return Fail(ENODEV);
  if (!canSend_ || size % sizeof(uint32_t) != 0) return Fail(EINVAL);
  const size_t count = size / sizeof(uint32_t);
  if (count == 0 || count > kMostWriteValues || count % 2 == 0) return Fail(EINVAL);
  std::vector<uint32_t> durations(count);
  std::memcpy(durations.data(), bytes, size);
  uint64_t totalUs = 0;
  for (const uint32_t us : durations) {
    totalUs += us;
    if (us == 0 || totalUs > kLongestWriteUs) return Fail(EINVAL);
  }
  const int64_t startNs = std::max(clock_.NowNs(), busyUntilNs_);
  sent_.push_back({startNs, carrierHz_, dutyCyclePercent_, std::move(durations)});
  busyUntilNs_ = startNs + static_cast<int64_t>(totalUs) * kUsNs;
  // The write returns once the light has gone out.
  SleepUntilNs(clock_, busyUntilNs_);
  return static_cast<ssize_t>(size);
}

int KernelIrDevice::Poll(pollfd* entries, nfds_t count, int timeoutMs) {
  if (count != 1 || !Find(entries[0].fd)) return Fail(EINVAL);
  pollfd& entry = entries[0];
  entry.revents = 0;
  const int64_t deadlineNs = timeoutMs < 0 ? INT64_MAX : clock_.NowNs() + timeoutMs * kMsNs;
  while (true) {
    if (Gone()) {
      entry.revents = POLLHUP | POLLERR;
      return 1;
    }
    Advance();
    if ((entry.events & POLLIN) && !descriptors_[entry.fd].received.empty()) entry.revents |= POLLIN;
    if ((entry.events & POLLOUT) && canSend_) entry.revents |= POLLOUT;
    if (entry.revents) return 1;
    const int64_t nowNs = clock_.NowNs();
    const int64_t wakeNs = std::min({NextValueNs(), vanishNs_, deadlineNs});
    // Nothing is to come and there is no time-out: a real poll would wait for ever.
    if (nowNs >= deadlineNs || wakeNs == INT64_MAX) return 0;
    SleepUntilNs(clock_, std::max(wakeNs, nowNs + 1));
  }
}

std::shared_ptr<KernelIrDevice> InstallKernelIrDevice(const std::string& name, Clock& clock) {
  auto device = std::make_shared<KernelIrDevice>(clock, "sim:" + name);
  std::weak_ptr<KernelIrDevice> weak = device;
  RegisterSimPeer(
      name,
      [weak](std::string_view options, Status& why) -> std::unique_ptr<SerialPort> {
        auto device = weak.lock();
        if (!device) {
          why = Status(StatusCode::NotFound, "the simulated device is gone");
          return nullptr;
        }
        if (!device->ApplyOptions(options)) {
          why = Status(StatusCode::BadArgument,
                       "unknown option in " + device->DevicePath() + ":" + std::string(options));
          return nullptr;
        }
        return OpenSerialDevice(device->DevicePath(), why, *device);
      },
      PortKind::KernelInfrared);
  return device;
}

std::vector<KernelIrDevice::Transmission> ReadKernelCapture(const std::filesystem::path& path) {
  std::vector<KernelIrDevice::Transmission> writes;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string kind;
    KernelIrDevice::Transmission write;
    if (!(fields >> kind) || kind != "lirc") continue;
    if (!(fields >> write.startNs >> write.carrierHz >> write.dutyCyclePercent)) return {};
    for (uint32_t us = 0; fields >> us;) write.durationsUs.push_back(us);
    writes.push_back(std::move(write));
  }
  return writes;
}

namespace {

std::shared_ptr<KernelIrDevice>& StandardDevice() {
  static std::shared_ptr<KernelIrDevice> device;
  return device;
}

}  // namespace

void RegisterStandardKernelDevice(Clock& clock, const std::vector<LightMark>& presses,
                                  const std::filesystem::path& lockFile) {
  auto& device = StandardDevice();
  device = InstallKernelIrDevice("lirc", clock);
  if (!lockFile.empty()) device->SetMachineLock(lockFile);
  device->PlayScript(presses);
}

void AppendKernelCapture(std::string& text) {
  const auto& device = StandardDevice();
  if (!device) return;
  std::ostringstream lines;
  for (const auto& write : device->Sent()) {
    lines << "lirc " << write.startNs << ' ' << write.carrierHz << ' ' << write.dutyCyclePercent;
    for (const uint32_t us : write.durationsUs) lines << ' ' << us;
    lines << '\n';
  }
  text += lines.str();
}

}  // namespace platform::sim
