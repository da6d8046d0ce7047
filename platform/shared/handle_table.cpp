// The process's one table of open ports. It lives in the shared library qvx_registry so that
// the program and libpulsio.so, each of which carries its own copy of the static platform
// code, still see the same handles.

#include <map>
#include <mutex>

#include "platform/serial.h"

namespace platform {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::map<PortHandle, std::shared_ptr<SerialPort>> ports;
  PortHandle lastHandle = 0;
};

// Never destroyed: ports still open at exit are closed by the system, as on Windows, and no
// port object outlives the code of the module that made it during static destruction.
HandleTable& Table() {
  static auto* table = new HandleTable;
  return *table;
}

}  // namespace

PortHandle RegisterPort(std::unique_ptr<SerialPort> port) {
  if (!port) return kPortFailed;
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  // Handles are not reused, so a stale handle kept by one module never reaches another port.
  do {
    table.lastHandle = table.lastHandle == INT32_MAX ? 1 : table.lastHandle + 1;
  } while (table.ports.contains(table.lastHandle));
  table.ports.emplace(table.lastHandle, std::move(port));
  return table.lastHandle;
}

std::shared_ptr<SerialPort> FindPort(PortHandle handle) {
  if (handle <= 0) return nullptr;
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.ports.find(handle);
  return it == table.ports.end() ? nullptr : it->second;
}

Status ClosePort(PortHandle handle) {
  std::shared_ptr<SerialPort> closing;
  auto& table = Table();
  {
    std::lock_guard lock(table.mutex);
    auto it = table.ports.find(handle);
    if (it == table.ports.end())
      return Status(StatusCode::BadArgument, "handle " + std::to_string(handle) + " is not open");
    closing = std::move(it->second);
    table.ports.erase(it);
  }
  // A call under way still holds the port; it closes when that call lets go.
  if (closing.use_count() > 1) return {};
  return closing->Close();
}

}  // namespace platform
