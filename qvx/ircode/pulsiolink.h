#pragma once

// The main program's use of the timing library on its infrared port: recordings for learning
// and calibration (IRRecord, IRRecordN), the IRMan receiver's code bytes read through the
// serial-port procedures, and transmissions (IRSend). The port is the one lent to the library
// with SetHandle.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/clock.h"
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

// The line format of the receivers that send bytes (the IRMan and the FirM box), which the
// detection of a receiver sets as well.
inline constexpr uint32_t kByteReceiverBaudRate = 9600;
inline constexpr uint8_t kByteReceiverDataBits = 8;

// Sets the port to the byte receivers' line format with SetPortMode; false as SetPortMode.
bool SetByteReceiverPortMode(PortHandle handle);

// A port opened for one piece of work and lent to the library (SetHandle) while it is open:
// at the end it is taken back (SetHandle(0)) and closed. For the gateways' transmissions and
// qvxctl's verbs; the main program's own port is IrInterface's.
class LentPort {
 public:
  // Opens COMn and lends it; open() is false when the opening failed (*why says why).
  explicit LentPort(int32_t portNumber, platform::Status* why = nullptr);
  ~LentPort() { Close(); }
  LentPort(const LentPort&) = delete;
  LentPort& operator=(const LentPort&) = delete;

  // The handle: positive while open, -1 when the opening failed, 0 after Close.
  PortHandle handle() const { return port_.handle(); }
  bool open() const { return port_.open(); }
  // Takes the port back from the library and closes it now; what the system said.
  platform::Status Close();

 private:
  platform::OwnedPort port_;
};

// Passes of 100 ms the IRMan path waits for its six bytes.
inline constexpr int kIrManReadPasses = 50;

// Records `lenBytes` bytes (1 to 1000) with IRRecord, or IRRecordN when DCD on means light,
// pausing `pauseUs` after each sample. The buffer starts as zeros. nullopt when no signal began
// within 5 s, or for a length outside 1 to 1000.
std::optional<std::vector<uint8_t>> RecordWithPulsio(bool dcdOnIsActive, int pauseUs, int lenBytes);

// Reads the six code bytes of an IRMan receiver on `handle`: 9600 baud, 8 data bits, what was
// waiting discarded, then up to 50 passes of 100 ms on `clock`. nullopt when six bytes did not
// come.
std::optional<std::array<uint8_t, 6>> ReadIRManCode(PortHandle handle, platform::Clock& clock);

// The Record button's recordings: 600 bytes at the pause `procDelayUs` through the library,
// and the IRMan bytes from `irPort`, waited for on `clock` (which must outlive the source).
RecordSource PulsioRecordSource(PortHandle irPort, int procDelayUs, platform::Clock& clock);

// The transmitter of the main program: IRSend of the library on the lent port.
IrTransmit PulsioTransmit();
// The status text of a send the transmitter on `irPort` refused: what a kernel infrared
// device said, else "Error sending infrared command!".
std::string TransmitFailure(PortHandle irPort);

}  // namespace qvx::ircode
