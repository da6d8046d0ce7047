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

// Puts a host's own port into the handle table under its handle, marked as adopted (see
// AdoptPort); false for a handle below 1 or a null port.
bool RegisterAdoptedPort(PortHandle handle, std::unique_ptr<SerialPort> port);

// A handle of the system's reserved for a port that has none of its own, so that its handle
// is one no other file of the process holds; 0 when none could be had. Released with
// ReleaseOsHandle once the port has left the table. One implementation per OS.
PortHandle ReserveOsHandle();
void ReleaseOsHandle(PortHandle handle);

// The port map's entry for COMn; empty when the map has none.
std::optional<std::string> MappedPortTarget(int32_t portNumber);

}  // namespace platform
