// COMn names, and the choice between a device path and a simulated peer.

#include <cstdlib>

#include "platform/infrared_pair.h"
#include "platform/serial.h"
#include "platform/serial_device.h"
#include "platform/shared/registry.h"

namespace platform {
namespace {

constexpr std::string_view kSimPrefix = "sim:";
// Joins a kernel infrared receiver and transmitter into one port: "/dev/lirc0+/dev/lirc1".
constexpr char kPairSeparator = '+';

// Splits "NAME:OPTIONS" after the "sim:" prefix.
std::pair<std::string, std::string_view> SplitPeer(std::string_view target) {
  target.remove_prefix(kSimPrefix.size());
  auto colon = target.find(':');
  if (colon == std::string_view::npos) return {std::string(target), {}};
  return {std::string(target.substr(0, colon)), target.substr(colon + 1)};
}

// Opens one device path or simulated peer.
std::unique_ptr<SerialPort> OpenOne(const std::string& target, Status& why) {
  if (target.empty()) {
    why = Status(StatusCode::BadArgument, "no port named");
    return nullptr;
  }
  if (target.starts_with(kSimPrefix)) {
    auto [name, options] = SplitPeer(target);
    return OpenSimPeer(name, options, why);
  }
  return OpenSerialDevice(target, why);
}

PortKind KindOf(const std::string& target) {
  if (target.empty()) return PortKind::Absent;
  if (target.starts_with(kSimPrefix)) return SimPeerKind(SplitPeer(target).first);
  return DeviceKind(target);
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
  if (const size_t plus = target.find(kPairSeparator); plus == std::string::npos) {
    port = OpenOne(target, status);
  } else if (auto receiver = OpenOne(target.substr(0, plus), status)) {
    if (auto transmitter = OpenOne(target.substr(plus + 1), status))
      port = PairInfraredDevices(std::move(receiver), std::move(transmitter), status);
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

PortKind PortKindOf(int32_t portNumber) {
  const std::string target = PortTarget(portNumber);
  const size_t plus = target.find(kPairSeparator);
  if (plus == std::string::npos) return KindOf(target);
  const bool pair = KindOf(target.substr(0, plus)) == PortKind::KernelInfrared &&
                    KindOf(target.substr(plus + 1)) == PortKind::KernelInfrared;
  return pair ? PortKind::KernelInfrared : PortKind::Absent;
}

bool SerialPortExists(int32_t portNumber) { return PortKindOf(portNumber) != PortKind::Absent; }

std::string PortOwnerGroup(int32_t portNumber) {
  // Of a pair, the receiver's: the udev rules give both devices the same group.
  const std::string mapped = PortTarget(portNumber);
  const std::string target = mapped.substr(0, mapped.find(kPairSeparator));
  if (target.empty() || target.starts_with(kSimPrefix)) return {};
  return SerialDeviceGroup(target);
}

}  // namespace platform
