#pragma once

// The monitoring verbs of qvxctl: the monitoring tick and dispatch without a window, and the
// decoding of one watch window kept in a file.

#include <iosfwd>
#include <span>
#include <string>

#include "platform/services.h"

namespace qvx {

struct ConfigStore;

// monitor [--once]: opens COMPORT exclusively with the lines of the receiver type (the
// transmitter dark) and runs the monitoring tick; with BTENA on it also starts the phone link on
// BTCOM and polls the phone as the window's BTMonTimer and BTAutoTimer do. Runs until SIGINT or
// SIGTERM (or, with --once, the first received command or phone key), then closes the ports;
// SIGHUP reads the configuration file again. Prints a line per received command and per phone
// event: RecCmd, tab, ExecCmd, tab, status line. 0 after a clean end; 1 when monitoring cannot
// run (neither infrared nor phone input, port refused, receiver type that cannot monitor and no
// phone) or the infrared port stops answering; 2 for wrong arguments.
int MonitorVerb(ConfigStore& store, const platform::Services& services,
                std::span<const std::string> args, std::ostream& out, std::ostream& err);

// decode --window FILE: the tick's decoding of a watch window (at most 600 bytes, zero-filled
// to 600). Prints code=, protocol= and event=; prints nothing and returns 1 when the tick would
// end silently (or the file cannot be used).
int DecodeWindowVerb(ConfigStore& store, const std::string& path, std::ostream& out,
                     std::ostream& err);

}  // namespace qvx
