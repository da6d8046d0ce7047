#include "gateway/program.h"

#include <cstdlib>

#include "platform/services.h"
#include "platform/sim/standard_peers.h"
#include "platform/stdstreams.h"
#include "qvx/config/file.h"
#include "qvx/config/store.h"
#include "qvx/monitor/executor.h"

namespace qvx::gateway {

int RunGatewayProgram(PageKind kind) {
  platform::sim::RegisterStandardPeers();
  ConfigStore store;
  store.path = ConfigFilePath(std::nullopt);
  monitor::ExecutorContext context(store, Variant::Gateway, platform::SystemServices());
  CgiOutput out(platform::OutputStream::Standard());
  RunGateway(
      kind, [](const char* name) { return std::getenv(name); }, platform::ReadStandardInput, out,
      store, [&](ConfigStore&) { return monitor::ExecuteCommand(context); });
  return 0;
}

}  // namespace qvx::gateway
