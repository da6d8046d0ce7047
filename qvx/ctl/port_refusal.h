#pragma once

// Why qvxctl could not open the infrared port, in the system's words and with what to do.

#include <cstdint>
#include <iosfwd>

#include "platform/status.h"

namespace qvx {

// Writes why COMn was refused: the port and the device it maps to, the system's reason, and
// for a port held by another program or a permission the user lacks (naming the device's
// group) what to do about it. Returns the exit status, 1.
int RefusedPort(int32_t portNumber, const platform::Status& why, std::ostream& err);

}  // namespace qvx
