#include "qvx/ircode/irsend.h"

#include <algorithm>

#include "qvx/config/devices.h"
#include "qvx/config/text.h"
#include "qvx/ircode/pulsetext.h"

namespace qvx::ircode {

namespace {

std::string WithoutBlanks(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c != ' ' && c != '\t') out += c;
  }
  return out;
}

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

// Parameters of the Recorded device from the learning indicators, or the refusal text.
std::optional<std::string> LoadRecordedParams(const RecordedIndicators& recorded,
                                              DeviceParams& params) {
  if (recorded.bitNr.empty()) return std::string(kRecordedIncomplete);
  const auto patterns = RecordedPatternsFor(recorded.detectedProto);
  if (!patterns) return std::string(kRecordedUnknown);
  params.gproto = recorded.detectedProto;
  params.repeatSlots = ToLower(WithoutBlanks(recorded.rpt)) == "y" ? 50 : 0;
  if (recorded.gType == "0") {
    params.grepeatSlots = 0;
  } else if (recorded.gType == "1") {
    params.grepeatSlots = 1;
  } else {
    params.grepeatSlots = 50;
  }
  params.bitg = std::string(patterns->bitg);
  params.bit0 = std::string(patterns->bit0);
  params.bit1 = std::string(patterns->bit1);
  return std::nullopt;
}

}  // namespace

SendOutcome SendIRCommand(SendState& state, const SendRequest& request, const IrTransmit& transmit,
                          const Beeper& beep) {
  SendOutcome outcome;
  if (!request.irOutEnabled) {
    outcome.status = kIrOutputDisabled;
    return outcome;
  }

  const DeviceKind kind = GetDeviceKind(request.device);
  if (kind == DeviceKind::Recorded) {
    if (request.gateway) {
      outcome.status = kRecordedInGateway;
      return outcome;
    }
    if (auto refusal = LoadRecordedParams(request.recorded, state.params)) {
      outcome.status = *refusal;
      return outcome;
    }
  } else {
    if (!request.deviceParams) {
      outcome.status = kIrSendError;
      return outcome;
    }
    state.params = *request.deviceParams;
    outcome.display = DisplayFor(state.params);
  }

  // The program sends with the slot length in its window, the gateways with the stored one.
  const long slotUs = request.gateway ? state.params.sendplsUs : LeadingNumber(request.slotField);
  const std::string code = ToLower(Trimmed(request.codeField));

  if (kind == DeviceKind::IrDimmer && request.dimmerEnabled && request.dimmer) {
    outcome.status = request.dimmer(state.params, static_cast<int>(slotUs), code);
    return outcome;
  }

  if (code.empty()) {
    outcome.status = kNoCodeToSend;
    return outcome;
  }
  if (code.size() < 6) {
    outcome.status = kInvalidCodeToSend;
    return outcome;
  }
  const std::string bits = code.substr(1);
  if (!std::all_of(bits.begin(), bits.end(), [](char c) { return c == '0' || c == '1'; })) {
    outcome.status = kCodeNotBinary;
    return outcome;
  }
  // A slot length of zero or less, or a train longer than the transmitter's buffer, would be
  // reported as sent while nothing sensible left the port.
  if (slotUs < 1 || slotUs > 32767) {
    outcome.status = kIrSendError;
    return outcome;
  }

  bool toggle = state.rc5Toggle;
  const std::vector<uint8_t> bytes = PackSlotBytes(BuildPulseString(bits, state.params, toggle));
  if (bytes.size() > static_cast<size_t>(kMaxSendBytes)) {
    outcome.status = kIrSendError;
    return outcome;
  }
  state.rc5Toggle = toggle;

  if (request.beepOn && beep) beep(5000, 50);
  const bool taken = !transmit || transmit(bytes.data(), static_cast<int>(bytes.size()),
                                           static_cast<int>(slotUs), request.outputMode) != 0;
  if (request.beepOn && beep) beep(2000, 50);
  if (!taken) {
    outcome.transmitFailed = true;
    outcome.status = kIrSendError;
    return outcome;
  }
  outcome.transmitted = true;
  outcome.slotUs = static_cast<int>(slotUs);
  outcome.status = request.device + " " + request.command + " executed.";
  return outcome;
}

}  // namespace qvx::ircode
