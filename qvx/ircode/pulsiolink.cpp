#include "qvx/ircode/pulsiolink.h"

#include <algorithm>

#include "pulsio/pulsio.h"
#include "qvx/ircode/port/kerneldevice.h"

namespace qvx::ircode {
namespace {

constexpr int kLargestRecordBytes = 1000;
constexpr uint32_t kIrManPassMs = 100;
constexpr size_t kIrManCodeBytes = 6;

}  // namespace

std::optional<std::vector<uint8_t>> RecordWithPulsio(bool dcdOnIsActive, int pauseUs, int lenBytes) {
  if (lenBytes < 1 || lenBytes > kLargestRecordBytes) return std::nullopt;
  std::vector<uint8_t> buffer(static_cast<size_t>(lenBytes), 0);
  const auto len = static_cast<uint32_t>(lenBytes);
  const uint8_t recorded = dcdOnIsActive ? IRRecordN(buffer.data(), pauseUs, len)
                                         : IRRecord(buffer.data(), pauseUs, len);
  if (recorded == 0) return std::nullopt;
  return buffer;
}

std::optional<std::array<uint8_t, 6>> ReadIRManCode(PortHandle handle, platform::Clock& clock) {
  SetByteReceiverPortMode(handle);
  ReadPort(handle);
  std::string collected;
  for (int pass = 0; pass < kIrManReadPasses; ++pass) {
    clock.SleepMs(kIrManPassMs);
    collected += ReadPort(handle);
    if (collected.size() >= kIrManCodeBytes) {
      std::array<uint8_t, 6> code{};
      std::transform(collected.begin(), collected.begin() + kIrManCodeBytes, code.begin(),
                     [](char c) { return static_cast<uint8_t>(c); });
      return code;
    }
  }
  return std::nullopt;
}

LentPort::LentPort(int32_t portNumber, platform::Status* why)
    : port_(OpenPort(portNumber, why)) {
  if (port_.open()) SetHandle(port_.handle());
}

platform::Status LentPort::Close() {
  if (!port_.open()) return {};
  SetHandle(0);
  return port_.Close();
}

bool SetCarrierPortMode(PortHandle handle) {
  return SetPortMode(kCarrierBaudRate, kCarrierDataBits, handle);
}

bool SetByteReceiverPortMode(PortHandle handle) {
  return SetPortMode(kByteReceiverBaudRate, kByteReceiverDataBits, handle);
}

RecordSource PulsioRecordSource(PortHandle irPort, int procDelayUs, platform::Clock& clock) {
  RecordSource source;
  source.record = [procDelayUs](bool dcdOnIsActive) {
    return RecordWithPulsio(dcdOnIsActive, procDelayUs, kRecordBytes);
  };
  source.irman = [irPort, &clock] { return ReadIRManCode(irPort, clock); };
  source.kernelDevice = IsKernelDevice(irPort);
  source.fault = [irPort] { return KernelDeviceFault(irPort); };
  return source;
}

std::string TransmitFailure(PortHandle irPort) {
  return KernelDeviceFault(irPort).value_or(std::string(kIrSendError));
}

IrTransmit PulsioTransmit() {
  return [](const uint8_t* bytes, int lenBytes, int slotUs, int mode) {
    return static_cast<int>(IRSend(bytes, lenBytes, slotUs, mode));
  };
}

}  // namespace qvx::ircode
