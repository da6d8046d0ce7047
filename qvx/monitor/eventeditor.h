#pragma once

// The event editor (frmMonitor) without its widgets: the four selection lists, the phone entry
// label and list, the event list, and the Add, Delete and Clean actions on the [Monitoring]
// section. Every change is saved at once; questions and message boxes go through the Prompter.

#include <string>
#include <string_view>
#include <vector>

#include "qvx/config/prompter.h"
#include "qvx/config/store.h"

namespace qvx::monitor {

// What the editor's controls show. An index is -1 while its list has no selection.
struct EventEditor {
  std::vector<std::string> irDev;      // IRDev: input devices
  std::vector<std::string> irCmd;      // IRCmd: commands of the chosen input device
  std::vector<std::string> outDev;     // OutDev: output devices
  std::vector<std::string> outCmd;     // OutCmd: commands of the chosen output device
  std::vector<std::string> monEvent;   // MonEvent: lines of the event table
  std::vector<std::string> btDevList;  // BTDevListCombo: the ten phone entries
  int irDevIndex = -1;
  int irCmdIndex = -1;
  int outDevIndex = -1;
  int outCmdIndex = -1;
  int monEventIndex = -1;
  int btDevIndex = -1;
  std::string btDevLabel = "BT0";      // BtDevLabel: the input device of a phone event
  bool btDevLabelShown = false;        // BtDevLabel
  bool btDevListShown = false;         // BTDevListCombo
};

// Which lines the event list shows.
enum class EventListMode {
  All,       // every line
  Filtered,  // the lines whose outputs (or infrared input and output) are enabled
};

// MonitorConfigureMenu: false, with "No input device available to monitor!" on the status
// line, when neither phone nor infrared input is on.
bool MayOpenEventEditor(const ConfigStore& store, Prompter& prompter);

// Fills the device lists from the configuration, selects their first entries with their
// command lists, and fills the event list in filtered mode.
void LoadEventEditor(EventEditor& editor, const ConfigStore& store);

// A choice in IRDev: its commands ("BT": the phone events, with the phone list shown), the
// first one selected.
void ChooseInputDevice(EventEditor& editor, const ConfigStore& store, int index);
// A choice in IRCmd: for a phone event, whether it depends on the phone entry.
void ChooseInputCommand(EventEditor& editor, int index);
// A choice in BTDevListCombo: BtDevLabel becomes "BT" and the entry's index.
void ChoosePhoneEntry(EventEditor& editor, int index);
// A choice in OutDev: its command words or the command names of its section.
void ChooseOutputDevice(EventEditor& editor, const ConfigStore& store, int index);

// Refills MonEvent from the [Monitoring] section and selects its first line.
void FillEventList(EventEditor& editor, const ConfigStore& store, EventListMode mode);

// AdMonButton: adds the selected pair as the last line of [Monitoring] after asking; true when
// the line was added and saved.
bool AddMonitoredEvent(EventEditor& editor, ConfigStore& store, Prompter& prompter);

// Delete: removes the selected event line after asking and refills the list; true when removed.
bool DeleteMonitoredEvent(EventEditor& editor, ConfigStore& store, Prompter& prompter);

// Whether one side of an event line ("device&command", "X10&module&function", or a text
// without "&", which names the current device and command) names a known device and command.
// Like the dispatch, it leaves the side's device and command as the current ones.
bool IsKnownEventSide(ConfigStore& store, std::string_view side);

// CleanButton: deletes every line one of whose sides is not known, reports what went, and
// refills the list in filtered mode. Returns the number of lines deleted.
int CleanMonitoredEvents(EventEditor& editor, ConfigStore& store, Prompter& prompter);

}  // namespace qvx::monitor
