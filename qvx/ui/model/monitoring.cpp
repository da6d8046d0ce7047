#include "qvx/ui/model/monitoring.h"

#include "platform/clock.h"
#include "qvx/ircode/learning.h"
#include "qvx/ircode/port/serialport.h"

namespace qvx::ui {

std::string PrepareMonitoringReceiver(int receiverType, platform::PortHandle port) {
  switch (receiverType) {
    case ircode::kReceiverDcdStd:
      ircode::SetRtsLine(true, port);
      for (int read = 0; read < 3; ++read) {
        if (read > 0) platform::ActiveClock().SleepMs(100);
        if (!ircode::GetDcdLine(port)) return "Rec Interface invalid. Cannot start monitoring";
      }
      return "";
    case ircode::kReceiverIRMouse:
      ircode::SetRtsLine(true, port);
      ircode::SetDtrLine(true, port);
      ircode::SetTxdBreak(false, port);
      return "";
    case ircode::kReceiverIRMan: return "IR Man interface is not yet supported for monitoring!";
    case ircode::kReceiverCreative:
      return "Creative Infra interface is not yet supported for monitoring!";
    case ircode::kReceiverFirm: return "FirM interface is not yet supported for monitoring!";
    default: return "No Record interface selected!";
  }
}

}  // namespace qvx::ui
