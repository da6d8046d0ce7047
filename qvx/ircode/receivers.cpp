#include "qvx/ircode/receivers.h"

#include <algorithm>

#include "pulsio/pulsio.h"
#include "qvx/config/general.h"
#include "qvx/config/text.h"
#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/port/kerneldevice.h"
#include "qvx/ircode/pulsiolink.h"

namespace qvx::ircode {
namespace {

constexpr int kIrManPolls = 20;
constexpr uint32_t kIrManPollMs = 100;
constexpr int kDcdReads = 10;
constexpr uint32_t kDcdReadPauseMs = 5;

// Writes ITYPE from the output mode and receiver type held in memory. A file that cannot be
// written keeps its old value; the program goes on with the new one.
void WriteItype(ConfigStore& store) {
  const int itype = ItypeValue(store.general.outputMode, store.general.receiverType);
  SetGeneralParam(store, "ITYPE", " " + std::to_string(itype));
}

// Power-cycles the IRMan receiver, sends "I" and "R" and waits up to 20 x 100 ms for "ok".
bool IrManAnswers(PortHandle handle, platform::Clock& clock) {
  SetRtsLine(false, handle);
  SetDtrLine(false, handle);
  clock.SleepMs(200);
  SetRtsLine(true, handle);
  SetDtrLine(true, handle);
  clock.SleepMs(500);
  WritePort("I", handle);
  clock.SleepMs(500);
  WritePort("R", handle);
  std::string answer;
  for (int pass = 0; pass < kIrManPolls; ++pass) {
    clock.SleepMs(kIrManPollMs);
    answer += ReadPort(handle);
    if (ToLower(answer).find("ok") != std::string::npos) return true;
  }
  return false;
}

// Reads DCD ten times, 5 ms apart; the number of reads that found it in the given state.
int CountDcd(PortHandle handle, bool on, platform::Clock& clock) {
  int count = 0;
  for (int read = 0; read < kDcdReads; ++read) {
    if (read > 0) clock.SleepMs(kDcdReadPauseMs);
    if (GetDcdLine(handle) == on) ++count;
  }
  return count;
}

// The receiver controls of a port that is a kernel infrared device: it has no receiver type
// and no TxD/DTR choice, so the caption names the device kind and the boxes rest.
void ShowKernelDevice(IrInterface& iface) {
  InterfaceControls& controls = iface.controls;
  controls.kernelDevice = IsKernelDevice(iface.handle);
  if (!controls.kernelDevice) return;
  controls.receiverCaption = std::string(kKernelDeviceCaption);
  controls.txdEnabled = false;
  controls.irdaEnabled = false;
  controls.firmControlsVisible = false;
}

std::string Detected(IrInterface& iface, ConfigStore& store, Prompter& prompter,
                     platform::Clock& clock, int receiverType, std::string_view status) {
  store.general.receiverType = static_cast<std::int16_t>(receiverType);
  ApplyInterface(iface, store, prompter, clock);
  return std::string(status);
}

}  // namespace

int ItypeValue(int outputMode, int receiverType) { return outputMode * 16 + receiverType; }

std::string_view ReceiverCaption(int receiverType) {
  switch (receiverType) {
    case kReceiverDcdStd: return "DCDStd";
    case kReceiverIRMouse: return "IRMouse";
    case kReceiverIRMan: return "IRMan";
    case kReceiverCreative: return "Creative";
    case kReceiverFirm: return "FirM";
    case kReceiverUnknown: return "Unknown";
    default: return "";
  }
}

std::string_view StartupReceiverCaption(int receiverType) {
  switch (receiverType) {
    case kReceiverDcdStd: return "DCD Std";
    case kReceiverIRMouse: return "IR Mouse";
    case kReceiverIRMan: return "IR Man";
    case kReceiverCreative: return "Creative";
    case kReceiverFirm: return "FirM";
    default: return "Unknown";
  }
}

std::string ListAvailableCOM(IrInterface& iface, const ConfigStore& store) {
  InterfaceControls& controls = iface.controls;
  controls.comList.clear();
  controls.comSelected = -1;
  for (int n = 1; n <= kHighestListedPort; ++n) {
    if (!PortExists(n)) continue;
    if (n == store.general.comPort) controls.comSelected = static_cast<int>(controls.comList.size());
    controls.comList.push_back("COM" + std::to_string(n));
    controls.comListText = Colour::Green;
  }
  if (controls.comList.empty()) return std::string(kNoComPort);

  CloseIrPort(iface);
  iface.irManReady = false;
  platform::Status why;
  iface.handle = OpenPort(store.general.comPort, &why);
  if (iface.handle == kPortFailed) {
    // Green would tell the user that a port which did not open is in use.
    controls.comListText = Colour::Red;
    controls.kernelDevice = false;
    // A missing port shows in the list; a refusal (permissions, another holder) needs words.
    if (why.code() == platform::StatusCode::NotFound) return "";
    return OpenFailureText(store.general.comPort, why);
  }
  SetHandle(iface.handle);
  SetPortTimeouts(iface.handle);
  ShowKernelDevice(iface);
  return "";
}

bool ChangeComPort(IrInterface& iface, ConfigStore& store, std::string_view entry,
                   Prompter& prompter, platform::Clock& clock) {
  const long number = entry.size() > 3 ? LeadingNumber(entry.substr(3)) : 0;
  if (number < 1 || number > 9999) return false;
  if (number == store.general.comPort) return true;
  if (store.general.comPort != 0 && iface.handle > 0) CloseIrPort(iface);

  store.general.comPort = static_cast<std::int16_t>(number);
  if (number == store.general.x10Com) store.general.x10Com = 0;
  SetGeneralParam(store, "COMPORT", " " + std::to_string(store.general.comPort));
  SetGeneralParam(store, "X10COM", " " + std::to_string(store.general.x10Com));

  InterfaceControls& controls = iface.controls;
  const auto listed = std::find(controls.comList.begin(), controls.comList.end(), std::string(entry));
  controls.comSelected =
      listed == controls.comList.end() ? -1 : static_cast<int>(listed - controls.comList.begin());
  iface.irManReady = false;
  iface.handle = OpenPort(store.general.comPort);
  if (iface.handle == kPortFailed) {
    controls.comListText = Colour::Red;
    controls.kernelDevice = false;
    return false;
  }
  controls.comListText = Colour::Green;
  SetPortTimeouts(iface.handle);
  SetHandle(iface.handle);
  controls.kernelDevice = false;
  ApplyInterface(iface, store, prompter, clock);
  ShowKernelDevice(iface);
  return true;
}

void SetReceiverLines(IrInterface& iface, int receiverType, Prompter& prompter,
                      platform::Clock& clock) {
  const PortHandle handle = iface.handle;
  switch (receiverType) {
    case kReceiverDcdStd:
      SetRtsLine(true, handle);
      SetDtrLine(false, handle);
      break;
    case kReceiverIRMouse:
      SetRtsLine(true, handle);
      SetDtrLine(true, handle);
      SetTxdBreak(false, handle);
      break;
    case kReceiverIRMan:
      InitIRMan(iface, prompter, clock);
      break;
    case kReceiverCreative:
      SetDtrLine(true, handle);
      SetRtsLine(true, handle);
      break;
    case kReceiverFirm:
      SetRtsLine(false, handle);
      SetDtrLine(false, handle);
      SetByteReceiverPortMode(handle);
      break;
    default:
      break;
  }
}

std::string ChooseReceiverType(IrInterface& iface, ConfigStore& store, int receiverType,
                               Prompter& prompter, platform::Clock& clock) {
  const bool hasMenu = (receiverType >= kReceiverDcdStd && receiverType <= kReceiverFirm) ||
                       receiverType == kReceiverUnknown;
  if (!hasMenu) return {};
  InterfaceControls& controls = iface.controls;
  if (IsKernelDevice(iface.handle)) {
    controls.tickedReceiverMenu = receiverType;
    store.general.receiverType = static_cast<std::int16_t>(receiverType);
    WriteItype(store);
    ShowKernelDevice(iface);
    return KernelDeviceNote(store.general.comPort);
  }
  if (receiverType != kReceiverIRMan) SetReceiverLines(iface, receiverType, prompter, clock);
  controls.receiverCaption = std::string(ReceiverCaption(receiverType));
  controls.tickedReceiverMenu = receiverType;
  controls.firmControlsVisible = receiverType == kReceiverFirm;
  if (receiverType == kReceiverFirm) {
    // The FirM box has no transmitter: the TxD setting is cleared, so output falls back to DTR.
    if (store.general.outputMode == kOutputTxd) store.general.outputMode = kOutputDtr;
    controls.txdChecked = false;
    controls.txdEnabled = false;
    controls.irdaEnabled = false;
  } else if (receiverType == kReceiverCreative) {
    controls.txdEnabled = false;
  } else {
    controls.txdEnabled = true;
    controls.irdaEnabled = !controls.txdChecked;
  }
  store.general.receiverType = static_cast<std::int16_t>(receiverType);
  WriteItype(store);
  if (receiverType == kReceiverIRMan) SetReceiverLines(iface, receiverType, prompter, clock);
  return {};
}

void ApplyInterface(IrInterface& iface, ConfigStore& store, Prompter& prompter,
                    platform::Clock& clock) {
  InterfaceControls& controls = iface.controls;
  switch (store.general.outputMode) {
    case kOutputDtr:
      controls.txdChecked = false;
      controls.irdaChecked = false;
      controls.irdaEnabled = true;
      break;
    case kOutputTxd:
      controls.txdChecked = true;
      controls.irdaChecked = false;
      controls.irdaEnabled = false;
      SetCarrierPortMode(iface.handle);
      break;
    case kOutputIrda:
      controls.txdChecked = false;
      controls.irdaChecked = true;
      break;
    default:
      break;
  }
  const int type = store.general.receiverType;
  if (type >= kReceiverDcdStd && type <= kReceiverFirm) {
    ChooseReceiverType(iface, store, type, prompter, clock);
  } else {
    controls.receiverCaption.clear();
  }
}

void SetTxdOutput(IrInterface& iface, ConfigStore& store, bool ticked) {
  InterfaceControls& controls = iface.controls;
  controls.txdChecked = ticked;
  controls.irdaEnabled = !ticked;
  if (ticked) {
    store.general.outputMode = kOutputTxd;
    SetCarrierPortMode(iface.handle);
  } else {
    store.general.outputMode = kOutputDtr;
  }
  WriteItype(store);
}

void SetIrdaOutput(IrInterface& iface, bool ticked, Prompter& prompter) {
  InterfaceControls& controls = iface.controls;
  if (ticked) {
    controls.txdEnabled = false;
    prompter.ShowMessage(kNotYetImplemented, MessageIcon::Exclamation, kMessageTitle);
  }
  // The box is cleared again at once, which gives the TxD setting back.
  controls.irdaChecked = false;
  controls.txdEnabled = true;
}

bool InitIRMan(IrInterface& iface, Prompter& prompter, platform::Clock& clock) {
  if (iface.irManReady) return true;
  SetByteReceiverPortMode(iface.handle);
  if (IrManAnswers(iface.handle, clock)) {
    prompter.ShowMessage(kIrManReady, MessageIcon::Information, kMessageTitle);
    iface.irManReady = true;
    return true;
  }
  prompter.ShowMessage(kIrManFailed, MessageIcon::Exclamation, kMessageTitle);
  return false;
}

std::string AutoDetectInterface(IrInterface& iface, ConfigStore& store, Prompter& prompter,
                                platform::Clock& clock) {
  const PortHandle handle = iface.handle;
  if (IsKernelDevice(handle)) return KernelDeviceNote(store.general.comPort);
  SetByteReceiverPortMode(handle);

  // An IRMouse loops RTS back to DSR and, powered from RTS and DTR, keeps DCD off in the dark.
  SetRtsLine(true, handle);
  if (GetDsrLine(handle)) {
    SetRtsLine(false, handle);
    if (!GetDsrLine(handle)) {
      SetRtsLine(true, handle);
      SetDtrLine(true, handle);
      if (CountDcd(handle, false, clock) > 5) {
        return Detected(iface, store, prompter, clock, kReceiverIRMouse, kIrMouseDetected);
      }
    }
  }

  // A DCD standard receiver is powered from RTS and holds DCD on in the dark.
  SetRtsLine(false, handle);
  if (!GetDcdLine(handle)) {
    SetRtsLine(true, handle);
    if (CountDcd(handle, true, clock) > 5) {
      return Detected(iface, store, prompter, clock, kReceiverDcdStd,
                      kDcdStdDetected);
    }
  }

  if (IrManAnswers(handle, clock)) {
    iface.irManReady = true;
    return Detected(iface, store, prompter, clock, kReceiverIRMan,
                    kIrManDetected);
  }

  ChooseReceiverType(iface, store, kReceiverUnknown, prompter, clock);
  ApplyInterface(iface, store, prompter, clock);
  return std::string(kNothingDetected) +
         std::to_string(store.general.comPort) + ".";
}

bool ToggleInfraredIn(ConfigStore& store) {
  return ToggleGeneralFlag(store, "IRINENA").value_or(store.general.irInEna);
}

bool ToggleInfraredOut(ConfigStore& store) {
  return ToggleGeneralFlag(store, "IROUTENA").value_or(store.general.irOutEna);
}

void CloseIrPort(IrInterface& iface) {
  if (iface.handle <= 0) return;
  ClosePort(iface.handle);
  SetHandle(0);
}

}  // namespace qvx::ircode
