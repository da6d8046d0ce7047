#pragma once

// Internal to the platform library: the port of "RECEIVER+TRANSMITTER", two kernel infrared
// devices joined into one.

#include <memory>

#include "platform/serial.h"

namespace platform {

// Joins a receiver and a transmitter, both kernel infrared devices, into one port that receives
// through the first and sends through the second (its path "RECEIVER+TRANSMITTER"). Null, with
// the reason in `why`, when either is missing or not a kernel infrared device.
std::unique_ptr<SerialPort> PairInfraredDevices(std::unique_ptr<SerialPort> receiver,
                                                std::unique_ptr<SerialPort> transmitter,
                                                Status& why);

}  // namespace platform
