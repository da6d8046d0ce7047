#include "qvx/ircode/devicedialog.h"

#include <limits>

#include "qvx/config/devices.h"
#include "qvx/config/editing.h"
#include "qvx/config/prompter.h"
#include "qvx/config/sections.h"
#include "qvx/config/text.h"

namespace qvx::ircode {
namespace {

bool IsBinary(std::string_view pattern) {
  return pattern.find_first_not_of("01") == std::string_view::npos;
}

bool Fits16(long value) {
  return value >= std::numeric_limits<std::int16_t>::min() &&
         value <= std::numeric_limits<std::int16_t>::max();
}

void Trim(std::string& field) { field = std::string(TrimBlanks(field)); }

// The first refusal of the parameter fields, checked in the dialog's order; nothing when the
// block may be written. Numbers that do not fit the file's 16-bit values are refused with
// their field's message, as they could not be read back.
std::optional<std::string_view> CheckParameters(DeviceBlock& block) {
  if (block.sendplsUs < 1 || !Fits16(block.sendplsUs))
    return kSendplsRule;
  if ((block.repeatSlots != 0 && block.repeatSlots < 16) || !Fits16(block.repeatSlots))
    return kRepeatRule;
  if ((block.grepeatSlots >= 2 && block.grepeatSlots < 16) || !Fits16(block.grepeatSlots))
    return kGRepeatRule;
  if (block.repeatSlots > 16 && block.grepeatSlots > 16) block.grepeatSlots = block.repeatSlots;
  if (block.bitg.empty() || block.bit0.empty() || block.bit1.empty())
    return kPatternsNeeded;
  std::string description = block.description;
  if (!IsValidName(description)) return kBadDescription;
  if (!IsBinary(block.bitg)) return kBitgNotBinary;
  if (!IsBinary(block.bit0)) return kBit0NotBinary;
  if (!IsBinary(block.bit1)) return kBit1NotBinary;
  return std::nullopt;
}

}  // namespace

void ChooseProtocol(DeviceDialog& dialog, int position) {
  const DevicePreset preset = PresetFor(position);
  dialog.gproto = position;
  dialog.sendpls = preset.sendpls;
  dialog.repeat = preset.repeat;
  dialog.grepeat = preset.grepeat;
  dialog.bit0 = preset.bit0;
  dialog.bit1 = preset.bit1;
  dialog.bitg = preset.bitg;
}

std::optional<DeviceDialog> OpenDeviceDialog(const ConfigStore& store, Prompter& prompter,
                                             const MainWindowFields& window) {
  DeviceDialog dialog;
  dialog.mode = store.deviceDialogMode;
  const bool learned = !TrimBlanks(window.codeStr).empty() && !TrimBlanks(window.bitNr).empty();
  if (GetDeviceKind(store.currentDevice) == DeviceKind::Recorded && learned) {
    const int proto = window.detectedProto >= 0 && window.detectedProto <= 2 ? window.detectedProto : 3;
    ChooseProtocol(dialog, proto);
    if (proto == 0) dialog.repeat = "50";
    if (proto == 1) dialog.repeat = "40";
    if (proto == 2) dialog.repeat = "90";
    dialog.sendpls = window.sendPulse;
    if (const auto patterns = RecordedPatternsFor(proto)) {
      dialog.bitg = patterns->bitg;
      dialog.bit0 = patterns->bit0;
      dialog.bit1 = patterns->bit1;
    } else {
      dialog.bitg = window.params.bitg;
      dialog.bit0 = window.params.bit0;
      dialog.bit1 = window.params.bit1;
    }
    return dialog;
  }
  if (dialog.mode != DeviceDialogMode::Edit) return dialog;

  dialog.returnPosition = window.selectedPosition;
  const std::string_view text = store.text;
  const std::string& device = store.currentDevice;
  const auto section = FindSection(text, device);
  const auto params = FindDeviceParams(text, device, ParamScope::AcceptBeyondSection);
  if (!section || !params) {
    prompter.ShowMessage(kCannotOpenDeviceForm, MessageIcon::Critical, kCriticalErrorTitle);
    return std::nullopt;
  }
  // A hand-made block without a description line opens with an empty one, which Save asks for.
  dialog.description = std::string(TrimBlanks(DescriptionText(text, *section)));
  // A device saved without a protocol choice (GPROTO=-1) opens with none selected.
  const long stored = LeadingNumber(params->gproto);
  if (stored >= 0 && stored < static_cast<long>(kProtocolNames.size()))
    ChooseProtocol(dialog, static_cast<int>(stored));
  dialog.sendpls = params->sendpls;
  dialog.repeat = params->repeat;
  dialog.bitg = params->bitg;
  dialog.bit0 = params->bit0;
  dialog.bit1 = params->bit1;
  dialog.grepeat = params->grepeat;
  dialog.name = device;
  dialog.editedDevice = device;
  return dialog;
}

std::optional<std::string> SaveDevice(ConfigStore& store, Prompter& prompter,
                                      DeviceDialog& dialog, std::string_view deviceList) {
  const auto refuse = [&](std::string_view message) {
    prompter.ShowMessage(message, MessageIcon::Exclamation, kMessageTitle);
    return std::nullopt;
  };
  for (std::string* field :
       {&dialog.name, &dialog.sendpls, &dialog.repeat, &dialog.grepeat, &dialog.description})
    Trim(*field);

  // A new name, or an edited device given another name, follows the naming rules; an edited
  // device that keeps its name (in any spelling) is taken as it stands.
  const bool newDevice = dialog.mode != DeviceDialogMode::Edit;
  const bool renamed = !newDevice && !EqualsIgnoreCase(dialog.name, dialog.editedDevice);
  if (const auto refusal = CheckDeviceName(dialog.name, deviceList, newDevice || renamed))
    return refuse(*refusal);

  DeviceBlock block;
  block.name = dialog.name;
  block.description = dialog.description;
  block.gproto = dialog.gproto;
  block.sendplsUs = LeadingNumber(dialog.sendpls);
  block.repeatSlots = LeadingNumber(dialog.repeat);
  block.grepeatSlots = LeadingNumber(dialog.grepeat);
  block.bitg = std::string(TrimBlanks(dialog.bitg));
  block.bit0 = std::string(TrimBlanks(dialog.bit0));
  block.bit1 = std::string(TrimBlanks(dialog.bit1));
  if (const auto refusal = CheckParameters(block)) return refuse(*refusal);

  const std::string blockText = DeviceBlockText(block, newDevice);
  const std::string question =
      newDevice ? std::string(kNewDeviceApproval) + blockText + "\r\n" + std::string(kSaveItQuestion)
                : std::string(kEditedDeviceApproval) + blockText + "\r\n\r\n" +
                      std::string(kSaveItQuestion);
  if (!prompter.AskYesNo(question, kMessageTitle)) return std::nullopt;

  const auto written = newDevice ? InsertNewDevice(store.text, blockText)
                                 : ReplaceDeviceBlock(store.text, dialog.editedDevice, blockText);
  if (!written) {
    if (newDevice) return refuse(kNoX10Section);
    prompter.ShowMessage(kCannotOpenDeviceForm, MessageIcon::Critical, kCriticalErrorTitle);
    return std::nullopt;
  }
  if (!CommitOrReport(store, prompter, *written)) return std::nullopt;
  return FormatNumber(block.sendplsUs);
}

}  // namespace qvx::ircode
