#include "platform/services.h"

namespace platform {

Services SystemServices() {
  static const std::unique_ptr<Player> player = OpenPlayer(RealClock());
  return {ActiveClock(), SystemInput(), SystemProgramStarter(), SystemMedia(), *player};
}

}  // namespace platform
