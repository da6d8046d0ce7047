#pragma once

// Pulsio's inside: the module state and the operations behind the C exports, which only check
// arguments, call these and turn exceptions into the failure value.

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/clock.h"
#include "platform/serial.h"

namespace pulsio {

inline constexpr size_t kDataBufferBytes = 1000;
inline constexpr size_t kMonitorBytes = 500;

// The one state of the library in this process.
struct Module {
  platform::PortHandle portHandle = platform::kPortClosed;  // the port every operation uses
  platform::PortHandle savedHandle = platform::kPortClosed;  // the handle lent with SetHandle
  platform::OwnedPort opened;  // the port Pulsio opened itself (OpenCom); a lent one is not here
  int32_t monitorValue = 0;
  std::array<uint8_t, kDataBufferBytes> data{};  // samples and pulse trains; [0] stages bytes
};

// The library's state.
Module& State();
// The port behind the current port handle; null when it is not open.
std::shared_ptr<platform::SerialPort> CurrentPort();

// Port handle, lines and bytes.
bool OpenCom(int32_t portNumber);
bool JustOpenCom(int32_t portNumber);
void CloseCom();
void SetHandle(platform::PortHandle handle);
bool SetOutputLine(platform::OutputLine line, int32_t state);
// The modem status bits of the current port; 0 when it cannot be read.
uint32_t ModemStatus();
bool SendChr(uint8_t byte);
bool ReadChr(uint8_t& byte);
bool SetMode(int32_t mode);
int32_t CheckZone(uint8_t report);

// Pulse timing.
// Busy-waits `us` microseconds on `clock` (negative: no wait).
void Delay(platform::Clock& clock, int32_t us);
// ESC characters' worth of one light slot on TxD: slot x 0.0128 + 0.5, truncated, 16 bits.
uint16_t CarrierCharacters(int32_t slotUs);
// Waits up to 5 s for light, then samples into `destination`; false on the time-out.
bool Record(std::span<uint8_t> destination, int32_t pauseUs, bool lightWhenDcdOn);
// Samples kMonitorBytes bytes into `destination` at once.
void Monitor(std::span<uint8_t, kMonitorBytes> destination, int32_t pauseUs, bool lightWhenDcdOn);
// Plays a slot bitmap on TxD (carrierOnTxd) or DTR.
void Send(std::span<const uint8_t> bitmap, int32_t slotUs, bool carrierOnTxd);

}  // namespace pulsio
