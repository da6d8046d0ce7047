// Simulated peer types by name, shared by every module of the process (see handle_table.cpp).

#include <map>
#include <mutex>

#include "platform/serial.h"
#include "platform/shared/registry.h"

namespace platform {
namespace {

struct PeerRegistry {
  std::mutex mutex;
  std::map<std::string, SimPeerFactory> factories;
};

PeerRegistry& Registry() {
  static auto* registry = new PeerRegistry;
  return *registry;
}

}  // namespace

void RegisterSimPeer(const std::string& name, SimPeerFactory factory) {
  auto& registry = Registry();
  std::lock_guard lock(registry.mutex);
  registry.factories[name] = std::move(factory);
}

bool UnregisterSimPeer(const std::string& name) {
  auto& registry = Registry();
  std::lock_guard lock(registry.mutex);
  return registry.factories.erase(name) > 0;
}

bool SimPeerRegistered(const std::string& name) {
  auto& registry = Registry();
  std::lock_guard lock(registry.mutex);
  return registry.factories.contains(name);
}

std::unique_ptr<SerialPort> OpenSimPeer(const std::string& name, std::string_view options,
                                        Status& why) {
  SimPeerFactory factory;
  {
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.factories.find(name);
    if (it == registry.factories.end()) {
      why = Status(StatusCode::NotFound, "no simulated peer sim:" + name);
      return nullptr;
    }
    factory = it->second;
  }
  return factory(options, why);  // outside the lock: a factory may register further peers
}

}  // namespace platform
