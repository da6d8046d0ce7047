#include "platform/services.h"

namespace platform {

Services SystemServices() {
  // Never destroyed: the D-Bus library it calls may be gone during static destruction.
  static Player* const player = OpenPlayer(RealClock()).release();
  return {ActiveClock(), SystemInput(), SystemProgramStarter(), SystemMedia(), *player};
}

}  // namespace platform
