#pragma once

// Internal to the platform library: the parts of the shared process state that the public
// headers do not expose.

#include <memory>
#include <string>
#include <string_view>

#include "platform/serial.h"

namespace platform {

// Opens the simulated peer registered as `name`; null when unknown (NotFound) or refused, with
// the reason in `why`.
std::unique_ptr<SerialPort> OpenSimPeer(const std::string& name, std::string_view options,
                                        Status& why);

}  // namespace platform
