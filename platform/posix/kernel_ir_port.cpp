#include "platform/posix/kernel_ir_port.h"

#include <linux/lirc.h>
#include <poll.h>
#include <sys/file.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>

#include "platform/clock.h"

namespace platform {
namespace {

// Entries read from the driver in one call; it hands out whole 32-bit values only.
constexpr size_t kReadValues = 128;

class KernelIrPort final : public SerialPort, public InfraredDevice {
 public:
  KernelIrPort(SerialSyscalls& calls, int fd, std::string path, InfraredFeatures features)
      : calls_(calls), fd_(fd), path_(std::move(path)), features_(features) {}

  ~KernelIrPort() override { Close(); }

  InfraredDevice* Infrared() override { return this; }

  int32_t OsHandle() const override { return std::max(fd_, 0); }

  Status Close() override {
    if (fd_ < 0) return {};
    const int fd = std::exchange(fd_, -1);
    if (calls_.Close(fd) != 0) return Failed("close", path_);
    return {};
  }

  // A kernel device times the light itself: there is no line format and there are no modem
  // lines or bytes to move. Time-outs are kept, so that the serial procedures work on it.
  Status GetSettings(PortSettings& settings) override {
    settings = PortSettings{};
    return NoSuch("line format");
  }
  Status SetSettings(const PortSettings&) override { return NoSuch("line format"); }
  Status GetTimeouts(PortTimeouts& timeouts) override {
    timeouts = timeouts_;
    return CheckOpen();
  }
  Status SetTimeouts(const PortTimeouts& timeouts) override {
    if (Status closed = CheckOpen(); !closed) return closed;
    timeouts_ = timeouts;
    return {};
  }
  Status SetLine(OutputLine, bool) override { return NoSuch("modem lines"); }
  Status GetModemStatus(uint32_t& status) override {
    status = 0;
    return NoSuch("modem lines");
  }
  Status TransmitChar(uint8_t) override { return NoSuch("characters"); }
  Status Write(std::span<const uint8_t>, size_t& written) override {
    written = 0;
    return NoSuch("characters");
  }
  Status Read(std::span<uint8_t>, size_t& received) override {
    received = 0;
    return NoSuch("characters");
  }

  const std::string& Path() const override { return path_; }
  InfraredFeatures Features() const override { return features_; }

  Status Receive(std::vector<InfraredEvent>& events, int waitMs) override {
    if (Status usable = Usable(features_.receives, "receive"); !usable) return usable;
    if (waitMs != 0) {
      pollfd entry{fd_, POLLIN, 0};
      int ready;
      do {
        ready = calls_.Poll(&entry, 1, waitMs);
      } while (ready < 0 && errno == EINTR);
      if (ready < 0) return Failed("poll", path_);
      if (ready > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL))) return Gone();
    }
    std::array<uint32_t, kReadValues> values{};
    while (true) {
      const ssize_t got = calls_.Read(fd_, values.data(), sizeof values);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && errno == EAGAIN) return {};
      if (got < 0 && errno == ENODEV) return Gone();
      if (got < 0) return Failed("read from", path_);
      const size_t count = static_cast<size_t>(got) / sizeof(uint32_t);
      for (size_t i = 0; i < count; ++i) Append(values[i], events);
      if (count < values.size()) return {};
    }
  }

  Status Transmit(std::span<const uint32_t> durationsUs, uint32_t carrierHz,
                  uint32_t dutyCyclePercent) override {
    if (Status usable = Usable(features_.sends, "send"); !usable) return usable;
    if (durationsUs.size() % 2 == 0 ||
        std::find(durationsUs.begin(), durationsUs.end(), 0u) != durationsUs.end())
      return Status(StatusCode::BadArgument,
                    path_ + ": a train starts and ends with light and has no empty duration");
    if (Status set = Choose(features_.setsCarrier, LIRC_SET_SEND_CARRIER, carrierHz, carrier_); !set)
      return set;
    if (Status set = Choose(features_.setsDutyCycle, LIRC_SET_SEND_DUTY_CYCLE, dutyCyclePercent,
                            dutyCycle_);
        !set)
      return set;
    const auto parts = SplitTransmission(durationsUs, kMostDurationsPerWrite, kLongestWriteUs);
    if (parts.empty())
      return Status(StatusCode::BadArgument, path_ + ": a light too long to send at once");
    Clock& clock = ActiveClock();
    for (size_t p = 0; p < parts.size(); ++p) {
      // The driver returns when the light of a write has gone out; the darkness between two
      // parts is waited here.
      if (p > 0) {
        const uint32_t gapUs = durationsUs[parts[p].first - 1];
        SleepUntilNs(clock, clock.NowNs() + int64_t{gapUs} * 1000);
      }
      if (Status written = WritePart(durationsUs.subspan(parts[p].first, parts[p].count)); !written)
        return written;
    }
    return {};
  }

 private:
  Status CheckOpen() const {
    if (fd_ >= 0) return {};
    return Status(StatusCode::BadArgument, path_ + " is closed");
  }

  Status NoSuch(std::string_view what) const {
    if (Status closed = CheckOpen(); !closed) return closed;
    return Status(StatusCode::NotSupported,
                  path_ + " is a kernel infrared device: it has no " + std::string(what));
  }

  Status Usable(bool can, std::string_view what) const {
    if (Status closed = CheckOpen(); !closed) return closed;
    if (gone_) return GoneStatus();
    if (!can)
      return Status(StatusCode::NotSupported,
                    path_ + " cannot " + std::string(what) + " pulse and space durations");
    return {};
  }

  Status GoneStatus() const { return Status(StatusCode::NotFound, path_ + " has gone"); }

  Status Gone() {
    gone_ = true;
    return GoneStatus();
  }

  static void Append(uint32_t value, std::vector<InfraredEvent>& events) {
    const uint32_t us = LIRC_VALUE(value);
    switch (LIRC_MODE2(value)) {
      case LIRC_MODE2_PULSE: events.push_back({InfraredEvent::Kind::Pulse, us}); break;
      case LIRC_MODE2_SPACE: events.push_back({InfraredEvent::Kind::Space, us}); break;
      case LIRC_MODE2_TIMEOUT: events.push_back({InfraredEvent::Kind::Timeout, us}); break;
      case LIRC_MODE2_OVERFLOW: events.push_back({InfraredEvent::Kind::Overflow, us}); break;
      default: break;  // carrier reports, which nothing here asked for
    }
  }

  // Sets a send property where the device lets it be chosen, once per value. A value the
  // driver refuses leaves it at the driver's own; only a vanished device stops the send.
  Status Choose(bool can, unsigned long request, uint32_t value, std::optional<uint32_t>& set) {
    if (!can || set == value) return {};
    if (calls_.Ioctl(fd_, request, &value) == 0) {
      set = value;
    } else if (errno == ENODEV) {
      return Gone();
    }
    return {};
  }

  Status WritePart(std::span<const uint32_t> part) {
    const size_t bytes = part.size_bytes();
    ssize_t sent;
    do {
      sent = calls_.Write(fd_, part.data(), bytes);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0 && errno == ENODEV) return Gone();
    if (sent < 0) return Failed("write to", path_);
    if (static_cast<size_t>(sent) != bytes)
      return Status(StatusCode::SystemFailure, path_ + ": the driver took only part of a train");
    return {};
  }

  SerialSyscalls& calls_;
  int fd_;
  std::string path_;
  InfraredFeatures features_;
  PortTimeouts timeouts_ = kReturnAtOnceTimeouts;
  bool gone_ = false;
  std::optional<uint32_t> carrier_;
  std::optional<uint32_t> dutyCycle_;
};

}  // namespace

InfraredFeatures DecodeInfraredFeatures(uint32_t word) {
  InfraredFeatures features;
  features.word = word;
  features.receives = (word & LIRC_CAN_REC_MODE2) != 0;
  features.sends = (word & LIRC_CAN_SEND_PULSE) != 0;
  features.setsCarrier = (word & LIRC_CAN_SET_SEND_CARRIER) != 0;
  features.setsDutyCycle = (word & LIRC_CAN_SET_SEND_DUTY_CYCLE) != 0;
  return features;
}

std::vector<TransmitPart> SplitTransmission(std::span<const uint32_t> durationsUs,
                                            size_t mostDurations, uint64_t longestUs) {
  std::vector<TransmitPart> parts;
  const size_t n = durationsUs.size();
  size_t first = 0;
  while (first < n) {
    // The last light that still fits after `first`.
    size_t lastFit = first;
    uint64_t totalUs = 0;
    size_t fits = n;  // none yet
    for (size_t i = first; i < n && i - first + 1 <= mostDurations; ++i) {
      totalUs += durationsUs[i];
      if (totalUs > longestUs) break;
      if ((i - first) % 2 == 0) {
        lastFit = i;
        fits = i;
      }
    }
    if (fits == n) return {};  // a single light longer than a write may carry
    if (lastFit == n - 1) {
      parts.push_back({first, n - first});
      break;
    }
    // Cut after the light that is followed by the longest darkness in reach (the latest of
    // equals), so that the sleep between two writes falls between frames.
    size_t cut = first;
    for (size_t light = first; light <= lastFit; light += 2) {
      if (durationsUs[light + 1] >= durationsUs[cut + 1]) cut = light;
    }
    parts.push_back({first, cut - first + 1});
    first = cut + 2;
  }
  return parts;
}

std::unique_ptr<SerialPort> AdoptKernelInfraredDevice(SerialSyscalls& calls, int fd,
                                                      const std::string& path,
                                                      uint32_t featureWord, Status& why) {
  why = Status();
  if (calls.Flock(fd, LOCK_EX | LOCK_NB) != 0) {
    why = Failed("lock", path);
    calls.Close(fd);
    return nullptr;
  }
  InfraredFeatures features = DecodeInfraredFeatures(featureWord);
  // A mode the driver will not take is a direction the device cannot be used in here.
  if (features.receives) {
    uint32_t mode = LIRC_MODE_MODE2;
    features.receives = calls.Ioctl(fd, LIRC_SET_REC_MODE, &mode) == 0;
  }
  if (features.sends) {
    uint32_t mode = LIRC_MODE_PULSE;
    features.sends = calls.Ioctl(fd, LIRC_SET_SEND_MODE, &mode) == 0;
  }
  return std::make_unique<KernelIrPort>(calls, fd, path, features);
}

}  // namespace platform
