#pragma once

// The verbs of qvxctl. Each one works on a loaded configuration with the system's services,
// writes plain lines to out, reasons for failure to err, and returns the process exit status.

#include <iosfwd>
#include <span>
#include <string>

namespace qvx {

struct ConfigStore;

// Runs qvxctl with its arguments (without the program name); returns the exit status.
int RunQvxctl(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace qvx
