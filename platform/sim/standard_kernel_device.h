#pragma once

// The standard peers' simulated kernel infrared device "sim:lirc", on the systems that have
// kernel infrared devices (Linux); elsewhere these do nothing.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/sim/ir_peer.h"

namespace platform::sim {

// Registers "sim:lirc" on `clock`, playing the press script `presses` and, with a lock file,
// one device for every process naming that file.
void RegisterStandardKernelDevice(Clock& clock, const std::vector<LightMark>& presses,
                                  const std::filesystem::path& lockFile);

// Appends what "sim:lirc" sent to a capture text: a line per write,
// "lirc START_NS CARRIER_HZ DUTY_PERCENT D1 D2 ... Dn" with the durations in microseconds.
void AppendKernelCapture(std::string& text);

}  // namespace platform::sim
