#pragma once

// The infrared port as a kernel infrared device (COMn mapped to /dev/lircN): whether it is one
// and what it can do, and the words a user reads about it and about a port that would not open.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/serial.h"

namespace qvx::ircode {

using platform::PortHandle;

// The udev rule shipped with the program that gives the user at the desktop the kernel's
// infrared devices.
inline constexpr std::string_view kInfraredUdevRule = "70-qvx-infrared.rules";

// True when the port behind `handle` is a kernel infrared device.
bool IsKernelDevice(PortHandle handle);
// True when it is one that delivers what it receives as durations (learning and monitoring
// need that); false for any other port.
bool KernelDeviceReceives(PortHandle handle);

// What the window and qvxctl say where a setting of the sampled serial port does not apply:
// the receiver type, the DCD polarity, PROCDELAY and its calibration, the TxD/DTR choice.
std::string KernelDeviceNote(int32_t portNumber);

// What Start of monitoring says about a kernel infrared device that cannot receive.
std::string KernelDeviceCannotReceive(int32_t portNumber);

// Why the last recording, watch or send on the kernel device behind `handle` fell short, as a
// status text ("The infrared device /dev/lirc0 has gone (unplugged, or its driver unloaded)!");
// nullopt when nothing did or the port is no kernel device.
std::optional<std::string> KernelDeviceFault(PortHandle handle);
// True when the kernel device behind `handle` has gone.
bool KernelDeviceGone(PortHandle handle);

// COMn and what it stands for: "COM1 (/dev/lirc0)".
std::string PortLabel(int32_t portNumber);
// Why COMn would not open, in words a user can act on; for a permission refusal it names the
// device's group and, for a kernel infrared device, the udev rule.
std::string OpenFailureText(int32_t portNumber, const platform::Status& why);

}  // namespace qvx::ircode
