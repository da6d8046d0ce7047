#pragma once

// The simulated devices a program offers for COMn=sim:NAME, so that it runs without hardware.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/sim/ir_peer.h"

namespace platform::sim {

// What one read of the modem lines costs on the virtual clock of QVX_SIM_CLOCK=virtual: with the
// delivered PROCDELAY of 10 us a sample then lasts the 55 us the decoders expect.
inline constexpr int64_t kStandardLineReadNs = 45'000;

// Registers "sim:ir" (infrared receiver and transmitter), "sim:cm11" (X10 interface),
// "sim:phone" (a Bluetooth phone) and, on Linux, "sim:lirc" (a kernel infrared device, see
// kernel_ir_device.h) on the process's clock. Environment variables serve tests of whole
// programs and the demonstration:
//   QVX_SIM_CLOCK=virtual  runs the process on a virtual clock, so timed work costs no time;
//   QVX_SIM_CAPTURE=FILE   appends what the "ir" transmitter and the "lirc" device sent to FILE
//                          when the process ends, in one write, so processes that end together
//                          do not interleave;
//   QVX_SIM_PRESSES=FILE   plays the key presses of FILE on the "ir" receiver and the "lirc"
//                          device (see ReadPressScript), timed from the moment the peers are
//                          registered;
//   QVX_SIM_PHONE=FILE     plays the lines of FILE on the "phone" once key reporting is on
//                          (see ReadPhoneScript);
//   QVX_SIM_LOCKS=DIR      makes each peer one device for all processes that share DIR
//                          (DIR/NAME.lock), so that two programs contend for it as for a
//                          real port.
// Calling it again does nothing.
void RegisterStandardPeers();

// The "ir" peer of RegisterStandardPeers; null before it ran.
std::shared_ptr<IrPeer> StandardIrPeer();

// The light of a press script: one press a line, "AT_MS D1 D2 D3 ...", starting AT_MS
// milliseconds after time 0 with light for D1 microseconds, darkness for D2, light for D3, and
// so on; empty lines and lines beginning with "#" are skipped. Presses come in time order and do
// not overlap. Empty when the file cannot be read or a line is malformed.
std::vector<LightMark> ReadPressScript(const std::filesystem::path& path);

// The transmitter events of a capture file, in order (the "lirc" lines are read by
// ReadKernelCapture); empty when it cannot be read.
std::vector<TxEvent> ReadCaptureFile(const std::filesystem::path& path);

}  // namespace platform::sim
