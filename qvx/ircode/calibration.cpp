#include "qvx/ircode/calibration.h"

#include <cmath>
#include <cstdlib>

#include "qvx/config/editing.h"
#include "qvx/config/general.h"
#include "qvx/config/text.h"
#include "qvx/ircode/port/kerneldevice.h"
#include "qvx/ircode/pulsiolink.h"
#include "qvx/ircode/runanalysis.h"

namespace qvx::ircode {
namespace {

constexpr int kSampleUsForSending = 55;

void Sound(const Beeper& beep, int freqHz, int durationMs) {
  if (beep) beep(freqHz, durationMs);
}

// One recording of a calibratable receiver type, with the lines it needs (FirM keeps the ones
// its menu set); nullopt when no signal began within 5 s.
std::optional<std::vector<uint8_t>> RecordForCalibration(const IrInterface& iface, int receiverType,
                                                         int pauseUs) {
  const PortHandle handle = iface.handle;
  switch (receiverType) {
    case kReceiverDcdStd:
      SetRtsLine(true, handle);
      return RecordWithPulsio(false, pauseUs, kCalibrationBytes);
    case kReceiverIRMouse:
      SetDtrLine(true, handle);
      SetRtsLine(true, handle);
      SetTxdBreak(false, handle);
      return RecordWithPulsio(true, pauseUs, kCalibrationBytes);
    default:
      return RecordWithPulsio(false, pauseUs, kCalibrationBytes);
  }
}

bool Calibratable(int receiverType) {
  return receiverType == kReceiverDcdStd || receiverType == kReceiverIRMouse ||
         receiverType == kReceiverFirm;
}

// The number at the start of an answer (sign, digits, decimals); nullopt when there is none.
std::optional<double> LeadingDecimal(std::string_view text) {
  const std::string owned(text);
  char* end = nullptr;
  const double value = std::strtod(owned.c_str(), &end);
  if (end == owned.c_str() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

CalibrationResult Calibrate(IrInterface& iface, ConfigStore& store, const AskOkCancel& ask,
                            const Beeper& beep) {
  CalibrationResult result;
  if (!ask || !ask(kCalibrationTitle, kCalibrationPrompt)) {
    return result;
  }
  result.started = true;
  result.irCommandCleared = true;
  result.sendPulse = "";

  const std::int16_t previousPause = store.general.procDelay;
  const int receiverType = store.general.receiverType;
  // A kernel infrared device times the light itself: there is no pause to find.
  const bool calibratable = Calibratable(receiverType) && !IsKernelDevice(iface.handle);
  int pauseUs = 0;
  int unit = 0;           // the analysis keeps its last unit when it fails
  int firstTenUs = 0;
  bool firstTenFound = false;  // a separate flag: 10 samples may already be measured at pause 0
  auto fail = [&](std::string status) {
    store.general.procDelay = previousPause;
    result.status = std::move(status);
    return result;
  };

  for (;;) {
    store.general.procDelay = static_cast<std::int16_t>(pauseUs);
    Sound(beep, 5000, 50);
    if (!calibratable) return fail(std::string(kNoNeedToCalibrate));
    const auto recording = RecordForCalibration(iface, receiverType, pauseUs);
    if (!recording) {
      Sound(beep, 600, 1000);
      return fail(std::string(kCalibrationAborted));
    }
    Sound(beep, 4000, 20);
    const RunAnalysis analysis = AnalyseRuns(SamplesToText(*recording));
    if (analysis.ok) unit = analysis.unitSamples;
    result.steps.emplace_back(pauseUs, unit);
    if (pauseUs > kHighestCalibrationPauseUs) return fail(std::string(kCalibrationFailed));
    if (unit == 10 && !firstTenFound) {
      firstTenFound = true;
      firstTenUs = pauseUs;
    }
    // Nine samples before any ten: the same pause again, until the remote is released.
    if (unit == 9) {
      if (firstTenFound) break;
      continue;
    }
    ++pauseUs;
  }

  pauseUs = (pauseUs - firstTenUs) / 2 + firstTenUs;
  const std::string shown = " " + std::to_string(pauseUs);
  if (!SetGeneralParam(store, "PROCDELAY", shown)) return fail(std::string(kSaveFailed) + store.lastError);
  result.procDelayShown = std::to_string(pauseUs);
  result.status = std::string(kCalibrationSucceeded) + shown;
  result.sendPulse = std::to_string(unit * kSampleUsForSending);
  return result;
}

std::optional<int> EnterProcDelay(ConfigStore& store, Prompter& prompter) {
  for (;;) {
    const auto answer = prompter.AskText(kProcDelayTitle, kProcDelayPrompt,
                                         std::to_string(store.general.procDelay));
    if (!answer || TrimWhitespace(*answer).empty()) return std::nullopt;
    const auto value = LeadingDecimal(TrimWhitespace(*answer));
    if (!value || *value < 0 || *value > 100) {
      prompter.ShowMessage(kProcDelayRange, MessageIcon::NoIcon, kMessageTitle);
      continue;
    }
    const int pauseUs = static_cast<int>(std::lround(*value));
    if (!SetGeneralParam(store, "PROCDELAY", " " + std::to_string(pauseUs))) {
      prompter.ShowMessage(std::string(kSaveFailed) + store.lastError, MessageIcon::Critical,
                           kMessageTitle);
      return std::nullopt;
    }
    return pauseUs;
  }
}

}  // namespace qvx::ircode
