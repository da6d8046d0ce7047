#include "qvx/ui/model/presentation.h"

#include <algorithm>

#include "qvx/config/prompter.h"
#include "qvx/config/text.h"
#include "qvx/ircode/learning.h"
#include "qvx/ui/model/messages.h"

namespace qvx::ui {
namespace {

std::string Versioned(std::string_view caption, std::string_view version) {
  return std::string(caption) + std::string(version);
}

bool IsOutputKind(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::Winamp:
    case DeviceKind::Application:
    case DeviceKind::Bluetooth:
    case DeviceKind::Keyboard:
    case DeviceKind::Mouse:
    case DeviceKind::IrDimmer:
      return true;
    default:
      return false;
  }
}

// The steps every kind but X10 and none ends with.
ControlChanges Afterwards(const SelectionFacts& facts, DeviceKind kind) {
  ControlChanges c;
  c.dimVisible = false;
  if (kind == DeviceKind::Bluetooth) {
    c.sendEnabled = false;
    c.deviceListColour = c.commandListColour = ListColour{kCyan};
  } else {
    // Infrared output is what a send needs, except for the launcher; a list with nothing in it
    // ("EMPTY") leaves nothing to send either.
    c.sendEnabled = (kind == DeviceKind::Application || facts.irOutEnabled) && facts.listAllowsSend;
  }
  c.addApplicationVisible = kind == DeviceKind::Application;
  c.commandList =
      GetDeviceKind(facts.device) == DeviceKind::Phone ? CommandFill::PhoneEvents : CommandFill::Stored;
  c.toolTipByColour = true;
  c.clearPulseLengths = true;
  return c;
}

}  // namespace

Rgb RgbOf(BgrColour colour) {
  return {static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
          static_cast<int>((colour >> 16) & 0xFF)};
}

std::optional<std::string> DeviceListToolTip(ListColour colour, std::string_view description) {
  if (!colour) return std::string(kTipNoDevice);
  switch (*colour) {
    case kMagenta: return std::string(description);
    case kGreen: return std::string(kTipRecorded);
    case kYellow: return std::string(kTipOutputDevice);
    default: return std::nullopt;
  }
}

DeviceKind PresentedKind(std::string_view device) {
  const DeviceKind kind = GetDeviceKind(device);
  return kind == DeviceKind::Phone ? DeviceKind::Bluetooth : kind;
}

DeviceSelection SelectDevice(const SelectionFacts& facts) {
  DeviceSelection selection;
  ControlChanges& c = selection.first;
  const DeviceKind kind = PresentedKind(facts.device);

  if (kind == DeviceKind::X10) {
    c.sendEnabled = true;
    c.zoneVisible = false;
    c.rts = false;
    c.fullLayout = false;
    c.caption = Versioned(kX10Caption, facts.version);
    c.deviceListColour = c.commandListColour = ListColour{kYellow};
    c.deviceMenusVisible = false;
    c.interfaceMenuVisible = false;
    c.dimVisible = true;
    c.commandListToolTip = std::string(kTipX10Commands);
    c.commandList = CommandFill::X10Commands;
    c.loadX10Names = true;
    c.toolTipByColour = true;
    return selection;
  }
  if (kind == DeviceKind::None) {
    c.deviceListColour = c.commandListColour = ListColour{};
    c.commandList = CommandFill::Stored;
    c.sendEnabled = false;
    c.toolTipByColour = true;
    if (facts.fullLayout) {
      c.fullLayout = false;
      c.caption = Versioned(kNoDeviceCaption, facts.version);
      c.interfaceMenuVisible = false;
    }
    return selection;
  }

  if (IsOutputKind(kind)) {
    c.deleteCommandEnabled = true;
    c.recordEnabled = c.saveEnabled = false;
    c.deviceListColour = c.commandListColour = ListColour{kYellow};
    c.interfaceMenuVisible = false;
    c.deviceMenusVisible = false;
    c.fullLayout = false;
    c.caption = Versioned(kSpecialCaption, facts.version);
    c.zoneVisible = false;
    c.sendEnabled = true;
  } else {
    c.deleteCommandEnabled = c.recordEnabled = c.saveEnabled = true;
    c.deviceMenusVisible = true;
    c.caption = Versioned(facts.fullLayout ? kMainCaption : kSendManagerCaption, facts.version);
    c.closeX10Port = facts.x10Com > 0;
    c.initIrMan = facts.receiverType == ircode::kReceiverIRMan;
    const bool firm = facts.receiverType == ircode::kReceiverFirm;
    c.rts = !firm;
    c.zoneVisible = firm;
    c.commandListToolTip = std::string(kTipIrCommands);
    c.refillZone = true;
    c.clearCommandLabel = true;
    if (kind == DeviceKind::Recorded) {
      c.deviceListColour = c.commandListColour = ListColour{kGreen};
      c.clearRecordedFields = true;
    } else {
      c.deviceListColour = c.commandListColour = ListColour{kMagenta};
      selection.loadParams = true;
    }
  }
  selection.afterwards = Afterwards(facts, kind);
  return selection;
}

std::optional<LayoutSwitch> SwitchLayout(std::string_view device, bool monitoring, bool fullLayout,
                                         std::string_view version) {
  if (monitoring) return std::nullopt;
  switch (PresentedKind(device)) {
    case DeviceKind::X10:
    case DeviceKind::None:
    case DeviceKind::IrDimmer:
    case DeviceKind::Winamp:
    case DeviceKind::Application:
    case DeviceKind::Bluetooth:
      return std::nullopt;
    default:
      break;
  }
  if (fullLayout) return LayoutSwitch{false, Versioned(kSendManagerCaption, version), false};
  return LayoutSwitch{true, Versioned(kMainCaption, version), true};
}

LayoutGeometry GeometryOf(bool fullLayout) {
  if (fullLayout) return {4150, 8295, 8385, 5070};
  return {1080, 3445, 3540, 2000};
}

const std::vector<Placement>& ControlPlacements() {
  // The compact layout is the top left corner of the full one: device, command, Send and the
  // layout switch, the dim slider for X10, and the status line moved up under them.
  static const std::vector<Placement> placements = {
      {"Label111", 60, 75, 420, 240, "Dev."},
      {"Protocol", 480, 45, 2280, 300, ""},
      {"RecCmd", 480, 45, 2280, 300, ""},
      {"Label112", 60, 435, 420, 240, "Cmd."},
      {"SendCmd", 480, 405, 2280, 300, ""},
      {"ExecCmd", 480, 405, 2280, 300, ""},
      {"SendButton", 2820, 45, 630, 300, "&Send"},
      {"MinButton", 2820, 405, 630, 300, ""},
      {"DIMLabel", 60, 780, 420, 240, "DIM"},
      {"DIMScroll", 480, 765, 2280, 255, ""},
      {"DimVal", 2820, 780, 630, 240, ""},
      {"CodeStr", 3600, 45, 3480, 300, ""},
      {"SendPulse", 7140, 45, 1140, 300, ""},
      {"RecButton", 3600, 405, 1080, 300, "&Record"},
      {"SaveCmdButton", 4740, 405, 1080, 300, "Sa&ve"},
      {"DeleteCmdButton", 5880, 405, 1080, 300, "&Delete"},
      {"BeepCheckbox", 7020, 420, 1260, 270, "Beep"},
      {"IRCommand", 3600, 780, 4680, 240, ""},
      {"Frame1", 60, 1110, 8220, 1110, ""},
      {"CaptionGProt", 180, 1380, 900, 240, "Protocol:"},
      {"GProt", 1080, 1380, 900, 240, ""},
      {"CaptionBitNr", 2040, 1380, 660, 240, "Bits:"},
      {"BitNr", 2700, 1380, 600, 240, ""},
      {"CaptionRpt", 3360, 1380, 720, 240, "Repeat:"},
      {"Rpt", 4080, 1380, 600, 240, ""},
      {"CaptionGType", 4740, 1380, 660, 240, "Sync:"},
      {"GType", 5400, 1380, 600, 240, ""},
      {"CaptionToggleVal", 6060, 1380, 780, 240, "Toggle:"},
      {"ToggleVal", 6840, 1380, 600, 240, ""},
      {"CaptionAddrVal", 180, 1650, 900, 240, "Address:"},
      {"AddrVal", 1080, 1650, 900, 240, ""},
      {"CaptionCmdVal", 2040, 1650, 1020, 240, "Command:"},
      {"CmdVal", 3060, 1650, 900, 240, ""},
      {"CaptionPlen1", 180, 1920, 900, 240, "Marks:"},
      {"plen1", 1080, 1920, 3180, 240, ""},
      {"CaptionPlen0", 4320, 1920, 900, 240, "Gaps:"},
      {"plen0", 5220, 1920, 3000, 240, ""},
      {"Signal", 60, 2280, 8220, 1080, ""},
      {"HScroll1", 60, 3375, 6360, 255, ""},
      {"GExt", 6480, 3375, 540, 255, "+"},
      {"Gshr", 7080, 3375, 540, 255, "-"},
      {"GReset", 7680, 3375, 600, 255, "1:1"},
      {"ComList", 60, 3690, 960, 300, ""},
      {"CaptionReceiverType", 1080, 3720, 960, 240, "Receiver:"},
      {"ReceiverType", 2040, 3720, 900, 240, ""},
      {"CaptionProcDelay", 2940, 3720, 1080, 240, "ProcDelay:"},
      {"ProcDelayparameter", 4020, 3720, 420, 240, ""},
      {"TxDCheckBox", 4500, 3705, 780, 270, "TxD"},
      {"IrDACheckBox", 5280, 3705, 840, 270, "IrDA"},
      {"Zone", 6180, 3690, 600, 300, ""},
      {"ZoneNr", 6840, 3720, 480, 240, ""},
      {"FirmAnswer", 7380, 3720, 900, 240, ""},
  };
  return placements;
}

const std::vector<Menu>& Menus() {
  static const std::vector<Menu> menus = {
      {"FileMenu", "&File"},         {"InterfaceMenu", "IR&Hw"}, {"PluginsMenu", "&Plugins"},
      {"MonitoringMenu", "&Monitoring"}, {"HelpMenu", "&Help"},  {kTrayMenu, "Systray"},
  };
  return menus;
}

const std::vector<MenuEntry>& MenuEntries() {
  static const std::vector<MenuEntry> entries = {
      {"FileMenu", "FileNewMenu", "&New Device", "", false, -1},
      {"FileMenu", "EditMenu", "&Edit Device", "", false, -1},
      {"FileMenu", "ProtoDeleteMenu", "&Delete Device", "", false, -1},
      {"FileMenu", "AddApplicationMenu", "&Add application", "", false, -1},
      {"FileMenu", "CalibrationMenu", "&AutoCalibrate", "", false, -1},
      {"FileMenu", "MenuProcDelay", "&ProcDelay", "", false, -1},
      {"FileMenu", "FileImportMenu", "&Import Device(s) from Config File ", "", false, -1},
      {"FileMenu", "FileSaveMenu", "&Export Device(s) to Config File", "", false, -1},
      {"FileMenu", "FileExit", "E&xit", "", false, -1},
      {"InterfaceMenu", "StdDcdMenu", "Standard&DCD", "", false, ircode::kReceiverDcdStd},
      {"InterfaceMenu", "IRMouseMenu", "IR M&ouse", "", false, ircode::kReceiverIRMouse},
      {"InterfaceMenu", "IRManMenu", "IR&Man", "", false, ircode::kReceiverIRMan},
      {"InterfaceMenu", "FirmMenu", "FirM", "", false, ircode::kReceiverFirm},
      {"InterfaceMenu", "CreativeInfraMenu", "Creative &Infra", "", false, ircode::kReceiverCreative},
      {"InterfaceMenu", "UnavailableMenu", "&Unavailable", "", false, 9},
      {"InterfaceMenu", "AutoDetectMenu", "Auto Detect", "", false, -1},
      {"PluginsMenu", "InfraredInMenu", "&Infrared IN", "IRINENA", true, -1},
      {"PluginsMenu", "InfraredOutMenu", "Infrared &OUT", "IROUTENA", true, -1},
      {"PluginsMenu", "IRDimmerMenu", "&IRDimmer", "IRDIMENA", true, -1},
      {"PluginsMenu", "WinampMenu", "&Winamp", "WINAMPENA", true, -1},
      {"PluginsMenu", "ApplicationMenu", "&Application", "APPLICATIONENA", true, -1},
      {"PluginsMenu", "MouseMenu", "&Mouse", "MOUSEENA", true, -1},
      {"PluginsMenu", "KeyboardMenu", "&Keyboard", "KEYBOARDENA", true, -1},
      {"PluginsMenu", "X10ConfMenu", "&X10", "X10ENA", false, -1},
      {"PluginsMenu", "BluetoothConfigMenu", "&Bluetooth", "BTENA", false, -1},
      {"PluginsMenu", "AddPluginMenu", "Add Plugin", "", false, -1},
      {"PluginsMenu", "RemovePluginMenu", "Remove Plugin", "", false, -1},
      {"MonitoringMenu", "MonitoringStartMenu", "S&tart", "", false, -1},
      {"MonitoringMenu", "MonitoringStopMenu", "St&op", "", false, -1},
      {"MonitoringMenu", "RestartMonMenu", "&Restart", "", false, -1},
      {"MonitoringMenu", "MonitorConfigureMenu", "&Configure", "", false, -1},
      {"HelpMenu", "HelpContentMenu", "&Contents", "", false, -1},
      {"HelpMenu", "WebPageMenu", "&Web Page", "", false, -1},
      {"HelpMenu", "UpdateMenu", "Check for &Updates", "", false, -1},
      {"HelpMenu", "AboutMenu", "&About", "", false, -1},
      {kTrayMenu, "mnuRestore", "Restore", "", false, -1},
      {kTrayMenu, "mnuStartMonitor", "Start Monitor", "", false, -1},
      {kTrayMenu, "mnuStopMonitor", "Stop Monitor", "", false, -1},
      {kTrayMenu, "mnuRestartMonitor", "Restart Monitor", "", false, -1},
      {kTrayMenu, "mnuExit", "Exit", "", false, -1},
  };
  return entries;
}

std::optional<bool> EnableFlag(const GeneralParams& general, std::string_view key) {
  const std::pair<std::string_view, bool GeneralParams::*> flags[] = {
      {"IRINENA", &GeneralParams::irInEna},
      {"IROUTENA", &GeneralParams::irOutEna},
      {"IRDIMENA", &GeneralParams::irDimEna},
      {"WINAMPENA", &GeneralParams::winampEna},
      {"APPLICATIONENA", &GeneralParams::applicationEna},
      {"MOUSEENA", &GeneralParams::mouseEna},
      {"KEYBOARDENA", &GeneralParams::keyboardEna},
      {"X10ENA", &GeneralParams::x10Ena},
      {"BTENA", &GeneralParams::btEna},
  };
  for (const auto& [name, member] : flags)
    if (name == key) return general.*member;
  return std::nullopt;
}

bool SendsWithoutCode(std::string_view device) {
  const DeviceKind kind = PresentedKind(device);
  // Mouse and keyboard commands carry no code either: checking the code field would refuse
  // every one of them with "Nothing to be send!".
  return kind == DeviceKind::X10 || IsOutputKind(kind);
}

bool NoCommandSelected(std::string_view command) {
  const std::string lower = ToLower(TrimBlanks(command));
  return lower.empty() || lower == "empty";
}

std::optional<std::string> CodeRefusal(bool codeNotValidated, std::string_view codeField) {
  if (codeNotValidated) return std::string(kNotValidatedToSend);
  if (TrimBlanks(codeField).empty()) return std::string(kNothingToSend);
  return std::nullopt;
}

void ShowStoredInterface(ircode::InterfaceControls& controls, int receiverType, int outputMode) {
  controls.receiverCaption = std::string(ircode::StartupReceiverCaption(receiverType));
  const bool hasMenu = !ircode::ReceiverCaption(receiverType).empty();
  controls.tickedReceiverMenu = hasMenu ? receiverType : -1;
  controls.txdChecked = outputMode == ircode::kOutputTxd;
  controls.irdaChecked = false;
  controls.irdaEnabled = !controls.txdChecked && receiverType != ircode::kReceiverFirm;
  controls.txdEnabled = receiverType != ircode::kReceiverCreative && receiverType != ircode::kReceiverFirm;
  controls.firmControlsVisible = receiverType == ircode::kReceiverFirm;
}

std::optional<std::string> CodeFieldText(std::string_view device, std::string_view stored) {
  switch (GetDeviceKind(device)) {
    case DeviceKind::Infrared:
      return "G" + std::string(stored.empty() ? stored : stored.substr(1));
    case DeviceKind::Application:
      return std::string(stored);
    default:
      return std::nullopt;
  }
}

std::optional<std::string> CodeFieldToolTip(std::string_view device) {
  switch (GetDeviceKind(device)) {
    case DeviceKind::Infrared:
    case DeviceKind::Recorded:
      return std::string(kTipBinaryCode);
    case DeviceKind::Application:
      return std::string(kTipCommandLine);
    default:
      return std::nullopt;
  }
}

bool DimVisibleFor(std::string_view command) {
  const std::string lower = ToLower(command);
  return lower == "dim" || lower == "bri";
}

std::vector<PlotStroke> PlotTrace(std::string_view samples, int scroll, double zoom, int width,
                                  int height) {
  std::vector<PlotStroke> strokes;
  const double low = height - 12.0;
  const double high = low - 40.0;
  const double limit = width - 10.0;
  const auto xOf = [&](std::size_t k) { return (static_cast<double>(k) + scroll + 8) * zoom; };
  std::size_t runStart = 0;
  for (std::size_t k = 0; k <= samples.size(); ++k) {
    const bool end = k == samples.size() || xOf(k) >= limit;
    if (k > runStart && (end || samples[k] != samples[runStart])) {
      // One level from the run's first sample to where the next one starts.
      const double y = samples[runStart] == '1' ? high : low;
      strokes.push_back({xOf(runStart), y, xOf(end ? k - 1 : k), y});
      if (!end) strokes.push_back({xOf(k), y, xOf(k), samples[k] == '1' ? high : low});
      runStart = k;
    }
    if (end) break;
  }
  return strokes;
}

namespace {

// One entry of a file-dialog filter of the system: its label and its patterns.
struct FilterEntry {
  std::string label;
  std::vector<std::string> patterns;
};

std::vector<FilterEntry> FilterEntries(std::string_view filter) {
  std::vector<FilterEntry> entries;
  std::size_t pos = 0;
  while (pos < filter.size()) {
    const std::size_t bar = filter.find('|', pos);
    if (bar == std::string_view::npos) break;
    const std::string_view name = filter.substr(pos, bar - pos);
    const std::size_t next = filter.find('|', bar + 1);
    std::string_view patterns = filter.substr(
        bar + 1, next == std::string_view::npos ? std::string_view::npos : next - bar - 1);
    pos = next == std::string_view::npos ? filter.size() : next + 1;

    FilterEntry entry{std::string(TrimBlanks(name.substr(0, name.find('(')))), {}};
    while (!patterns.empty()) {
      const std::size_t semicolon = patterns.find(';');
      const std::string pattern(TrimBlanks(patterns.substr(0, semicolon)));
      if (!pattern.empty()) entry.patterns.push_back(pattern);
      patterns = semicolon == std::string_view::npos ? std::string_view{} : patterns.substr(semicolon + 1);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace

std::string QtFileFilter(std::string_view filter) {
  std::string result;
  bool allFiles = false;
  for (const FilterEntry& entry : FilterEntries(filter)) {
    std::string qtPatterns;
    for (std::string pattern : entry.patterns) {
      // "*.*" means every file on Windows; here many programs have no extension. Which files
      // are executable the dialog's own filter decides (ExecutableFilterIndex).
      if (pattern == "*.*" || pattern == kExecutableFiles) pattern = "*";
      if (pattern == "*") allFiles = true;
      qtPatterns += (qtPatterns.empty() ? "" : " ") + pattern;
    }
    if (!result.empty()) result += ";;";
    result += entry.label + " (" + qtPatterns + ")";
  }
  if (!allFiles) result += std::string(result.empty() ? "" : ";;") + "All Files (*)";
  return result;
}

int ExecutableFilterIndex(std::string_view filter) {
  const std::vector<FilterEntry> entries = FilterEntries(filter);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& patterns = entries[i].patterns;
    if (std::find(patterns.begin(), patterns.end(), kExecutableFiles) != patterns.end())
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace qvx::ui
