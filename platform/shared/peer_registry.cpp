// Simulated peer types by name, shared by every module of the process (see handle_table.cpp).

#include <map>
#include <mutex>

#include "platform/serial.h"
#include "platform/shared/registry.h"

namespace platform {
namespace {

struct PeerType {
  SimPeerFactory factory;
  PortKind kind = PortKind::Serial;
};

struct PeerRegistry {
  std::mutex mutex;
  std::map<std::string, PeerType> types;
};

PeerRegistry& Registry() {
  static auto* registry = new PeerRegistry;
  return *registry;
}

}  // namespace

void RegisterSimPeer(const std::string& name, SimPeerFactory factory, PortKind kind) {
  auto& registry = Registry();
  std::lock_guard lock(registry.mutex);
  registry.types[name] = PeerType{std::move(factory), kind};
}

bool UnregisterSimPeer(const std::string& name) {
  auto& registry = Registry();
  std::lock_guard lock(registry.mutex);
  return registry.types.erase(name) > 0;
}

bool SimPeerRegistered(const std::string& name) {
  auto& registry = Registry();
  std::lock_guard lock(registry.mutex);
  return registry.types.contains(name);
}

PortKind SimPeerKind(const std::string& name) {
  auto& registry = Registry();
  std::lock_guard lock(registry.mutex);
  auto it = registry.types.find(name);
  return it == registry.types.end() ? PortKind::Absent : it->second.kind;
}

std::unique_ptr<SerialPort> OpenSimPeer(const std::string& name, std::string_view options,
                                        Status& why) {
  SimPeerFactory factory;
  {
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.types.find(name);
    if (it == registry.types.end()) {
      why = Status(StatusCode::NotFound, "no simulated peer sim:" + name);
      return nullptr;
    }
    factory = it->second.factory;
  }
  return factory(options, why);  // outside the lock: a factory may register further peers
}

}  // namespace platform
