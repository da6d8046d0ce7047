#include "qvx/devices/dimmer.h"

#include <vector>

#include "qvx/config/text.h"
#include "qvx/devices/beep.h"

namespace qvx::devices {
namespace {

void SendBurst(const ircode::IrTransmit& transmit, int bytes, int outputMode) {
  const std::vector<uint8_t> burst(static_cast<size_t>(bytes), kDimmerBurstByte);
  if (transmit) transmit(burst.data(), bytes, kDimmerSlotUs, outputMode);
}

}  // namespace

DimmerPattern DimmerPatternFor(std::string_view code) {
  return ToLower(TrimBlanks(code)) == "g1" ? kDimmerOnOff : kDimmerDimBright;
}

std::string SendIrDimmerCommand(std::string_view code, int outputMode, bool beepOn,
                                const ircode::IrTransmit& transmit, const ircode::Beeper& beep,
                                platform::Clock& clock) {
  const DimmerPattern pattern = DimmerPatternFor(code);
  if (beepOn) FrameBeep(beep, kStartBeepHz);
  SendBurst(transmit, pattern.firstBytes, outputMode);
  clock.SleepMs(pattern.pauseMs);
  SendBurst(transmit, pattern.secondBytes, outputMode);
  if (beepOn) FrameBeep(beep, kEndBeepHz);
  return std::string(kIrDimmerDone);
}

ircode::DimmerTransmission IrDimmerTransmission(int outputMode, bool beepOn,
                                                ircode::IrTransmit transmit, ircode::Beeper beep,
                                                platform::Clock& clock) {
  return [=, &clock](const ircode::DeviceParams&, int, const std::string& code) {
    return SendIrDimmerCommand(code, outputMode, beepOn, transmit, beep, clock);
  };
}

}  // namespace qvx::devices
