#include "gateway/program.h"

#include <cstdio>
#include <cstdlib>

#include "platform/services.h"
#include "platform/sim/standard_peers.h"
#include "platform/stdstreams.h"
#include "qvx/config/location.h"
#include "qvx/config/store.h"
#include "qvx/monitor/executor.h"

namespace qvx::gateway {

int RunGatewayProgram(PageKind kind) {
  platform::sim::RegisterStandardPeers();
  ConfigStore store;
  // Warnings go to standard error, which the web server writes to its error log.
  const ProgramFiles files = SetUpProgramFiles(std::nullopt);
  for (const std::string& warning : files.warnings) std::fprintf(stderr, "%s\n", warning.c_str());
  store.path = files.config;
  monitor::ExecutorContext context(store, Variant::Gateway, platform::SystemServices());
  CgiOutput out(platform::OutputStream::Standard());
  RunGateway(
      kind, [](const char* name) { return std::getenv(name); }, platform::ReadStandardInput, out,
      store, [&](ConfigStore&) { return monitor::ExecuteCommand(context); });
  return 0;
}

}  // namespace qvx::gateway
