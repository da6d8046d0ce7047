// The process's one table of open ports. It lives in the shared library qvx_registry so that
// the program and libpulsio.so, each of which carries its own copy of the static platform
// code, still see the same handles.

#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/shared/registry.h"

namespace platform {
namespace {

struct Entry {
  std::shared_ptr<SerialPort> port;
  bool reserved = false;  // the handle was reserved for a port without one of its own
  bool adopted = false;   // a host's own port, which closing here only lets go
};

struct HandleTable {
  std::mutex mutex;
  std::map<PortHandle, Entry> ports;
  // Ports whose handle someone closed behind their back while they were in the table: closing
  // them now would close whatever the system has given that handle to since.
  std::vector<Entry> abandoned;
};

// Never destroyed: ports still open at exit are closed by the system, as on Windows, and no
// port object outlives the code of the module that made it during static destruction.
HandleTable& Table() {
  static auto* table = new HandleTable;
  return *table;
}

// Takes an entry out of the table (the caller holds the lock).
Entry TakeEntry(HandleTable& table, std::map<PortHandle, Entry>::iterator it) {
  Entry entry = std::move(it->second);
  table.ports.erase(it);
  return entry;
}

// Closes what an entry taken out of the table holds, outside the lock. A call under way still
// holds the port; it closes when that call lets go.
Status CloseEntry(PortHandle handle, Entry entry) {
  Status closed;
  if (entry.port.use_count() == 1) closed = entry.port->Close();
  entry.port.reset();
  if (entry.reserved) ReleaseOsHandle(handle);
  return closed;
}

// Puts a port under `handle`. The system hands out a handle again only once it was closed, so
// an entry already there is stale: most likely a host's port whose handle the host closed
// without letting it go, which is dropped; any other is abandoned unclosed (the caller holds
// the lock).
std::optional<Entry> Insert(HandleTable& table, PortHandle handle, Entry entry) {
  std::optional<Entry> stale;
  if (auto it = table.ports.find(handle); it != table.ports.end()) {
    if (it->second.adopted)
      stale = TakeEntry(table, it);
    else
      table.abandoned.push_back(TakeEntry(table, it));
  }
  table.ports.emplace(handle, std::move(entry));
  return stale;
}

}  // namespace

PortHandle RegisterPort(std::unique_ptr<SerialPort> port) {
  if (!port) return kPortFailed;
  Entry entry{std::move(port)};
  PortHandle handle = entry.port->OsHandle();
  if (handle <= 0) {
    handle = ReserveOsHandle();
    if (handle <= 0) return kPortFailed;
    entry.reserved = true;
  }
  auto& table = Table();
  std::optional<Entry> stale;
  {
    std::lock_guard lock(table.mutex);
    stale = Insert(table, handle, std::move(entry));
  }
  if (stale) CloseEntry(handle, std::move(*stale));
  return handle;
}

bool RegisterAdoptedPort(PortHandle handle, std::unique_ptr<SerialPort> port) {
  if (handle <= 0 || !port) return false;
  auto& table = Table();
  std::optional<Entry> stale;
  {
    std::lock_guard lock(table.mutex);
    stale = Insert(table, handle, Entry{std::move(port), false, true});
  }
  if (stale) CloseEntry(handle, std::move(*stale));
  return true;
}

std::shared_ptr<SerialPort> FindPort(PortHandle handle) {
  if (handle <= 0) return nullptr;
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.ports.find(handle);
  return it == table.ports.end() ? nullptr : it->second.port;
}

Status ClosePort(PortHandle handle) {
  auto& table = Table();
  Entry closing;
  {
    std::lock_guard lock(table.mutex);
    auto it = table.ports.find(handle);
    if (it == table.ports.end())
      return Status(StatusCode::BadArgument, "handle " + std::to_string(handle) + " is not open");
    closing = TakeEntry(table, it);
  }
  return CloseEntry(handle, std::move(closing));
}

void ForgetAdoptedPort(PortHandle handle) {
  auto& table = Table();
  Entry forgotten;
  {
    std::lock_guard lock(table.mutex);
    auto it = table.ports.find(handle);
    if (it == table.ports.end() || !it->second.adopted) return;
    forgotten = TakeEntry(table, it);
  }
  CloseEntry(handle, std::move(forgotten));
}

}  // namespace platform
