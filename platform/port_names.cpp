// COMn names, and the choice between a device path and a simulated peer.

#include <cstdlib>

#include "platform/serial.h"
#include "platform/serial_device.h"
#include "platform/shared/registry.h"

namespace platform {
namespace {

constexpr std::string_view kSimPrefix = "sim:";

// Splits "NAME:OPTIONS" after the "sim:" prefix.
std::pair<std::string, std::string_view> SplitPeer(std::string_view target) {
  target.remove_prefix(kSimPrefix.size());
  auto colon = target.find(':');
  if (colon == std::string_view::npos) return {std::string(target), {}};
  return {std::string(target.substr(0, colon)), target.substr(colon + 1)};
}

}  // namespace

uint32_t FrameBits(const PortSettings& settings) {
  uint32_t stopBits = settings.stopBits == StopBits::One ? 1 : 2;
  uint32_t parityBits = settings.parity == Parity::None ? 0 : 1;
  return 1 + settings.dataBits + parityBits + stopBits;
}

int64_t CharacterNs(const PortSettings& settings) {
  if (settings.baudRate == 0) return 0;
  return int64_t{FrameBits(settings)} * 1'000'000'000 / settings.baudRate;
}

std::string PortTarget(int32_t portNumber) {
  if (portNumber < 1 || portNumber > 9999) return {};
  std::string variable = "QVX_COM" + std::to_string(portNumber);
  const char* mapped = std::getenv(variable.c_str());
  if (mapped && *mapped) return mapped;
  if (auto fromMap = MappedPortTarget(portNumber)) return *std::move(fromMap);
  return DefaultPortPath(portNumber);
}

PortHandle OpenSerialTarget(const std::string& target, Status* why) {
  Status status;
  std::unique_ptr<SerialPort> port;
  if (target.empty()) {
    status = Status(StatusCode::BadArgument, "no port named");
  } else if (target.starts_with(kSimPrefix)) {
    auto [name, options] = SplitPeer(target);
    port = OpenSimPeer(name, options, status);
  } else {
    port = OpenSerialDevice(target, status);
  }
  if (why) *why = status;
  return port ? RegisterPort(std::move(port)) : kPortFailed;
}

PortHandle OpenSerialPort(int32_t portNumber, Status* why) {
  const std::string target = PortTarget(portNumber);
  if (target.empty()) {
    if (why) {
      *why = Status(StatusCode::BadArgument,
                    "COM" + std::to_string(portNumber) + " is no port number");
    }
    return kPortFailed;
  }
  return OpenSerialTarget(target, why);
}

bool SerialPortExists(int32_t portNumber) {
  std::string target = PortTarget(portNumber);
  if (target.empty()) return false;
  if (target.starts_with(kSimPrefix)) return SimPeerRegistered(SplitPeer(target).first);
  return SerialDevicePresent(target);
}

}  // namespace platform
