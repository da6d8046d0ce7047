// The user's port map, shared like the handle table (see handle_table.cpp): a program sets it
// and Pulsio's OpenCom opens by it.

#include <map>
#include <mutex>

#include "platform/serial.h"
#include "platform/shared/registry.h"

namespace platform {
namespace {

struct PortMap {
  std::mutex mutex;
  std::map<int32_t, std::string> targets;
};

PortMap& Map() {
  static auto* map = new PortMap;
  return *map;
}

}  // namespace

void SetPortMap(std::map<int32_t, std::string> targets) {
  auto& map = Map();
  std::lock_guard lock(map.mutex);
  map.targets = std::move(targets);
}

std::optional<std::string> MappedPortTarget(int32_t portNumber) {
  auto& map = Map();
  std::lock_guard lock(map.mutex);
  const auto it = map.targets.find(portNumber);
  if (it == map.targets.end()) return std::nullopt;
  return it->second;
}

}  // namespace platform
