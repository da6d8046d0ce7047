#pragma once

// Internal to the platform library: the operating system's side of serial ports, implemented
// once per OS (posix/serial_device.cpp, win32/serial_device.cpp).

#include <memory>
#include <string>

#include "platform/serial.h"

namespace platform {

// The device COMn opens when nothing else is set: /dev/ttyS(n-1) on POSIX, \\.\COMn on Windows.
std::string DefaultPortPath(int32_t portNumber);
// Opens a serial device by path, exclusively and in binary mode; null, with the reason in
// `why`, on failure or when another opener holds it (InUse).
std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, Status& why);
// Wraps a serial device that a host opened itself, by its system handle, without taking it
// over: nothing about it is changed on the way in, and closing the wrapper leaves it open. Null,
// with the reason in `why`, when the handle is not an open serial device.
std::unique_ptr<SerialPort> BorrowSerialDevice(PortHandle handle, Status& why);
// What the device at `path` is: a serial character device the system reports as fitted, a
// kernel infrared device, or nothing usable (Absent); never opens it.
PortKind DeviceKind(const std::string& path);

// The name of the group that owns the device at `path`; empty where there is none to tell.
std::string SerialDeviceGroup(const std::string& path);

}  // namespace platform
