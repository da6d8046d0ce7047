#include "qvx/monitor/eventeditor.h"

#include <algorithm>

#include "qvx/config/devices.h"
#include "qvx/config/editing.h"
#include "qvx/config/sections.h"
#include "qvx/config/text.h"
#include "qvx/monitor/texts.h"

namespace qvx::monitor {
namespace {

constexpr std::string_view kPhoneDevice = "BT";

// The [Monitoring] section; nothing when it is missing or no header follows it.
std::optional<Section> MonitoringSection(std::string_view text) {
  const auto section = FindSection(text, "Monitoring");
  if (!section || section->end > text.size()) return std::nullopt;
  return section;
}

bool IsPhone(std::string_view device) { return EqualsIgnoreCase(device, kPhoneDevice); }

bool StartsWithX10(std::string_view name) { return ToLower(name.substr(0, 3)) == "x10"; }

// Phone events that do not depend on the phone entry.
bool EntryFreePhoneEvent(std::string_view command) {
  const std::string lower = ToLower(command);
  return lower == "flip closed" || lower == "flip open" || lower == "connected" ||
         lower == "disconnected";
}

bool Contains(std::string_view line, std::string_view lowerWord) {
  return ToLower(line).find(lowerWord) != std::string::npos;
}

bool ShownInFilteredList(std::string_view line, const GeneralParams& general) {
  return (general.winampEna && Contains(line, "winamp&")) ||
         (general.x10Ena && Contains(line, "x10&")) ||
         (general.applicationEna && Contains(line, "application&")) ||
         (general.irDimEna && Contains(line, "irdimmer&")) ||
         (general.mouseEna && Contains(line, "mouse&")) ||
         (general.keyboardEna && Contains(line, "keyboard&")) || general.irInEna ||
         general.irOutEna;
}

// Whether ",name" occurs in the section named section, before the next header.
bool NamedInSection(std::string_view text, std::string_view section, std::string_view name) {
  const auto found = FindSection(text, section);
  if (!found) return false;
  const std::string pattern = "," + std::string(name);
  const std::size_t hit = FindInText(pattern, text, found->body);
  return hit != 0 && hit - pattern.size() < found->end;
}

// Removes a line of the event table (the first whole line of [Monitoring] equal to it, any
// case) with its CR LF and saves; false when there is no such line or the save failed.
bool DeleteEventLine(ConfigStore& store, Prompter& prompter, std::string_view line) {
  const std::string_view text = store.text;
  const auto section = MonitoringSection(text);
  if (!section) return false;
  const std::string pattern = "\r\n" + std::string(line) + "\r\n";
  const std::size_t hit = FindInText(pattern, text, section->body);
  if (hit == 0 || hit > section->end) return false;
  return CommitOrReport(store, prompter, DeleteText(text, hit - pattern.size() + 2, hit - 1));
}

int FirstIndex(const std::vector<std::string>& list) {
  return list.empty() ? -1 : 0;
}

bool Selected(const std::vector<std::string>& list, int index) {
  return index >= 0 && static_cast<std::size_t>(index) < list.size();
}

}  // namespace

bool MayOpenEventEditor(const ConfigStore& store, Prompter& prompter) {
  if (store.general.btEna || store.general.irInEna) return true;
  prompter.ShowStatus(texts::kNoInputDevice);
  return false;
}

void LoadEventEditor(EventEditor& editor, const ConfigStore& store) {
  const GeneralParams& general = store.general;
  editor = EventEditor{};
  for (const std::string& name : SectionNamesAfterGeneral(store.text)) {
    const std::string lower = ToLower(name);
    if (StartsWithX10(lower)) {
      if (general.x10Ena)
        for (const std::string& module : ListDeviceCommands(store.text, "X10"))
          editor.outDev.push_back("X10&" + module);
      continue;
    }
    if (lower == "ir dimmer" || lower == "monitoring" || lower == "winamp" || lower == "application")
      continue;
    if (lower == "end") break;
    if (general.irInEna) editor.irDev.push_back(name);
    if (general.irOutEna) editor.outDev.push_back(name);
  }
  if (general.btEna) editor.irDev.emplace_back(kPhoneDevice);
  if (general.winampEna) editor.outDev.emplace_back("Winamp");
  if (general.applicationEna) editor.outDev.emplace_back("Application");
  if (general.mouseEna) editor.outDev.emplace_back("Mouse");
  if (general.irDimEna) editor.outDev.emplace_back("IR Dimmer");
  ChooseInputDevice(editor, store, FirstIndex(editor.irDev));
  ChooseOutputDevice(editor, store, FirstIndex(editor.outDev));
  FillEventList(editor, store, EventListMode::Filtered);
}

void ChooseInputDevice(EventEditor& editor, const ConfigStore& store, int index) {
  if (!Selected(editor.irDev, index)) return;
  editor.irDevIndex = index;
  const std::string& device = editor.irDev[static_cast<std::size_t>(index)];
  const bool phone = IsPhone(device);
  editor.btDevLabelShown = phone;
  editor.btDevListShown = phone;
  if (phone) {
    editor.irCmd = FillListFromText(kBluetoothEvents);
    editor.btDevList.assign(store.general.bt.begin(), store.general.bt.end());
    ChoosePhoneEntry(editor, 0);
  } else {
    editor.irCmd = ListDeviceCommands(store.text, device);
  }
  editor.irCmdIndex = -1;
  ChooseInputCommand(editor, FirstIndex(editor.irCmd));
}

void ChooseInputCommand(EventEditor& editor, int index) {
  if (!Selected(editor.irCmd, index)) return;
  editor.irCmdIndex = index;
  if (!Selected(editor.irDev, editor.irDevIndex) ||
      !IsPhone(editor.irDev[static_cast<std::size_t>(editor.irDevIndex)]))
    return;
  if (EntryFreePhoneEvent(editor.irCmd[static_cast<std::size_t>(index)])) {
    editor.btDevLabel = kPhoneDevice;
    editor.btDevListShown = false;
  } else {
    editor.btDevListShown = true;
    editor.btDevLabel = std::string(kPhoneDevice) + std::to_string(std::max(editor.btDevIndex, 0));
  }
}

void ChoosePhoneEntry(EventEditor& editor, int index) {
  if (!Selected(editor.btDevList, index)) return;
  editor.btDevIndex = index;
  editor.btDevLabel = std::string(kPhoneDevice) + std::to_string(index);
}

void ChooseOutputDevice(EventEditor& editor, const ConfigStore& store, int index) {
  if (!Selected(editor.outDev, index)) return;
  editor.outDevIndex = index;
  const std::string& device = editor.outDev[static_cast<std::size_t>(index)];
  const std::string lower = ToLower(device);
  if (StartsWithX10(lower)) {
    editor.outCmd = FillListFromText(kX10Commands);
  } else if (lower == "winamp") {
    editor.outCmd = FillListFromText(kWinampCommands);
  } else if (lower == "mouse") {
    editor.outCmd = FillListFromText(kMouseCommands);
  } else {
    editor.outCmd = ListDeviceCommands(store.text, device);
  }
  editor.outCmdIndex = FirstIndex(editor.outCmd);
}

void FillEventList(EventEditor& editor, const ConfigStore& store, EventListMode mode) {
  editor.monEvent.clear();
  const std::string_view text = store.text;
  if (const auto section = MonitoringSection(text)) {
    const std::size_t end = section->end - 1;  // 0-based index of the next header
    // Each line with a comma once, even when it has more than one.
    for (std::size_t comma = text.find(',', section->body - 1); comma < end;
         comma = text.find(',', comma)) {
      const std::size_t lf = text.rfind('\n', comma);
      const std::size_t start = lf == std::string_view::npos ? 0 : lf + 1;
      const std::size_t stop = std::min(text.find("\r\n", comma), text.size());
      const std::string_view line = text.substr(start, stop - start);
      if (mode == EventListMode::All || ShownInFilteredList(line, store.general))
        editor.monEvent.emplace_back(line);
      comma = stop;
    }
  }
  editor.monEventIndex = FirstIndex(editor.monEvent);
}

bool AddMonitoredEvent(EventEditor& editor, ConfigStore& store, Prompter& prompter) {
  if (!Selected(editor.irDev, editor.irDevIndex) || !Selected(editor.irCmd, editor.irCmdIndex) ||
      !Selected(editor.outDev, editor.outDevIndex) || !Selected(editor.outCmd, editor.outCmdIndex))
    return false;
  std::string input = editor.irDev[static_cast<std::size_t>(editor.irDevIndex)];
  if (IsPhone(input)) input = editor.btDevLabel;
  const std::string line = input + "&" + editor.irCmd[static_cast<std::size_t>(editor.irCmdIndex)] +
                           "," + editor.outDev[static_cast<std::size_t>(editor.outDevIndex)] + "&" +
                           editor.outCmd[static_cast<std::size_t>(editor.outCmdIndex)];
  const std::string_view text = store.text;
  const auto section = MonitoringSection(text);
  if (!section) return false;
  if (FindInText(line, text, section->body) != 0) {
    prompter.ShowMessage(texts::kEventExists, MessageIcon::Exclamation, texts::kEventExistsTitle);
    return false;
  }
  const std::string question =
      std::string(texts::kAddQuestionStart) + line + std::string(texts::kAddQuestionEnd);
  if (!prompter.AskYesNo(question, texts::kAddTitle)) return false;
  const auto insertAt = LastLineInsertPosition(text, *section);
  if (!insertAt || !CommitOrReport(store, prompter, InsertText(text, line + "\r\n", *insertAt)))
    return false;
  FillEventList(editor, store, EventListMode::Filtered);
  return true;
}

bool DeleteMonitoredEvent(EventEditor& editor, ConfigStore& store, Prompter& prompter) {
  if (!Selected(editor.monEvent, editor.monEventIndex)) return false;
  const std::string line = editor.monEvent[static_cast<std::size_t>(editor.monEventIndex)];
  const std::string question =
      std::string(texts::kDeleteQuestionStart) + line + std::string(texts::kDeleteQuestionEnd);
  const bool deleted =
      prompter.AskYesNo(question, texts::kDeleteTitle) && DeleteEventLine(store, prompter, line);
  FillEventList(editor, store, EventListMode::Filtered);
  return deleted;
}

bool IsKnownEventSide(ConfigStore& store, std::string_view side) {
  SplitOutputCommand(store, side);
  const std::string& device = store.currentDevice;
  const std::string lower = ToLower(device);
  if (StartsWithX10(lower)) return NamedInSection(store.text, "x10", device.size() > 4 ? device.substr(4) : "");
  if (lower.starts_with("bt") || lower == "winamp" || lower == "ir dimmer" || lower == "mouse" ||
      lower == "keyboard")
    return true;
  return NamedInSection(store.text, device, store.currentCommand);
}

int CleanMonitoredEvents(EventEditor& editor, ConfigStore& store, Prompter& prompter) {
  FillEventList(editor, store, EventListMode::All);
  std::string report(texts::kCleanReportStart);
  int deleted = 0;
  bool stuck = false;
  for (std::size_t i = 0; i < editor.monEvent.size();) {
    const std::string line = editor.monEvent[i];
    const std::size_t comma = line.find(',');
    const std::string_view input = std::string_view(line).substr(0, comma);
    const std::string_view output = std::string_view(line).substr(comma + 1);
    if (IsKnownEventSide(store, input) && IsKnownEventSide(store, output)) {
      ++i;
      continue;
    }
    // A line that cannot be removed (the file cannot be written) ends the clean-up.
    if (!DeleteEventLine(store, prompter, line)) {
      stuck = true;
      break;
    }
    FillEventList(editor, store, EventListMode::All);
    report += line + "\r\n";
    ++deleted;
  }
  if (deleted == 0) {
    if (!stuck) prompter.ShowMessage(texts::kNothingToClean, MessageIcon::NoIcon, kMessageTitle);
  } else {
    prompter.ShowMessage(report, MessageIcon::Information, texts::kCleanReportTitle);
  }
  FillEventList(editor, store, EventListMode::Filtered);
  return deleted;
}

}  // namespace qvx::monitor
