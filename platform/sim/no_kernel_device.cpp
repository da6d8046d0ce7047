// Systems without kernel infrared devices offer no "sim:lirc".

#include "platform/sim/standard_kernel_device.h"

namespace platform::sim {

void RegisterStandardKernelDevice(Clock&, const std::vector<LightMark>&,
                                  const std::filesystem::path&) {}

void AppendKernelCapture(std::string&) {}

}  // namespace platform::sim
