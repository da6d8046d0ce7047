// Serial devices through the Win32 communications functions. CreateFileA without sharing is
// exclusive by itself: every further opener, in this process or another, is refused.

#include <windows.h>

#include <string_view>
#include <utility>

#include "platform/clock.h"
#include "platform/serial_device.h"
#include "platform/win32/comm_calls.h"
#include "platform/win32/handles.h"
#include "platform/win32/system_error.h"

namespace platform {
namespace {

constexpr std::string_view kDeviceNamespace = "\\\\.\\";

// "COM12" from "\\.\COM12"; other names stay as they are.
std::string_view DeviceName(std::string_view path) {
  if (path.starts_with(kDeviceNamespace)) path.remove_prefix(kDeviceNamespace.size());
  return path;
}

constexpr BYTE kParityCodes[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};

Parity ParityOf(BYTE code) {
  switch (code) {
    case ODDPARITY: return Parity::Odd;
    case EVENPARITY: return Parity::Even;
    case MARKPARITY: return Parity::Mark;
    case SPACEPARITY: return Parity::Space;
    default: return Parity::None;
  }
}

StopBits StopBitsOf(BYTE code) {
  switch (code) {
    case ONE5STOPBITS: return StopBits::OnePointFive;
    case TWOSTOPBITS: return StopBits::Two;
    default: return StopBits::One;
  }
}

BYTE StopBitsCode(StopBits bits) {
  switch (bits) {
    case StopBits::OnePointFive: return ONE5STOPBITS;
    case StopBits::Two: return TWOSTOPBITS;
    case StopBits::One: break;
  }
  return ONESTOPBIT;
}

LineControl DtrControlOf(DWORD code) {
  switch (code) {
    case DTR_CONTROL_DISABLE: return LineControl::Disable;
    case DTR_CONTROL_HANDSHAKE: return LineControl::Handshake;
    default: return LineControl::Enable;
  }
}

LineControl RtsControlOf(DWORD code) {
  switch (code) {
    case RTS_CONTROL_DISABLE: return LineControl::Disable;
    case RTS_CONTROL_ENABLE: return LineControl::Enable;
    default: return LineControl::Handshake;  // handshake and toggle: the driver drives RTS
  }
}

DWORD DtrControlCode(LineControl control) {
  switch (control) {
    case LineControl::Disable: return DTR_CONTROL_DISABLE;
    case LineControl::Handshake: return DTR_CONTROL_HANDSHAKE;
    case LineControl::Enable: break;
  }
  return DTR_CONTROL_ENABLE;
}

DWORD RtsControlCode(LineControl control) {
  switch (control) {
    case LineControl::Disable: return RTS_CONTROL_DISABLE;
    case LineControl::Handshake: return RTS_CONTROL_HANDSHAKE;
    case LineControl::Enable: break;
  }
  return RTS_CONTROL_ENABLE;
}

class Win32SerialPort final : public SerialPort {
 public:
  // `owned`: the HANDLE is this port's to close; a host's lent one is not.
  Win32SerialPort(HANDLE handle, std::string path, bool owned = true)
      : handle_(handle), path_(std::move(path)), owned_(owned) {
    PortSettings settings;
    if (GetSettings(settings)) characterNs_ = CharacterNs(settings);
  }

  ~Win32SerialPort() override { Close(); }

  int32_t OsHandle() const override {
    return handle_ == INVALID_HANDLE_VALUE ? 0 : PortHandleOf(handle_);
  }

  Status Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return {};
    const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    if (owned_ && !CloseHandle(handle)) return LastWin32Error("CloseHandle " + path_);
    return {};
  }

  Status GetSettings(PortSettings& settings) override {
    settings = PortSettings{};
    DCB dcb{};
    if (Status read = ReadState(dcb); !read) return read;
    settings.baudRate = dcb.BaudRate;
    settings.dataBits = dcb.ByteSize;
    settings.parity = ParityOf(dcb.Parity);
    settings.stopBits = StopBitsOf(dcb.StopBits);
    settings.parityCheck = dcb.fParity;
    settings.ctsFlow = dcb.fOutxCtsFlow;
    settings.dsrFlow = dcb.fOutxDsrFlow;
    settings.xonXoff = dcb.fOutX || dcb.fInX;
    settings.dtrControl = DtrControlOf(dcb.fDtrControl);
    settings.rtsControl = RtsControlOf(dcb.fRtsControl);
    settings.dsrSensitivity = dcb.fDsrSensitivity;
    settings.txContinueOnXoff = dcb.fTXContinueOnXoff;
    settings.errorChar = dcb.fErrorChar;
    settings.discardNulls = dcb.fNull;
    settings.abortOnError = dcb.fAbortOnError;
    return {};
  }

  Status SetSettings(const PortSettings& settings) override {
    if (settings.dataBits < 5 || settings.dataBits > 8 || settings.baudRate == 0) {
      return Status(StatusCode::BadArgument, path_ + ": " + std::to_string(settings.baudRate) +
                                                 " baud with " + std::to_string(settings.dataBits) +
                                                 " data bits is no line format");
    }
    DCB dcb{};
    if (Status read = ReadState(dcb); !read) return read;
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.dataBits;
    dcb.Parity = kParityCodes[static_cast<int>(settings.parity)];
    dcb.StopBits = StopBitsCode(settings.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parityCheck;
    dcb.fOutxCtsFlow = settings.ctsFlow;
    dcb.fOutxDsrFlow = settings.dsrFlow;
    dcb.fOutX = settings.xonXoff;
    dcb.fInX = settings.xonXoff;
    dcb.fDtrControl = DtrControlCode(settings.dtrControl);
    dcb.fRtsControl = RtsControlCode(settings.rtsControl);
    dcb.fDsrSensitivity = settings.dsrSensitivity;
    dcb.fTXContinueOnXoff = settings.txContinueOnXoff;
    dcb.fErrorChar = settings.errorChar;
    dcb.fNull = settings.discardNulls;
    dcb.fAbortOnError = settings.abortOnError;
    if (!ActiveCommCalls().setCommState(handle_, &dcb))
      return LastWin32Error("SetCommState " + path_);
    characterNs_ = CharacterNs(settings);
    return {};
  }

  Status GetTimeouts(PortTimeouts& timeouts) override {
    timeouts = PortTimeouts{};
    if (Status closed = CheckOpen(); !closed) return closed;
    COMMTIMEOUTS t{};
    if (!ActiveCommCalls().getCommTimeouts(handle_, &t))
      return LastWin32Error("GetCommTimeouts " + path_);
    timeouts = {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
    return {};
  }

  Status SetTimeouts(const PortTimeouts& timeouts) override {
    if (Status closed = CheckOpen(); !closed) return closed;
    COMMTIMEOUTS t{timeouts.readIntervalMs, timeouts.readTotalMultiplierMs,
                   timeouts.readTotalConstantMs, timeouts.writeTotalMultiplierMs,
                   timeouts.writeTotalConstantMs};
    if (!ActiveCommCalls().setCommTimeouts(handle_, &t))
      return LastWin32Error("SetCommTimeouts " + path_);
    return {};
  }

  Status SetLine(OutputLine line, bool on) override {
    if (Status closed = CheckOpen(); !closed) return closed;
    DWORD function = 0;
    switch (line) {
      case OutputLine::Dtr: function = on ? SETDTR : CLRDTR; break;
      case OutputLine::Rts: function = on ? SETRTS : CLRRTS; break;
      case OutputLine::Break: function = on ? SETBREAK : CLRBREAK; break;
    }
    if (!EscapeCommFunction(handle_, function)) return LastWin32Error("EscapeCommFunction " + path_);
    return {};
  }

  Status GetModemStatus(uint32_t& status) override {
    status = 0;
    if (Status closed = CheckOpen(); !closed) return closed;
    DWORD bits = 0;
    if (!GetCommModemStatus(handle_, &bits)) return LastWin32Error("GetCommModemStatus " + path_);
    status = bits & (kStatusCts | kStatusDsr | kStatusRing | kStatusDcd);
    return {};
  }

  // TransmitCommChar only queues the character; the caller expects it on the line when this
  // returns, so the driver is asked until it has gone and then the frame time is waited out.
  Status TransmitChar(uint8_t byte) override {
    if (Status closed = CheckOpen(); !closed) return closed;
    Clock& clock = ActiveClock();
    const int64_t startNs = clock.NowNs();
    if (!TransmitCommChar(handle_, static_cast<char>(byte)))
      return LastWin32Error("TransmitCommChar " + path_);
    Clock& real = RealClock();
    const int64_t giveUpNs = real.NowNs() + 4 * characterNs_ + 2'000'000;
    COMSTAT state{};
    DWORD errors = 0;
    while (ClearCommError(handle_, &errors, &state) && state.fTxim && real.NowNs() < giveUpNs) {
    }
    clock.WaitUntilNs(startNs + characterNs_);
    return {};
  }

  Status Write(std::span<const uint8_t> bytes, size_t& written) override {
    written = 0;
    if (Status closed = CheckOpen(); !closed) return closed;
    DWORD done = 0;
    if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr))
      return LastWin32Error("WriteFile " + path_);
    written = done;  // fewer than asked: the write time-out passed
    return {};
  }

  Status Read(std::span<uint8_t> buffer, size_t& received) override {
    received = 0;
    if (Status closed = CheckOpen(); !closed) return closed;
    if (buffer.empty()) return {};
    DWORD got = 0;
    if (!ReadFile(handle_, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
      return LastWin32Error("ReadFile " + path_);
    received = got;
    return {};
  }

 private:
  Status CheckOpen() const {
    if (handle_ != INVALID_HANDLE_VALUE) return {};
    return Status(StatusCode::BadArgument, path_ + " is closed");
  }

  Status ReadState(DCB& dcb) {
    if (Status closed = CheckOpen(); !closed) return closed;
    dcb.DCBlength = sizeof dcb;
    if (!ActiveCommCalls().getCommState(handle_, &dcb))
      return LastWin32Error("GetCommState " + path_);
    return {};
  }

  HANDLE handle_;
  std::string path_;
  bool owned_;
  int64_t characterNs_ = 0;
};

}  // namespace

CommCalls& ActiveCommCalls() {
  static CommCalls calls;
  return calls;
}

std::string DefaultPortPath(int32_t portNumber) {
  // The device namespace reaches COM10 and above too, which the plain name does not.
  return std::string(kDeviceNamespace) + "COM" + std::to_string(portNumber);
}

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, Status& why) {
  why = Status();
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    why = LastWin32Error("CreateFileA " + path);
    return nullptr;
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!ActiveCommCalls().getCommState(handle, &dcb)) {
    why = Status(StatusCode::NotSupported, path + " is not a serial device");
    CloseHandle(handle);
    return nullptr;
  }
  // The driver keeps the time-outs and settings of the port's last user; the opener sets them.
  return std::make_unique<Win32SerialPort>(handle, path);
}

std::unique_ptr<SerialPort> BorrowSerialDevice(PortHandle handle, Status& why) {
  const std::string name = "handle " + std::to_string(handle);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (handle <= 0) {
    why = Status(StatusCode::BadArgument, name + " is not open");
  } else if (!ActiveCommCalls().getCommState(Win32HandleOf(handle), &dcb)) {
    why = Status(StatusCode::NotSupported, name + " is not an open serial port");
  } else {
    why = Status();
    return std::make_unique<Win32SerialPort>(Win32HandleOf(handle), name, false);
  }
  return nullptr;
}

PortKind DeviceKind(const std::string& path) {
  const std::string name(DeviceName(path));
  COMMCONFIG config{};
  DWORD size = sizeof config;
  config.dwSize = size;
  return GetDefaultCommConfigA(name.c_str(), &config, &size) != 0 ? PortKind::Serial
                                                                   : PortKind::Absent;
}

// Windows grants a COM port to whoever opens it first; no group stands between.
std::string SerialDeviceGroup(const std::string&) { return {}; }

}  // namespace platform
