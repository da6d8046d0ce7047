#include "qvx/ctl/ir_verbs.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/infrared.h"
#include "pulsio/pulsio.h"
#include "qvx/config/devices.h"
#include "qvx/config/prompter.h"
#include "qvx/config/store.h"
#include "qvx/ctl/stream_prompter.h"
#include "qvx/devices/beep.h"
#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/irsend.h"
#include "qvx/ircode/port/kerneldevice.h"
#include "qvx/ircode/pulsetext.h"
#include "qvx/ircode/pulsiolink.h"
#include "qvx/ircode/receivers.h"
#include "qvx/ircode/runanalysis.h"

namespace qvx {
namespace {

using Args = std::span<const std::string>;

std::optional<ircode::DeviceParams> DeviceParamsOf(const ConfigStore& store, std::string_view device) {
  const auto texts = FindDeviceParams(store.text, device, ParamScope::WithinSection);
  if (!texts) return std::nullopt;
  return ircode::DeviceParamsFromTexts(texts->gproto, texts->sendpls, texts->repeat, texts->bitg,
                                       texts->bit0, texts->bit1, texts->grepeat);
}

ircode::LearnEnv LearnEnvFor(ConfigStore& store, platform::Clock& clock) {
  ircode::LearnEnv env;
  env.beepOn = store.general.beepOn;
  env.beep = devices::SystemBeeper(clock);
  env.findCode = [&store](const std::string& bits) -> std::optional<ircode::StoredCommand> {
    if (!FindCodeInConfig(store, bits, 0)) return std::nullopt;
    return ircode::StoredCommand{store.currentDevice, store.currentCommand};
  };
  return env;
}

int DecodeStatus(const ircode::LearnResult& result, std::ostream& out) {
  PrintDecode(result, out);
  return result.decoded ? 0 : 1;
}

// The configured infrared port, opened for one verb and lent to Pulsio while it is open. On a
// kernel infrared device a receiver type or output mode chosen in ITYPE is said not to apply.
class LentIrPort {
 public:
  LentIrPort(const ConfigStore& store, std::ostream& err) : port_(store.general.comPort, &why_) {
    if (!open()) return;
    ircode::SetPortTimeouts(handle());
    if (ircode::IsKernelDevice(handle()) &&
        ircode::ItypeValue(store.general.outputMode, store.general.receiverType) != 0)
      err << "qvxctl: " << ircode::KernelDeviceNote(store.general.comPort) << '\n';
  }

  bool open() const { return port_.open(); }
  ircode::PortHandle handle() const { return port_.handle(); }
  // Why the port did not open.
  const platform::Status& why() const { return why_; }

 private:
  platform::Status why_;  // before port_, which reports into it
  ircode::LentPort port_;
};

int CannotOpen(const ConfigStore& store, const platform::Status& why, std::ostream& err) {
  err << "qvxctl: cannot open the infrared port: "
      << ircode::OpenFailureText(store.general.comPort, why) << '\n';
  return 1;
}

}  // namespace

std::string_view ProtocolName(int codingType) {
  switch (codingType) {
    case ircode::kGapCoded: return "NEC";
    case ircode::kPulseCoded: return "SONY";
    case ircode::kBiPhase: return "RC5";
    default: return "UNK";
  }
}

void PrintDecode(const ircode::LearnResult& result, std::ostream& out) {
  if (result.codingType) out << "protocol=" << ProtocolName(*result.codingType) << '\n';
  if (result.unitSamples) out << "unit=" << *result.unitSamples << '\n';
  if (!result.codeStr.empty()) out << "code=" << result.codeStr << '\n';
  if (!result.bitNr.empty()) out << "bits=" << result.bitNr << '\n';
  if (!result.rpt.empty()) out << "rpt=" << result.rpt << '\n';
  if (result.gType && !result.gType->empty()) out << "gtype=" << *result.gType << '\n';
  if (result.toggleVisible && !result.toggleVal.empty()) out << "toggle=" << result.toggleVal << '\n';
  if (!result.addrVal.empty()) out << "address=" << result.addrVal << '\n';
  if (!result.cmdVal.empty()) out << "command=" << result.cmdVal << '\n';
  if (result.sendPulse) out << "pulse=" << *result.sendPulse << '\n';
  if (!result.Status().empty()) out << "message=" << result.Status() << '\n';
}

int EncodeVerb(ConfigStore& store, const platform::Services&,
               Args args, std::ostream& out, std::ostream& err) {
  const auto params = DeviceParamsOf(store, args[0]);
  if (!params) {
    err << "qvxctl: the protocol parameters of " << args[0] << " cannot be found\n";
    return 1;
  }
  const auto code = FindCommandCode(store.text, args[0], args[1]);
  if (!code || code->empty()) {
    err << "qvxctl: device " << args[0] << " has no command " << args[1] << '\n';
    return 1;
  }
  bool rc5Toggle = false;  // as after program start: the first RC5 send carries toggle bit 1
  out << ircode::BuildPulseString(code->substr(1), *params, rc5Toggle) << '\n';
  return 0;
}

int SendVerb(ConfigStore& store, const platform::Services& services,
             Args args, std::ostream& out, std::ostream& err) {
  const auto code = FindCommandCode(store.text, args[0], args[1]);
  if (!code) {
    err << "qvxctl: device " << args[0] << " has no command " << args[1] << '\n';
    return 1;
  }
  ircode::SendRequest request;
  request.device = args[0];
  request.command = args[1];
  request.irOutEnabled = store.general.irOutEna;
  request.deviceParams = DeviceParamsOf(store, args[0]);
  if (request.deviceParams) request.slotField = " " + std::to_string(request.deviceParams->sendplsUs);
  request.codeField = *code;
  request.outputMode = store.general.outputMode;
  request.beepOn = store.general.beepOn;

  // The port is opened only for an actual transmission, so refusals need no port.
  std::optional<platform::Status> portFailed;
  std::string transmitFailure;
  const ircode::IrTransmit transmit = [&](const uint8_t* bytes, int lenBytes, int slotUs, int mode) {
    LentIrPort port(store, err);
    if (!port.open()) {
      portFailed = port.why();
      return 0;
    }
    if ((mode & 3) == ircode::kOutputTxd) ircode::SetCarrierPortMode(port.handle());
    ircode::SetTxdBreak(false, port.handle());
    ircode::SetDtrLine(false, port.handle());
    const int taken = ircode::PulsioTransmit()(bytes, lenBytes, slotUs, mode);
    if (taken == 0) transmitFailure = ircode::TransmitFailure(port.handle());
    return taken;
  };
  ircode::SendState state;
  const ircode::SendOutcome outcome =
      ircode::SendIRCommand(state, request, transmit, devices::SystemBeeper(services.clock));
  if (portFailed) return CannotOpen(store, *portFailed, err);
  out << (outcome.transmitFailed ? transmitFailure : outcome.status) << '\n';
  return outcome.transmitted ? 0 : 1;
}

int LearnVerb(ConfigStore& store, const platform::Services& services,
              Args, std::ostream& out, std::ostream& err) {
  LentIrPort port(store, err);
  if (!port.open()) return CannotOpen(store, port.why(), err);
  StreamPrompter prompter(err);
  ircode::IrInterface iface;
  iface.handle = port.handle();
  ircode::SetReceiverLines(iface, store.general.receiverType, prompter, services.clock);
  ircode::LearnContext context;
  const ircode::LearnResult result =
      ircode::RecordCommand(context, store.general.receiverType, false,
                            ircode::PulsioRecordSource(port.handle(), store.general.procDelay,
                                                       services.clock),
                            LearnEnvFor(store, services.clock));
  return DecodeStatus(result, out);
}

namespace {

// What a kernel infrared device at COMn can do, opened for a moment to ask it.
std::string KernelDeviceAbilities(int portNumber) {
  platform::Status why;
  platform::OwnedPort port(ircode::OpenPort(portNumber, &why));
  if (!port.open()) return " (" + ircode::OpenFailureText(portNumber, why) + ")";
  const auto opened = platform::FindPort(port.handle());
  platform::InfraredDevice* device = opened ? opened->Infrared() : nullptr;
  if (!device) return "";
  const platform::InfraredFeatures features = device->Features();
  if (features.receives && features.sends) return ": receives and sends";
  if (features.receives) return ": receives, cannot send";
  if (features.sends) return ": sends, cannot receive";
  return ": neither receives nor sends pulse and space durations";
}

}  // namespace

int PortsVerb(ConfigStore&, const platform::Services&, Args, std::ostream& out, std::ostream&) {
  for (int n = 1; n <= ircode::kHighestListedPort; ++n) {
    const platform::PortKind kind = platform::PortKindOf(n);
    if (kind == platform::PortKind::Absent) continue;
    out << "COM" << n << '\t' << platform::PortTarget(n) << '\t';
    if (kind == platform::PortKind::KernelInfrared) {
      out << "kernel infrared device" << KernelDeviceAbilities(n) << '\n';
    } else {
      out << "serial port\n";
    }
  }
  return 0;
}

std::optional<std::vector<uint8_t>> ReadRecordingFile(const std::string& path, std::ostream& err) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    err << "qvxctl: cannot read " << path << '\n';
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  char chunk[256];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    if (bytes.size() > static_cast<size_t>(ircode::kRecordBytes)) {
      err << "qvxctl: " << path << " holds more than " << ircode::kRecordBytes
          << " bytes; a recording has at most " << ircode::kRecordBytes << '\n';
      return std::nullopt;
    }
  }
  return bytes;
}

int DecodeVerb(ConfigStore& store, const platform::Services& services, Args args,
               std::ostream& out, std::ostream& err) {
  const auto bytes = ReadRecordingFile(args[0], err);
  if (!bytes) return 1;
  ircode::LearnContext context;
  return DecodeStatus(
      ircode::LearnFromRecording(context, *bytes, LearnEnvFor(store, services.clock)), out);
}

}  // namespace qvx
