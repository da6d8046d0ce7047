#pragma once

#include <iosfwd>
#include <span>
#include <string>

#include "platform/services.h"

namespace qvx {

struct ConfigStore;

// qvxctl exec OUTPUT: runs an output command ("X10&Lamp&On", "Winamp&PLAY", "TV&Power") through
// the main program's executor and prints its status text. Exit status 1 when the text reports
// a failure (it ends in "!") or the infrared port a command needs cannot be opened.
int ExecVerb(ConfigStore& store, const platform::Services& services,
             std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace qvx
