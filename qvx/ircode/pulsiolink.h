#pragma once

// The main program's use of the timing library on its infrared port: recordings for learning
// and calibration (IRRecord, IRRecordN), the IRMan receiver's code bytes read through the
// serial-port procedures, and transmissions (IRSend). The port is the one lent to the library
// with SetHandle.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "qvx/ircode/irsend.h"
#include "qvx/ircode/learning.h"
#include "qvx/ircode/port/serialport.h"

namespace qvx::ircode {

// The line format of the software carrier on TxD (output mode kOutputTxd): at 115200 baud a
// character of 6 data bits lasts about a carrier cycle pattern of 38 kHz.
inline constexpr uint32_t kCarrierBaudRate = 115200;
inline constexpr uint8_t kCarrierDataBits = 6;

// Sets the port to the software carrier's line format with SetPortMode; false as SetPortMode.
bool SetCarrierPortMode(PortHandle handle);

// Passes of 100 ms the IRMan path waits for its six bytes.
inline constexpr int kIrManReadPasses = 50;

// Records `lenBytes` bytes (1 to 1000) with IRRecord, or IRRecordN when DCD on means light,
// pausing `pauseUs` after each sample. The buffer starts as zeros. nullopt when no signal began
// within 5 s, or for a length outside 1 to 1000.
std::optional<std::vector<uint8_t>> RecordWithPulsio(bool dcdOnIsActive, int pauseUs, int lenBytes);

// Reads the six code bytes of an IRMan receiver on `handle`: 9600 baud, 8 data bits, what was
// waiting discarded, then up to 50 passes of 100 ms. nullopt when six bytes did not come.
std::optional<std::array<uint8_t, 6>> ReadIRManCode(PortHandle handle);

// The Record button's recordings: 600 bytes at the pause `procDelayUs` through the library,
// and the IRMan bytes from `irPort`.
RecordSource PulsioRecordSource(PortHandle irPort, int procDelayUs);

// The transmitter of the main program: IRSend of the library on the lent port.
IrTransmit PulsioTransmit();

}  // namespace qvx::ircode
