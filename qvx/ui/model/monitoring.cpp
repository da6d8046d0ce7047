#include "qvx/ui/model/monitoring.h"

#include "platform/clock.h"
#include "qvx/ircode/learning.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ui/model/messages.h"

namespace qvx::ui {

std::string PrepareMonitoringReceiver(int receiverType, platform::PortHandle port) {
  switch (receiverType) {
    case ircode::kReceiverDcdStd:
      ircode::SetRtsLine(true, port);
      for (int read = 0; read < 3; ++read) {
        if (read > 0) platform::ActiveClock().SleepMs(100);
        if (!ircode::GetDcdLine(port)) return std::string(kReceiverInvalid);
      }
      return "";
    case ircode::kReceiverIRMouse:
      ircode::SetRtsLine(true, port);
      ircode::SetDtrLine(true, port);
      ircode::SetTxdBreak(false, port);
      return "";
    case ircode::kReceiverIRMan: return std::string(kIrManNotMonitored);
    case ircode::kReceiverCreative: return std::string(kCreativeNotMonitored);
    case ircode::kReceiverFirm: return std::string(kFirmNotMonitored);
    default: return std::string(kNoRecordInterface);
  }
}

}  // namespace qvx::ui
