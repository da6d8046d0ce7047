#pragma once

// The main program's serial-port procedures, used for the infrared port, the X10 interface
// and the phone. Handles are the process's port handles: 0 means not open, -1 means the last
// opening failed and is treated as "no port" by every procedure.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/serial.h"

namespace qvx::ircode {

using platform::PortHandle;
using platform::kPortClosed;
using platform::kPortFailed;

// Texts go to and come from a port through a buffer of this size.
inline constexpr size_t kPortBufferBytes = 100;

// Opens COMn for reading and writing, exclusively; the handle, or -1 on failure with the
// reason in *why when given (platform::OpenSerialPort).
PortHandle OpenPort(int32_t portNumber, platform::Status* why = nullptr);
// Closes the port and sets the handle variable to 0; 0 and -1 are left as they are. Returns
// what the system said about the close.
platform::Status ClosePort(PortHandle& handle);
// Reads return at once with what has arrived; writes allow 1 ms per byte plus 10 ms.
// True, or false if the time-outs cannot be read or written.
bool SetPortTimeouts(PortHandle handle);
// Sets baud rate and data bits, binary mode with no flow control and DTR/RTS left to the
// program (parity and stop bits stay), then SetPortTimeouts. False for -1 or any failure.
bool SetPortMode(uint32_t baudRate, uint8_t dataBits, PortHandle handle);
// Writes a text of at most 100 bytes in one write; false on failure, for -1, for a longer
// text (nothing is sent) or when not every byte went out.
bool WritePort(std::string_view text, PortHandle handle);
// Reads what has arrived, up to 100 bytes; "" when nothing has or on failure, which *why
// tells apart when given.
std::string ReadPort(PortHandle handle, platform::Status* why = nullptr);
// Sets or clears DTR; -1 or a port that refuses are ignored.
void SetDtrLine(bool on, PortHandle handle);
// Sets or clears RTS; -1 or a port that refuses are ignored.
void SetRtsLine(bool on, PortHandle handle);
// Holds TxD in the break state or releases it; -1 or a port that refuses are ignored.
void SetTxdBreak(bool on, PortHandle handle);
// True while CTS is on; false when off, for -1, or when the lines cannot be read, which *why
// tells apart when given (NotSupported: the device has no modem lines, a pseudo-terminal).
bool GetCtsLine(PortHandle handle, platform::Status* why = nullptr);
// True while DSR is on; false as GetCtsLine.
bool GetDsrLine(PortHandle handle, platform::Status* why = nullptr);
// True while DCD is on; false as GetCtsLine.
bool GetDcdLine(PortHandle handle, platform::Status* why = nullptr);
// Waits up to timeoutUs for DCD to leave the state `dcdOn`, woken by the change itself; true
// when it has left it. *why tells the rest apart: NotSupported where the port does not report
// line changes (the caller reads the line now and then instead), a failure of the port, or a
// success for a wait that ended without a change.
bool WaitForDcdChange(PortHandle handle, bool dcdOn, int64_t timeoutUs, platform::Status& why);
// True when COMn is present on this machine (without opening it).
bool PortExists(int32_t portNumber);

}  // namespace qvx::ircode
