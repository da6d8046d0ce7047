#pragma once

// Internal to the platform library: the parts of the shared process state that the public
// headers do not expose.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/serial.h"

namespace platform {

// Opens the simulated peer registered as `name`; null when unknown (NotFound) or refused, with
// the reason in `why`.
std::unique_ptr<SerialPort> OpenSimPeer(const std::string& name, std::string_view options,
                                        Status& why);

// The port map's entry for COMn; empty when the map has none.
std::optional<std::string> MappedPortTarget(int32_t portNumber);

}  // namespace platform
