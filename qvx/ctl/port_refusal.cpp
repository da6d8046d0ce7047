#include "qvx/ctl/port_refusal.h"

#include <ostream>
#include <string>

#include "platform/serial.h"

namespace qvx {

int RefusedPort(int32_t portNumber, const platform::Status& why, std::ostream& err) {
  err << "qvxctl: cannot open COM" << portNumber << " (" << platform::PortTarget(portNumber)
      << "): " << why.osText() << '\n';
  switch (why.code()) {
    case platform::StatusCode::InUse:
      err << "qvxctl: another program holds it; the desktop program holds its infrared port "
             "while it runs, so stop it (or the other monitor) first\n";
      break;
    case platform::StatusCode::AccessDenied:
      if (const std::string group = platform::PortOwnerGroup(portNumber); !group.empty()) {
        err << "qvxctl: the device belongs to the group " << group
            << "; add the user to it (usermod -aG " << group << " USER) and log in again\n";
      }
      break;
    default: break;
  }
  return 1;
}

}  // namespace qvx
