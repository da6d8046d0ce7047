// Serial devices through termios and ioctl. Exclusive opening uses flock, which also holds
// against root and between descriptors of one process, plus TIOCEXCL for other programs.

#include <fcntl.h>
#include <grp.h>
#include <linux/lirc.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/posix/kernel_ir_port.h"
#include "platform/posix/serial_syscalls.h"
#include "platform/posix/wake_timer.h"
#include "platform/serial_device.h"

namespace platform {
namespace {

struct BaudCode {
  uint32_t baudRate;
  speed_t code;
};

constexpr std::array kBaudCodes{
    BaudCode{50, B50},         BaudCode{75, B75},         BaudCode{110, B110},
    BaudCode{134, B134},       BaudCode{150, B150},       BaudCode{200, B200},
    BaudCode{300, B300},       BaudCode{600, B600},       BaudCode{1200, B1200},
    BaudCode{1800, B1800},     BaudCode{2400, B2400},     BaudCode{4800, B4800},
    BaudCode{9600, B9600},     BaudCode{19200, B19200},   BaudCode{38400, B38400},
    BaudCode{57600, B57600},   BaudCode{115200, B115200}, BaudCode{230400, B230400},
    BaudCode{460800, B460800}, BaudCode{500000, B500000}, BaudCode{576000, B576000},
    BaudCode{921600, B921600}, BaudCode{1000000, B1000000}, BaudCode{1152000, B1152000},
    BaudCode{1500000, B1500000}, BaudCode{2000000, B2000000}, BaudCode{2500000, B2500000},
    BaudCode{3000000, B3000000}, BaudCode{3500000, B3500000}, BaudCode{4000000, B4000000},
};

std::optional<speed_t> SpeedCode(uint32_t baudRate) {
  for (auto entry : kBaudCodes) {
    if (entry.baudRate == baudRate) return entry.code;
  }
  return std::nullopt;
}

uint32_t BaudRate(speed_t code) {
  for (auto entry : kBaudCodes) {
    if (entry.code == code) return entry.baudRate;
  }
  return 0;
}

using SteadyClock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, for poll; -1 (wait without end) when there is none.
int PollTimeoutMs(std::optional<SteadyClock::time_point> deadline) {
  if (!deadline) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - SteadyClock::now());
  return static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT32_MAX));
}

// Waits until the descriptor is ready for `events`; false on time-out or error.
bool WaitReady(SerialSyscalls& calls, int fd, short events, int timeoutMs) {
  pollfd entry{fd, events, 0};
  int result;
  do {
    result = calls.Poll(&entry, 1, timeoutMs);
  } while (result < 0 && errno == EINTR);
  return result > 0 && (entry.revents & events);
}

// Raw binary mode, what a Windows serial port always is; the line format stays.
void MakeBinary(termios& tio) {
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
}

struct ModemBit {
  int tiocm;
  uint32_t status;
};
constexpr std::array kModemBits{ModemBit{TIOCM_CTS, kStatusCts}, ModemBit{TIOCM_DSR, kStatusDsr},
                                ModemBit{TIOCM_RNG, kStatusRing}, ModemBit{TIOCM_CAR, kStatusDcd}};

class PosixSerialPort final : public SerialPort {
 public:
  // `owned`: the descriptor is this port's to unlock and close; a host's lent one is not.
  PosixSerialPort(SerialSyscalls& calls, int fd, std::string path, bool owned = true)
      : calls_(calls), fd_(fd), path_(std::move(path)), owned_(owned) {
    PortSettings settings;
    if (GetSettings(settings)) characterNs_ = CharacterNs(settings);
  }

  ~PosixSerialPort() override { Close(); }

  Status Close() override {
    if (fd_ < 0) return {};
    const int fd = std::exchange(fd_, -1);
    if (!owned_) return {};
    calls_.Ioctl(fd, TIOCNXCL, nullptr);
    if (calls_.Close(fd) != 0) return Failed("close", path_);
    return {};
  }

  int32_t OsHandle() const override { return std::max(fd_, 0); }

  Status GetSettings(PortSettings& settings) override {
    settings = PortSettings{};
    if (Status closed = CheckOpen(); !closed) return closed;
    termios tio{};
    if (calls_.TcGetAttr(fd_, &tio) != 0) return Failed("tcgetattr", path_);
    settings.baudRate = BaudRate(cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
      case CS5: settings.dataBits = 5; break;
      case CS6: settings.dataBits = 6; break;
      case CS7: settings.dataBits = 7; break;
      default: settings.dataBits = 8; break;
    }
    settings.parity = Parity::None;
    if (tio.c_cflag & PARENB) {
      bool odd = tio.c_cflag & PARODD;
      if (tio.c_cflag & CMSPAR) {
        settings.parity = odd ? Parity::Mark : Parity::Space;
      } else {
        settings.parity = odd ? Parity::Odd : Parity::Even;
      }
    }
    settings.stopBits = (tio.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
    settings.parityCheck = tio.c_iflag & INPCK;
    settings.ctsFlow = tio.c_cflag & CRTSCTS;
    settings.dsrFlow = false;
    settings.xonXoff = tio.c_iflag & (IXON | IXOFF);
    settings.dtrControl = dtrControl_;
    settings.rtsControl = settings.ctsFlow ? LineControl::Handshake : rtsControl_;
    return {};
  }

  Status SetSettings(const PortSettings& settings) override {
    if (Status closed = CheckOpen(); !closed) return closed;
    auto speed = SpeedCode(settings.baudRate);
    if (!speed || settings.dataBits < 5 || settings.dataBits > 8) {
      return Status(StatusCode::BadArgument, path_ + ": " + std::to_string(settings.baudRate) +
                                                 " baud with " + std::to_string(settings.dataBits) +
                                                 " data bits is no line format");
    }
    // termios has no DSR flow control, no 1.5 stop bits outside 5-bit characters and none of
    // the Windows driver's input and error behaviours.
    if (settings.dsrFlow || settings.stopBits == StopBits::OnePointFive) {
      return Status(StatusCode::NotSupported,
                    path_ + ": DSR flow control and 1.5 stop bits are not available");
    }
    if (settings.dsrSensitivity || settings.errorChar || settings.discardNulls ||
        settings.abortOnError) {
      return Status(StatusCode::NotSupported,
                    path_ + ": DSR sensitivity, error characters, dropping zero bytes and "
                            "stopping after line errors are not available");
    }
    termios tio{};
    if (calls_.TcGetAttr(fd_, &tio) != 0) return Failed("tcgetattr", path_);
    MakeBinary(tio);
    tio.c_iflag &= ~INPCK;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    static constexpr std::array kSizes{CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[settings.dataBits - 5];
    switch (settings.parity) {
      case Parity::None: break;
      case Parity::Odd: tio.c_cflag |= PARENB | PARODD; break;
      case Parity::Even: tio.c_cflag |= PARENB; break;
      case Parity::Mark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
      case Parity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    if (settings.stopBits == StopBits::Two) tio.c_cflag |= CSTOPB;
    if (settings.ctsFlow || settings.rtsControl == LineControl::Handshake) tio.c_cflag |= CRTSCTS;
    if (settings.parityCheck) tio.c_iflag |= INPCK;
    if (settings.xonXoff) tio.c_iflag |= IXON | IXOFF;
    cfsetispeed(&tio, *speed);
    cfsetospeed(&tio, *speed);
    if (calls_.TcSetAttr(fd_, TCSANOW, &tio) != 0) return Failed("tcsetattr", path_);
    // Like SetCommState, a changed DTR or RTS choice takes effect at once, and an unchanged one
    // leaves the line as the program set it (a receiver powered from DTR and RTS keeps its
    // power across a change of line format). A device without modem lines (a pseudo-terminal)
    // keeps its format anyway.
    if (settings.dtrControl != dtrControl_ && settings.dtrControl != LineControl::Handshake)
      SetLine(OutputLine::Dtr, settings.dtrControl == LineControl::Enable);
    if (settings.rtsControl != rtsControl_ && settings.rtsControl != LineControl::Handshake)
      SetLine(OutputLine::Rts, settings.rtsControl == LineControl::Enable);
    dtrControl_ = settings.dtrControl;
    rtsControl_ = settings.rtsControl;
    characterNs_ = CharacterNs(settings);
    return {};
  }

  Status GetTimeouts(PortTimeouts& timeouts) override {
    timeouts = timeouts_;
    return CheckOpen();
  }

  Status SetTimeouts(const PortTimeouts& timeouts) override {
    if (Status closed = CheckOpen(); !closed) return closed;
    timeouts_ = timeouts;
    return {};
  }

  Status SetLine(OutputLine line, bool on) override {
    if (Status closed = CheckOpen(); !closed) return closed;
    if (line == OutputLine::Break) {
      if (calls_.Ioctl(fd_, on ? TIOCSBRK : TIOCCBRK, nullptr) != 0)
        return Failed("break on", path_);
      return {};
    }
    int bits = line == OutputLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    if (calls_.Ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) != 0)
      return Failed(line == OutputLine::Dtr ? "DTR on" : "RTS on", path_);
    return {};
  }

  Status GetModemStatus(uint32_t& status) override {
    status = 0;
    if (Status closed = CheckOpen(); !closed) return closed;
    int bits = 0;
    if (calls_.Ioctl(fd_, TIOCMGET, &bits) != 0) return Failed("modem lines of", path_);
    for (const ModemBit& bit : kModemBits) status |= (bits & bit.tiocm) ? bit.status : 0;
    return {};
  }

  Status WaitModemChange(uint32_t mask, uint32_t expected, int64_t timeoutUs,
                         uint32_t& status) override {
    if (!lineChangesReported_) return LineChangesNotReported(status);
    if (Status read = GetModemStatus(status); !read || ((status ^ expected) & mask) != 0)
      return read;
    uintptr_t bits = 0;
    for (const ModemBit& bit : kModemBits) bits |= (mask & bit.status) ? bit.tiocm : 0;
    {
      WakeTimer wake(timeoutUs);
      if (!wake.armed()) return LineChangesNotReported(status);
      if (calls_.Ioctl(fd_, TIOCMIWAIT, reinterpret_cast<void*>(bits)) != 0 && errno != EINTR) {
        // A driver without the wait (and qemu's user-mode emulation) says so at once.
        if (errno != EINVAL && errno != ENOTTY && errno != ENOSYS) {
          status = 0;
          return Failed("line changes of", path_);
        }
        lineChangesReported_ = false;
        return LineChangesNotReported(status);
      }
    }
    return GetModemStatus(status);
  }

  Status TransmitChar(uint8_t byte) override {
    if (Status closed = CheckOpen(); !closed) return closed;
    Clock& clock = ActiveClock();
    int64_t startNs = clock.NowNs();
    int queued = 0;
    const bool behindQueue = calls_.Ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0;
    if (Status sent = behindQueue && byte != 0 ? SendAhead(byte) : WriteOne(byte); !sent)
      return sent;
    WaitTransmitterEmpty(clock, startNs);
    return {};
  }

  Status Write(std::span<const uint8_t> bytes, size_t& written) override {
    written = 0;
    if (Status closed = CheckOpen(); !closed) return closed;
    uint64_t totalMs = uint64_t{timeouts_.writeTotalMultiplierMs} * bytes.size() +
                       timeouts_.writeTotalConstantMs;
    std::optional<SteadyClock::time_point> deadline;
    if (totalMs > 0) deadline = SteadyClock::now() + std::chrono::milliseconds(totalMs);
    while (written < bytes.size()) {
      ssize_t sent = calls_.Write(fd_, bytes.data() + written, bytes.size() - written);
      if (sent > 0) {
        written += static_cast<size_t>(sent);
      } else if (sent < 0 && errno == EINTR) {
        continue;
      } else if (sent < 0 && errno == EAGAIN) {
        if (!WaitReady(calls_, fd_, POLLOUT, PollTimeoutMs(deadline))) return {};  // timed out
      } else if (sent < 0) {
        return Failed("write to", path_);
      } else {
        return Status(StatusCode::SystemFailure, path_ + ": the device took no bytes");
      }
    }
    return {};
  }

  Status Read(std::span<uint8_t> buffer, size_t& received) override {
    received = 0;
    if (Status closed = CheckOpen(); !closed) return closed;
    if (buffer.empty()) return {};
    const auto& t = timeouts_;
    constexpr uint32_t kMax = PortTimeouts::kMaxDword;
    if (t.readIntervalMs == kMax && t.readTotalMultiplierMs == 0 && t.readTotalConstantMs == 0) {
      return ReadAvailable(buffer, received);
    }
    if (t.readIntervalMs == kMax && t.readTotalMultiplierMs == kMax && t.readTotalConstantMs > 0 &&
        t.readTotalConstantMs < kMax) {
      if (Status read = ReadAvailable(buffer, received); !read) return read;
      const int waitMs = static_cast<int>(std::min<uint32_t>(t.readTotalConstantMs, INT32_MAX));
      if (received == 0 && WaitReady(calls_, fd_, POLLIN, waitMs)) {
        return ReadAvailable(buffer, received);
      }
      return {};
    }
    uint64_t totalMs = uint64_t{t.readTotalMultiplierMs} * buffer.size() + t.readTotalConstantMs;
    std::optional<SteadyClock::time_point> deadline;
    if (totalMs > 0) deadline = SteadyClock::now() + std::chrono::milliseconds(totalMs);
    bool intervalApplies = t.readIntervalMs > 0 && t.readIntervalMs != kMax;
    while (received < buffer.size()) {
      if (Status read = ReadAvailable(buffer, received); !read) return read;
      if (received == buffer.size()) break;
      int waitMs = PollTimeoutMs(deadline);
      if (received > 0 && intervalApplies) {
        const int intervalMs = static_cast<int>(std::min<uint32_t>(t.readIntervalMs, INT32_MAX));
        waitMs = waitMs < 0 ? intervalMs : std::min(waitMs, intervalMs);
      }
      if (!WaitReady(calls_, fd_, POLLIN, waitMs)) break;  // total or interval time-out
    }
    return {};
  }

 private:
  Status CheckOpen() const {
    if (fd_ >= 0) return {};
    return Status(StatusCode::BadArgument, path_ + " is closed");
  }

  Status LineChangesNotReported(uint32_t& status) const {
    status = 0;
    return Status(StatusCode::NotSupported, path_ + " does not report line changes");
  }

  // Takes what has arrived, without waiting; the device's error when it reports one.
  Status ReadAvailable(std::span<uint8_t> buffer, size_t& received) {
    while (received < buffer.size()) {
      ssize_t got = calls_.Read(fd_, buffer.data() + received, buffer.size() - received);
      if (got > 0) {
        received += static_cast<size_t>(got);
      } else if (got == 0) {
        // A terminal without input answers 0 bytes, and so does one whose far side has gone
        // (a pseudo-terminal whose master closed, an adapter unplugged); only poll tells them
        // apart, and a link over it must learn that it is lost. Bytes read before count first.
        pollfd entry{fd_, POLLIN, 0};
        if (received == 0 && calls_.Poll(&entry, 1, 0) > 0 && (entry.revents & POLLHUP))
          return Status(StatusCode::NotFound, path_ + ": the device hung up");
        return {};
      } else if (errno == EAGAIN) {
        return {};
      } else if (errno != EINTR) {
        return Failed("read from", path_);
      }
    }
    return {};
  }

  // Writes one byte into an empty queue. While output is held (flow control) it goes ahead
  // instead; zero cannot (see SendAhead) and waits for the port as any byte.
  Status WriteOne(uint8_t byte) {
    ssize_t sent;
    do {
      sent = calls_.Write(fd_, &byte, 1);
      if (sent < 0 && errno == EAGAIN && byte != 0) return SendAhead(byte);
    } while (sent < 0 &&
             (errno == EINTR || (errno == EAGAIN && WaitReady(calls_, fd_, POLLOUT, 100))));
    if (sent < 0) return Failed("write to", path_);
    if (sent != 1)
      return Status(StatusCode::SystemFailure, path_ + ": the character was not taken");
    return {};
  }

  // Sends the byte as the tty layer's START character, which the driver puts on the line ahead
  // of its buffer, even while output is held; the port's own START character is put back at
  // once. Zero marks a disabled character, so it cannot be sent this way.
  Status SendAhead(uint8_t byte) {
    termios tio{};
    if (calls_.TcGetAttr(fd_, &tio) != 0) return Failed("tcgetattr", path_);
    const cc_t start = tio.c_cc[VSTART];
    tio.c_cc[VSTART] = byte;
    if (calls_.TcSetAttr(fd_, TCSANOW, &tio) != 0) return Failed("tcsetattr", path_);
    Status sent;
    if (calls_.TcFlow(fd_, TCION) != 0) sent = Failed("tcflow", path_);
    tio.c_cc[VSTART] = start;
    if (calls_.TcSetAttr(fd_, TCSANOW, &tio) != 0 && sent) sent = Failed("tcsetattr", path_);
    return sent;
  }

  // Waits for the UART's transmitter to run empty; where the driver cannot tell (USB
  // adapters, pseudo-terminals) it waits one character time on the active clock instead.
  // The give-up bound is real time: a virtual clock does not move while the UART is polled.
  void WaitTransmitterEmpty(Clock& clock, int64_t startNs) {
    unsigned int lsr = 0;
    if (calls_.Ioctl(fd_, TIOCSERGETLSR, &lsr) != 0) {
      clock.WaitUntilNs(startNs + characterNs_);
      return;
    }
    Clock& real = RealClock();
    int64_t giveUpNs = real.NowNs() + 4 * characterNs_ + 2'000'000;
    while (!(lsr & TIOCSER_TEMT) && real.NowNs() < giveUpNs) {
      if (calls_.Ioctl(fd_, TIOCSERGETLSR, &lsr) != 0) return;
    }
  }

  SerialSyscalls& calls_;
  int fd_;
  std::string path_;
  bool owned_;
  PortTimeouts timeouts_ = kReturnAtOnceTimeouts;
  LineControl dtrControl_ = LineControl::Enable;  // open(2) raises DTR and RTS
  LineControl rtsControl_ = LineControl::Enable;
  int64_t characterNs_ = 0;
  bool lineChangesReported_ = true;  // until the driver refuses TIOCMIWAIT
};

std::optional<std::string> ReadFirstLine(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return line;
}

}  // namespace

std::string DefaultPortPath(int32_t portNumber) {
  return "/dev/ttyS" + std::to_string(portNumber - 1);
}

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, Status& why,
                                             SerialSyscalls& calls) {
  why = Status();
  int fd = calls.Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = Failed("open", path);
    return nullptr;
  }
  // The device tells what it is: only a kernel infrared device answers this.
  uint32_t features = 0;
  if (calls.Ioctl(fd, LIRC_GET_FEATURES, &features) == 0)
    return AdoptKernelInfraredDevice(calls, fd, path, features, why);
  termios tio{};
  if (calls.IsATty(fd) != 1) {
    why = Status(StatusCode::NotSupported,
                 path + " is neither a serial port nor a kernel infrared device");
  } else if (calls.Flock(fd, LOCK_EX | LOCK_NB) != 0) {
    why = Failed("lock", path);
  } else if (calls.TcGetAttr(fd, &tio) != 0) {
    why = Failed("tcgetattr", path);
  }
  if (!why) {
    calls.Close(fd);
    return nullptr;
  }
  calls.Ioctl(fd, TIOCEXCL, nullptr);
  MakeBinary(tio);
  calls.TcSetAttr(fd, TCSANOW, &tio);
  return std::make_unique<PosixSerialPort>(calls, fd, path);
}

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, Status& why) {
  return OpenSerialDevice(path, why, SystemSerialSyscalls());
}

std::unique_ptr<SerialPort> BorrowSerialDevice(PortHandle handle, Status& why) {
  SerialSyscalls& calls = SystemSerialSyscalls();
  const std::string name = "descriptor " + std::to_string(handle);
  termios tio{};
  if (handle <= 0 || fcntl(handle, F_GETFD) < 0) {
    why = Status(StatusCode::BadArgument, name + " is not open");
  } else if (calls.IsATty(handle) != 1 || calls.TcGetAttr(handle, &tio) != 0) {
    why = Status(StatusCode::NotSupported, name + " is not a serial port");
  } else {
    why = Status();
    return std::make_unique<PosixSerialPort>(calls, handle, name, false);
  }
  return nullptr;
}

PortKind DeviceKind(const std::string& path) {
  struct stat info{};
  if (stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return PortKind::Absent;
  unsigned int major = major(info.st_rdev);
  unsigned int minor = minor(info.st_rdev);
  bool ptySlave = major >= 136 && major <= 143;
  std::error_code error;
  auto subsystem = std::filesystem::read_symlink(
      "/sys/dev/char/" + std::to_string(major) + ":" + std::to_string(minor) + "/subsystem", error);
  if (!error && subsystem.filename() == "lirc") return PortKind::KernelInfrared;
  if (!ptySlave && (error || subsystem.filename() != "tty")) return PortKind::Absent;
  // The kernel creates ttyS nodes for every possible UART; "type" 0 means none is fitted.
  auto name = std::filesystem::path(path).filename().string();
  if (name.starts_with("ttyS")) {
    auto type = ReadFirstLine("/sys/class/tty/" + name + "/type");
    if (type && *type == "0") return PortKind::Absent;
  }
  return PortKind::Serial;
}

std::string SerialDeviceGroup(const std::string& path) {
  struct stat info{};
  if (stat(path.c_str(), &info) != 0) return {};
  std::vector<char> buffer(4096);
  group entry{};
  group* found = nullptr;
  while (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
    buffer.resize(buffer.size() * 2);
  return found ? found->gr_name : std::to_string(info.st_gid);
}

}  // namespace platform
