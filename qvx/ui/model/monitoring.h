#pragma once

// The receiver check that starting monitoring makes before the window switches to its
// monitoring display.

#include <string>

#include "platform/serial.h"

namespace qvx::ui {

// Sets the port's lines for watching with the receiver type (0 standard DCD: RTS on; 1 IR
// Mouse: RTS and DTR on, TxD out of break) and returns the message that stays on the status
// line: "Rec Interface invalid. Cannot start monitoring" when an idle standard receiver does
// not hold DCD on in three reads 100 ms apart, the "not yet supported" texts of the types that
// cannot be watched, "" when the receiver is fine.
std::string PrepareMonitoringReceiver(int receiverType, platform::PortHandle port);

}  // namespace qvx::ui
