#include "qvx/ircode/port/serialport.h"

#include <array>
#include <string>
#include <utility>

namespace qvx::ircode {
namespace {

using platform::OutputLine;
using platform::PortTimeouts;

void SetLine(OutputLine line, bool on, PortHandle handle) {
  if (handle == kPortFailed) return;
  if (auto port = platform::FindPort(handle)) port->SetLine(line, on);
}

platform::Status NotOpen(PortHandle handle) {
  return platform::Status(platform::StatusCode::BadArgument,
                          "port handle " + std::to_string(handle) + " is not open");
}

bool LineOn(uint32_t bit, PortHandle handle, platform::Status* why = nullptr) {
  platform::Status status = NotOpen(handle);
  uint32_t lines = 0;
  if (auto port = handle == kPortFailed ? nullptr : platform::FindPort(handle))
    status = port->GetModemStatus(lines);
  if (why) *why = status;
  return status && (lines & bit) != 0;
}

}  // namespace

PortHandle OpenPort(int32_t portNumber, platform::Status* why) {
  return platform::OpenSerialPort(portNumber, why);
}

platform::Status ClosePort(PortHandle& handle) {
  if (handle == kPortClosed || handle == kPortFailed) return {};
  return platform::ClosePort(std::exchange(handle, kPortClosed));
}

bool SetPortTimeouts(PortHandle handle) {
  auto port = platform::FindPort(handle);
  PortTimeouts timeouts;
  if (!port || !port->GetTimeouts(timeouts)) return false;
  timeouts.readIntervalMs = PortTimeouts::kMaxDword;
  timeouts.readTotalMultiplierMs = 0;
  timeouts.readTotalConstantMs = 0;
  timeouts.writeTotalMultiplierMs = 1;
  timeouts.writeTotalConstantMs = 10;
  return port->SetTimeouts(timeouts).ok();
}

bool SetPortMode(uint32_t baudRate, uint8_t dataBits, PortHandle handle) {
  if (handle == kPortFailed) return false;
  auto port = platform::FindPort(handle);
  platform::PortSettings settings;
  if (!port || !port->GetSettings(settings)) return false;
  // Binary mode and no other flag: no parity check, no flow control, the driver leaves DTR and
  // RTS alone, and no byte is dropped, replaced or refused after a line error.
  settings.baudRate = baudRate;
  settings.dataBits = dataBits;
  settings.parityCheck = false;
  settings.ctsFlow = false;
  settings.dsrFlow = false;
  settings.xonXoff = false;
  settings.dtrControl = platform::LineControl::Disable;
  settings.rtsControl = platform::LineControl::Disable;
  settings.dsrSensitivity = false;
  settings.txContinueOnXoff = false;
  settings.errorChar = false;
  settings.discardNulls = false;
  settings.abortOnError = false;
  return port->SetSettings(settings) && SetPortTimeouts(handle);
}

bool WritePort(std::string_view text, PortHandle handle) {
  if (handle == kPortFailed || text.size() > kPortBufferBytes) return false;
  auto port = platform::FindPort(handle);
  if (!port) return false;
  std::array<uint8_t, kPortBufferBytes> buffer{};
  std::copy(text.begin(), text.end(), buffer.begin());
  size_t written = 0;
  return port->Write(std::span(buffer.data(), text.size()), written) && written == text.size();
}

std::string ReadPort(PortHandle handle, platform::Status* why) {
  platform::Status status = NotOpen(handle);
  std::array<uint8_t, kPortBufferBytes> buffer{};
  size_t received = 0;
  if (auto port = handle == kPortFailed ? nullptr : platform::FindPort(handle))
    status = port->Read(buffer, received);
  if (why) *why = status;
  if (!status) return {};
  return std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(received));
}

void SetDtrLine(bool on, PortHandle handle) { SetLine(OutputLine::Dtr, on, handle); }

void SetRtsLine(bool on, PortHandle handle) { SetLine(OutputLine::Rts, on, handle); }

void SetTxdBreak(bool on, PortHandle handle) { SetLine(OutputLine::Break, on, handle); }

bool GetCtsLine(PortHandle handle, platform::Status* why) {
  return LineOn(platform::kStatusCts, handle, why);
}

bool GetDsrLine(PortHandle handle, platform::Status* why) {
  return LineOn(platform::kStatusDsr, handle, why);
}

bool GetDcdLine(PortHandle handle, platform::Status* why) {
  return LineOn(platform::kStatusDcd, handle, why);
}

bool WaitForDcdChange(PortHandle handle, bool dcdOn, int64_t timeoutUs, platform::Status& why) {
  why = NotOpen(handle);
  uint32_t lines = 0;
  const uint32_t expected = dcdOn ? platform::kStatusDcd : 0;
  if (auto port = handle == kPortFailed ? nullptr : platform::FindPort(handle))
    why = port->WaitModemChange(platform::kStatusDcd, expected, timeoutUs, lines);
  return why && (lines & platform::kStatusDcd) != expected;
}

bool PortExists(int32_t portNumber) { return platform::SerialPortExists(portNumber); }

}  // namespace qvx::ircode
