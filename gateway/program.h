#pragma once

#include "gateway/page.h"

namespace qvx::gateway {

// The whole CGI program of one gateway: the configuration next to the program (or $QVX_CONFIG),
// the request from the environment and standard input, the page on standard output, commands
// sent through the executor's gateway build. Returns the exit status (always 0).
int RunGatewayProgram(PageKind kind);

}  // namespace qvx::gateway
