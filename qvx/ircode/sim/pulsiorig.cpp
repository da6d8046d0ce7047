#include "qvx/ircode/sim/pulsiorig.h"

#include "pulsio/pulsio.h"
#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/learning.h"
#include "qvx/ircode/pulsiolink.h"

namespace qvx::ircode::sim {
namespace {

using platform::sim::LightMark;

// A demodulator bridges the 78 us pauses between the character bursts of one light slot.
constexpr int64_t kTxdJoinGapNs = 100'000;
constexpr int64_t kPlayDelayUs = 20'000;

int Random(std::mt19937& rng, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(rng);
}

}  // namespace

const std::vector<SentKind>& AllSentKinds() {
  static const std::vector<SentKind> all = {SentKind::NecPreset, SentKind::NecRepeatCodes,
                                            SentKind::Sony12, SentKind::Sony15, SentKind::Rc5};
  return all;
}

std::string SentKindName(SentKind kind) {
  switch (kind) {
    case SentKind::NecPreset: return "NEC 32, full repeats";
    case SentKind::NecRepeatCodes: return "NEC 32, repeat codes";
    case SentKind::Sony12: return "SONY 12";
    case SentKind::Sony15: return "SONY 15";
    case SentKind::Rc5: return "RC5 14";
  }
  return "";
}

SentCommand RandomCommand(SentKind kind, std::mt19937& rng) {
  SentCommand sent;
  Press& press = sent.expected;
  switch (kind) {
    case SentKind::NecPreset:
    case SentKind::NecRepeatCodes: {
      const std::string bits = NecBits(static_cast<uint8_t>(Random(rng, 0, 255)),
                                       static_cast<uint8_t>(Random(rng, 0, 255)));
      sent.params = PresetParams(0);
      if (kind == SentKind::NecRepeatCodes) {
        sent.params.repeatSlots = 0;
        sent.params.grepeatSlots = 70;
      }
      sent.code = "G" + bits;
      press.code = sent.code;
      press.rpt = kind == SentKind::NecPreset ? "Y" : "N";
      press.gType = kind == SentKind::NecPreset ? "1" : "2";
      press.message = "A valid NEC type command has been received.";
      break;
    }
    case SentKind::Sony12:
    case SentKind::Sony15: {
      const int addressBits = kind == SentKind::Sony12 ? 5 : 8;
      press.command = Random(rng, 0, 127);
      press.address = Random(rng, 0, (1 << addressBits) - 1);
      sent.params = PresetParams(1);
      sent.code = "G" + SonyBits(static_cast<uint8_t>(press.command),
                                 static_cast<uint8_t>(press.address), addressBits);
      press.code = sent.code;
      press.rpt = "Y";
      press.gType = "2";
      press.message = kind == SentKind::Sony12 ? "A valid SONY type command has been received."
                                               : "A valid 15 bits SONY type command has been received.";
      break;
    }
    case SentKind::Rc5: {
      press.address = Random(rng, 0, 31);
      press.command = Random(rng, 0, 127);
      const std::string bits = Rc5Bits(Random(rng, 0, 1) == 1, static_cast<uint8_t>(press.address),
                                       static_cast<uint8_t>(press.command));
      sent.params = PresetParams(2);
      sent.code = "G" + bits;
      std::string cleared = bits;
      cleared[2] = '0';
      press.code = "G" + cleared;
      press.rpt = "Y";
      press.gType = "0";
      press.message = "A valid RC5 type command has been received.";
      break;
    }
  }
  return sent;
}

PulsioRig::PulsioRig(std::string peerName, platform::sim::ReceiverWiring wiring)
    : peerName_(std::move(peerName)) {
  clock_.SetLineReadCostNs(kRigLineReadNs);
  clock_.SetCounterReadCostNs(kRigCounterReadNs);
  scopedClock_ = std::make_unique<platform::ScopedClock>(clock_);
  peer_ = platform::sim::InstallWiredIrPeer(peerName_, clock_, wiring);
  handle_ = platform::OpenSerialTarget("sim:" + peerName_);
  SetPortTimeouts(handle_);
  SetHandle(handle_);
}

PulsioRig::~PulsioRig() {
  SetHandle(0);
  ClosePort(handle_);
  platform::UnregisterSimPeer(peerName_);
}

PulsioRig::Sent PulsioRig::Send(SendState& state, const SentCommand& command, int outputMode) {
  if (outputMode == kOutputTxd) SetCarrierPortMode(handle_);
  SetDtrLine(false, handle_);
  peer_->ClearCapture();
  SendRequest request;
  request.device = "Rig";
  request.command = "Button";
  request.deviceParams = command.params;
  request.slotField = std::to_string(command.params.sendplsUs);
  request.codeField = command.code;
  request.outputMode = outputMode;
  Sent sent;
  sent.outcome = SendIRCommand(state, request, PulsioTransmit(), nullptr);
  if (!sent.outcome.transmitted) return sent;
  sent.light = outputMode == kOutputTxd ? platform::sim::TxdCarrier(peer_->Captured(), kTxdJoinGapNs)
                               : platform::sim::DtrLight(peer_->Captured(), clock_.NowNs());
  return sent;
}

void PulsioRig::Play(const std::vector<LightMark>& light,
                     const platform::sim::ReceiverDistortion& distortion, std::mt19937& rng,
                     int receiverType) {
  const bool irMouse = receiverType == kReceiverIRMouse;
  SetRtsLine(true, handle_);
  SetDtrLine(irMouse, handle_);
  SetTxdBreak(false, handle_);
  peer_->PlayMarks(platform::sim::DistortLight(light, distortion, rng), kPlayDelayUs);
}

std::optional<std::vector<uint8_t>> PulsioRig::Record(const std::vector<LightMark>& light,
                                                      const platform::sim::ReceiverDistortion& distortion,
                                                      std::mt19937& rng, int procDelayUs,
                                                      int receiverType) {
  Play(light, distortion, rng, receiverType);
  return RecordWithPulsio(receiverType == kReceiverIRMouse, procDelayUs, kRecordBytes);
}

}  // namespace qvx::ircode::sim
