// Port handle, lines and bytes.

#include <utility>

#include "pulsio/module.h"

namespace pulsio {
namespace {

using platform::FindPort;
using platform::kPortFailed;
using platform::LineControl;
using platform::Parity;
using platform::PortSettings;
using platform::PortTimeouts;
using platform::StopBits;

// Lets go of the current port: closes it when Pulsio opened it, takes a host's port that
// SetHandle adopted out of the table without closing it, and keeps 0, since the system hands
// a closed handle out again to whatever it opens next.
void LetGoOfPort() {
  Module& state = State();
  state.opened.Close();
  platform::ForgetAdoptedPort(std::exchange(state.adopted, platform::kPortClosed));
  state.portHandle = platform::kPortClosed;
  state.kernelWatch = KernelWatch{};
}

// Opens COMn as the new port handle (-1 when that fails).
bool OpenPortNumber(int32_t portNumber) {
  Module& state = State();
  LetGoOfPort();
  state.opened = platform::OwnedPort(platform::OpenSerialPort(portNumber));
  state.portHandle = state.opened.handle();
  return state.opened.open();
}

}  // namespace

Module& State() {
  // Never destroyed: a port still open at exit is closed by the system, as on Windows.
  static auto* state = new Module;
  return *state;
}

std::shared_ptr<platform::SerialPort> CurrentPort() { return FindPort(State().portHandle); }

bool OpenCom(int32_t portNumber) {
  if (!OpenPortNumber(portNumber)) return false;
  auto port = CurrentPort();
  // A kernel infrared device has no line format to set: it is ready as it opens.
  if (port && port->Infrared()) return true;
  PortSettings settings;
  if (!port || !port->GetSettings(settings)) return false;
  // The format of the software carrier, with nothing that would hold back or drop bytes;
  // parity checking, error characters and sending on after XOFF stay as the port had them.
  settings.baudRate = 115200;
  settings.dataBits = 6;
  settings.parity = Parity::None;
  settings.stopBits = StopBits::One;
  settings.ctsFlow = false;
  settings.dsrFlow = false;
  settings.xonXoff = false;
  settings.dtrControl = LineControl::Disable;
  settings.rtsControl = LineControl::Disable;
  settings.dsrSensitivity = false;
  settings.discardNulls = false;
  settings.abortOnError = false;
  if (!port->SetSettings(settings)) return false;
  PortTimeouts timeouts;
  if (!port->GetTimeouts(timeouts)) return false;
  timeouts.readIntervalMs = 100;
  timeouts.readTotalMultiplierMs = 100;
  timeouts.readTotalConstantMs = 100;
  return port->SetTimeouts(timeouts).ok();
}

bool JustOpenCom(int32_t portNumber) { return OpenPortNumber(portNumber); }

void CloseCom() { LetGoOfPort(); }

void SetHandle(platform::PortHandle handle) {
  Module& state = State();
  // A port Pulsio opened itself would otherwise stay open, and locked, until the process ends.
  if (handle != state.portHandle) LetGoOfPort();
  // A handle the table does not know is the host's own port, opened outside this code. One
  // that is not an open serial port stays the port handle, and every call on it fails.
  if (handle > 0 && !FindPort(handle) && platform::AdoptPort(handle)) state.adopted = handle;
  state.portHandle = handle;
  state.savedHandle = handle;
}

bool SetOutputLine(platform::OutputLine line, int32_t state) {
  auto port = CurrentPort();
  return port && port->SetLine(line, (state & 0xFF) != 0);
}

uint32_t ModemStatus() {
  auto port = CurrentPort();
  uint32_t status = 0;
  if (!port || !port->GetModemStatus(status)) return 0;
  return status;
}

bool SendChr(uint8_t byte) {
  Module& state = State();
  state.data[0] = byte;
  auto port = CurrentPort();
  return port && port->TransmitChar(state.data[0]);
}

bool ReadChr(uint8_t& byte) {
  Module& state = State();
  auto port = CurrentPort();
  size_t received = 0;
  if (!port || !port->Read(std::span(state.data.data(), 1), received) || received != 1) return false;
  byte = state.data[0];
  return true;
}

bool SetMode(int32_t mode) {
  auto port = CurrentPort();
  PortSettings settings;
  if (!port || !port->GetSettings(settings)) return false;
  if (mode == 1) {
    settings.baudRate = 115200;
    settings.dataBits = 6;
  } else if (mode == 2) {
    settings.baudRate = 9600;
    settings.dataBits = 8;
  } else {
    return false;
  }
  settings.parity = Parity::None;
  settings.stopBits = StopBits::One;
  return port->SetSettings(settings).ok();
}

int32_t CheckZone(uint8_t report) {
  Module& state = State();
  state.data[0] = report;
  if (!(state.data[0] & 0x08)) return 0;
  return (state.data[0] & 0x07) + 1;
}

}  // namespace pulsio
