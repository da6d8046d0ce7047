#include "qvx/ircode/port/kerneldevice.h"

#include "platform/infrared.h"

namespace qvx::ircode {
namespace {

platform::InfraredDevice* KernelDevice(const std::shared_ptr<platform::SerialPort>& port) {
  return port ? port->Infrared() : nullptr;
}

}  // namespace

bool IsKernelDevice(PortHandle handle) { return KernelDevice(platform::FindPort(handle)) != nullptr; }

bool KernelDeviceReceives(PortHandle handle) {
  const auto port = platform::FindPort(handle);
  const platform::InfraredDevice* device = KernelDevice(port);
  return device && device->Features().receives;
}

std::string KernelDeviceNote(int32_t portNumber) {
  return "COM" + std::to_string(portNumber) + " is the kernel infrared device " +
         platform::PortTarget(portNumber) +
         ": its driver times the light, so the receiver type, PROCDELAY and the TxD/DTR choice "
         "do not apply to it.";
}

std::string KernelDeviceCannotReceive(int32_t portNumber) {
  return "COM" + std::to_string(portNumber) + " is the kernel infrared device " +
         platform::PortTarget(portNumber) +
         ", which cannot receive remote controls as pulse and space durations!";
}

std::optional<std::string> KernelDeviceFault(PortHandle handle) {
  const auto port = platform::FindPort(handle);
  const platform::InfraredDevice* device = KernelDevice(port);
  if (!device || device->LastFault().ok()) return std::nullopt;
  return "The infrared device " + device->LastFault().osText() + "!";
}

bool KernelDeviceGone(PortHandle handle) {
  const auto port = platform::FindPort(handle);
  const platform::InfraredDevice* device = KernelDevice(port);
  return device && device->LastFault().code() == platform::StatusCode::NotFound;
}

std::string PortLabel(int32_t portNumber) {
  return "COM" + std::to_string(portNumber) + " (" + platform::PortTarget(portNumber) + ")";
}

std::string OpenFailureText(int32_t portNumber, const platform::Status& why) {
  const std::string port = PortLabel(portNumber);
  switch (why.code()) {
    case platform::StatusCode::InUse:
      return port + " is held by another program; the desktop program holds its infrared port "
                    "while it runs, so stop it (or the other monitor) first";
    case platform::StatusCode::NotFound:
      return port + " does not exist";
    case platform::StatusCode::AccessDenied: {
      std::string text = port + " may not be opened by this user";
      const std::string group = platform::PortOwnerGroup(portNumber);
      const bool kernelDevice =
          platform::PortKindOf(portNumber) == platform::PortKind::KernelInfrared;
      if (!group.empty() && group != "root") {
        text += ": add the user to group " + group + " (sudo adduser $USER " + group +
                ", then log in again)";
        if (kernelDevice) text += ", or";
      } else if (kernelDevice) {
        text += ":";
      }
      if (kernelDevice) {
        text += " install the udev rule " + std::string(kInfraredUdevRule) +
                " that comes with the program, which gives the user at the desktop the "
                "infrared devices";
      }
      return text;
    }
    default:
      return port + " cannot be opened: " + why.osText();
  }
}

}  // namespace qvx::ircode
