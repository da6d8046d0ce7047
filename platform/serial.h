#pragma once

// Serial ports: the device interface every real or simulated port implements, the process-wide
// handle table and the COMn names of the system.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/status.h"

namespace platform {

class InfraredDevice;

// Modem status bits, the same values as the Win32 MS_*_ON flags.
inline constexpr uint32_t kStatusCts = 0x10;
inline constexpr uint32_t kStatusDsr = 0x20;
inline constexpr uint32_t kStatusRing = 0x40;
inline constexpr uint32_t kStatusDcd = 0x80;

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OnePointFive, Two };
// How the driver treats DTR or RTS while the settings are in force (the Win32 DCB choices).
enum class LineControl { Disable, Enable, Handshake };

// Line format and flow control of a port, the part of a Win32 DCB the system uses.
struct PortSettings {
  uint32_t baudRate = 9600;
  uint8_t dataBits = 8;
  Parity parity = Parity::None;
  StopBits stopBits = StopBits::One;
  bool parityCheck = false;  // fParity
  bool ctsFlow = false;      // fOutxCtsFlow
  bool dsrFlow = false;      // fOutxDsrFlow
  bool xonXoff = false;      // fOutX and fInX
  LineControl dtrControl = LineControl::Enable;
  LineControl rtsControl = LineControl::Enable;
  // Behaviours of the Windows serial driver that a port keeps from its last user. termios has
  // none of them: POSIX ports read them as false and refuse to switch them on.
  bool dsrSensitivity = false;    // fDsrSensitivity: input is dropped while DSR is off
  bool txContinueOnXoff = false;  // fTXContinueOnXoff
  bool errorChar = false;         // fErrorChar: bytes with a parity error are replaced
  bool discardNulls = false;      // fNull: received zero bytes are dropped
  bool abortOnError = false;      // fAbortOnError: reads and writes stop after a line error

  bool operator==(const PortSettings&) const = default;
};

// Read and write time-outs with the meaning of Win32 COMMTIMEOUTS (all in milliseconds).
struct PortTimeouts {
  static constexpr uint32_t kMaxDword = 0xFFFFFFFF;
  uint32_t readIntervalMs = 0;
  uint32_t readTotalMultiplierMs = 0;
  uint32_t readTotalConstantMs = 0;
  uint32_t writeTotalMultiplierMs = 0;
  uint32_t writeTotalConstantMs = 0;

  bool operator==(const PortTimeouts&) const = default;
};

// The regime of a freshly opened port: reads return at once, writes have no time-out.
inline constexpr PortTimeouts kReturnAtOnceTimeouts{PortTimeouts::kMaxDword, 0, 0, 0, 0};

// Output lines set and cleared with EscapeCommFunction.
enum class OutputLine { Dtr, Rts, Break };

// Bits a character occupies on the wire: start, data, parity and stop bits (1.5 rounds up).
uint32_t FrameBits(const PortSettings& settings);
// Nanoseconds one character takes on the wire at the settings' rate; 0 without a rate.
int64_t CharacterNs(const PortSettings& settings);

// An open serial device. Real ports (termios) and simulated peers implement it; the port
// closes when the object is destroyed, or earlier with Close. Every call reports a Status;
// out-parameters are set on every path (zero, empty or defaults when the call failed).
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  SerialPort() = default;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Reads the current line format (GetCommState); defaults when it cannot be read.
  virtual Status GetSettings(PortSettings& settings) = 0;
  // Applies a line format (SetCommState); BadArgument or NotSupported for a format the device
  // cannot take, which then changes nothing.
  virtual Status SetSettings(const PortSettings& settings) = 0;
  // Reads the time-outs in force (GetCommTimeouts).
  virtual Status GetTimeouts(PortTimeouts& timeouts) = 0;
  // Sets the time-outs used by Read and Write (SetCommTimeouts).
  virtual Status SetTimeouts(const PortTimeouts& timeouts) = 0;
  // Sets or clears DTR, RTS or the break state of TxD (EscapeCommFunction).
  virtual Status SetLine(OutputLine line, bool on) = 0;
  // Reads CTS, DSR, RI and DCD as kStatus* bits (GetCommModemStatus); 0 on failure.
  virtual Status GetModemStatus(uint32_t& status) = 0;
  // Waits until an input line of `mask` (kStatus* bits) differs from `expected`, for at most
  // `timeoutUs`, woken by the change itself rather than by reading the lines (TIOCMIWAIT);
  // `status` holds the lines at the return. It may return earlier without a change (a signal).
  // NotSupported where the device does not report line changes: the caller reads them now and
  // then instead.
  // (Defined here, so that the class keeps no key function: the shared registry uses its type
  // information without linking the port code.)
  virtual Status WaitModemChange(uint32_t /*mask*/, uint32_t /*expected*/, int64_t /*timeoutUs*/,
                                 uint32_t& status) {
    status = 0;
    return Status(StatusCode::NotSupported, "the port does not report line changes");
  }
  // Sends one byte ahead of queued output and returns once it has left the transmitter, so
  // that consecutive calls put characters back to back on the line.
  virtual Status TransmitChar(uint8_t byte) = 0;
  // Writes bytes within the write time-outs (WriteFile); `written` may be less than the size
  // when the time-out passed, which is a success.
  virtual Status Write(std::span<const uint8_t> bytes, size_t& written) = 0;
  // Reads up to the buffer's size within the read time-outs (ReadFile); a time-out is a
  // success with fewer bytes, possibly none.
  virtual Status Read(std::span<uint8_t> buffer, size_t& received) = 0;
  // Closes the device now (CloseHandle) and reports what the system said; later calls fail
  // with BadArgument. Closing twice is a success.
  virtual Status Close() = 0;
  // The kernel infrared device behind this port, or null for a serial port. A kernel device has
  // no line format and no modem lines: those calls answer NotSupported.
  virtual InfraredDevice* Infrared() { return nullptr; }
  // The system's own handle of the device (a descriptor, a HANDLE in its 32 significant bits),
  // or 0 when the port has none of its own, as a simulated peer.
  virtual int32_t OsHandle() const { return 0; }
};

// Port handles are the system's own: a descriptor on POSIX, a HANDLE on Windows (whose 32 low
// bits are all that count), so that a host that opened a port itself can lend it to Pulsio and
// Pulsio's handles are ones a host could use. A port without a handle of its own (a simulated
// peer) is given one the table reserves for it (/dev/null, an event). One table per process,
// shared by every module and by Pulsio. 0 means "not open" and -1 "the last opening failed", as
// everywhere in the system. The system reuses a handle once it is closed, so a module drops a
// handle when it closes the port.
using PortHandle = int32_t;
inline constexpr PortHandle kPortClosed = 0;
inline constexpr PortHandle kPortFailed = -1;

// Puts an open port into the process table; returns its handle, or -1 for a null port or when
// no handle could be reserved for it.
PortHandle RegisterPort(std::unique_ptr<SerialPort> port);
// The port behind a handle; null for 0, -1 and closed or unknown handles.
std::shared_ptr<SerialPort> FindPort(PortHandle handle);
// Takes the port behind a handle out of the table and closes it (CloseHandle), reporting what
// the system said; BadArgument when the handle is not open. A port still in use by a call
// under way closes when that call lets go of it.
Status ClosePort(PortHandle handle);
// Puts a serial port that a host opened itself, and that the table does not know, into the
// table under its own handle, as a port the host owns: it is never closed or locked here.
// True when the handle is in the table afterwards, also when it was there already; false,
// with the reason in `why` when given, when it is not an open serial device.
bool AdoptPort(PortHandle handle, Status* why = nullptr);
// Takes a port that AdoptPort put into the table out of it again, leaving the host's handle
// open; any other handle is left as it is.
void ForgetAdoptedPort(PortHandle handle);

// A port handle this code opened and closes: it closes in its destructor, or with Close.
// Move-only, so that one owner closes it once.
class OwnedPort {
 public:
  OwnedPort() = default;
  // Takes over an open handle; 0 and -1 are held as they are and never closed.
  explicit OwnedPort(PortHandle handle) : handle_(handle) {}
  ~OwnedPort() { Close(); }
  OwnedPort(OwnedPort&& other) noexcept : handle_(other.Release()) {}
  OwnedPort& operator=(OwnedPort&& other) noexcept;
  OwnedPort(const OwnedPort&) = delete;
  OwnedPort& operator=(const OwnedPort&) = delete;

  // The handle: positive while open, 0 when closed, -1 when the opening failed.
  PortHandle handle() const { return handle_; }
  bool open() const { return handle_ > 0; }
  // Closes the port now and keeps 0; a success when there was nothing to close.
  Status Close();
  // Gives the handle up without closing it and keeps 0.
  PortHandle Release();

 private:
  PortHandle handle_ = kPortClosed;
};

// A port handle another part of the program opened and closes, such as the one lent to Pulsio
// with SetHandle: it is used here and never closed. Move-only like OwnedPort.
class BorrowedPort {
 public:
  BorrowedPort() = default;
  explicit BorrowedPort(PortHandle handle) : handle_(handle) {}
  BorrowedPort(BorrowedPort&& other) noexcept
      : handle_(std::exchange(other.handle_, kPortClosed)) {}
  BorrowedPort& operator=(BorrowedPort&& other) noexcept {
    handle_ = std::exchange(other.handle_, kPortClosed);
    return *this;
  }
  BorrowedPort(const BorrowedPort&) = delete;
  BorrowedPort& operator=(const BorrowedPort&) = delete;

  PortHandle handle() const { return handle_; }
  bool open() const { return handle_ > 0; }

 private:
  PortHandle handle_ = kPortClosed;
};

// What a port is.
enum class PortKind {
  Absent,          // nothing is there
  Serial,          // a serial port: a UART, a USB adapter, a pseudo-terminal, most peers
  KernelInfrared,  // a kernel infrared device (see platform/infrared.h)
};

// Makes a simulated peer's port; gets the text after "sim:NAME:" (may be empty) and returns
// null, with the reason in `why`, when the peer cannot be opened (already open, failing on
// purpose).
using SimPeerFactory =
    std::function<std::unique_ptr<SerialPort>(std::string_view options, Status& why)>;
// Registers (or replaces) the simulated peer type reachable as "sim:NAME", a device of `kind`.
void RegisterSimPeer(const std::string& name, SimPeerFactory factory,
                     PortKind kind = PortKind::Serial);
// Removes a simulated peer type; false when no such name was registered.
bool UnregisterSimPeer(const std::string& name);
// True when a simulated peer type of that name is registered.
bool SimPeerRegistered(const std::string& name);
// The kind of device the simulated peer type of that name stands for; Absent when unknown.
PortKind SimPeerKind(const std::string& name);

// Makes `targets` (port number to a device path or "sim:NAME") the process's port map, which
// the user keeps in a file; replaces the previous map. Pulsio's functions see it too.
void SetPortMap(std::map<int32_t, std::string> targets);
// What COMn stands for: the value of QVX_COMn if set, otherwise its entry in the port map,
// otherwise the system's device for COMn ("/dev/ttyS(n-1)" on POSIX, "\\.\COMn" on Windows);
// "" for numbers outside 1..9999 (the system's port names have at most four digits). A device
// path, "sim:NAME", or a kernel infrared receiver and transmitter joined as
// "RECEIVER+TRANSMITTER".
std::string PortTarget(int32_t portNumber);
// Opens COMn exclusively (CreateFileA): a second opener, in this or another process, fails.
// Returns the handle, or -1 with the reason in *why when given: NotFound when there is no such
// port, InUse while another opener holds it, BadArgument for a number outside 1..9999.
PortHandle OpenSerialPort(int32_t portNumber, Status* why = nullptr);
// Opens a device path or "sim:NAME" exclusively; -1 on failure, with the reason as above.
PortHandle OpenSerialTarget(const std::string& target, Status* why = nullptr);
// True when COMn is present (GetDefaultCommConfigA): a registered simulated peer, or a serial
// character device that the system reports as fitted, or a kernel infrared device. Never
// opens the device.
bool SerialPortExists(int32_t portNumber);
// The name of the group that owns COMn's device, whose members may open it; empty for a
// simulated peer, a missing device, or a system without such groups.
std::string PortOwnerGroup(int32_t portNumber);

// What COMn stands for, told by the device itself (or, for "sim:NAME", by the peer type)
// without opening it; Absent for a number outside 1..9999.
PortKind PortKindOf(int32_t portNumber);

}  // namespace platform
