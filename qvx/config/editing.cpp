#include "qvx/config/editing.h"

#include "platform/paths.h"
#include "qvx/config/devices.h"
#include "qvx/config/prompter.h"
#include "qvx/config/sections.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"

namespace qvx {
namespace {

// Whether the section of device already holds a command of this name (any case).
bool CommandNameInUse(std::string_view text, std::string_view device, std::string_view name) {
  for (const auto& command : ListDeviceCommands(text, device))
    if (EqualsIgnoreCase(command, name)) return true;
  return false;
}

}  // namespace

bool CommitOrReport(ConfigStore& store, Prompter& prompter, std::string newText) {
  switch (CommitConfigText(store, std::move(newText))) {
    case CommitResult::Saved:
      return true;
    case CommitResult::FileChanged:
      prompter.ShowMessage(kFileChangedMeanwhile, MessageIcon::Exclamation, kMessageTitle);
      return false;
    case CommitResult::Failed:
      break;
  }
  prompter.ShowMessage(std::string(kSaveFailed) + store.lastError, MessageIcon::Critical,
                       kMessageTitle);
  return false;
}

std::optional<std::size_t> LastLineInsertPosition(std::string_view text, const Section& section) {
  if (section.end > text.size()) return std::nullopt;
  const std::string_view before = text.substr(0, section.end - 1);
  if (section.end - 2 >= section.body && before.ends_with("\r\n\r\n")) return section.end - 2;
  return section.end;
}

std::optional<std::string> SaveCommand(ConfigStore& store, Prompter& prompter,
                                       std::string_view codeField, std::string_view earlierCode) {
  const std::string device = ToLower(store.currentDevice);
  const DeviceKind kind = GetDeviceKind(device);
  if (kind == DeviceKind::IrDimmer || kind == DeviceKind::Recorded ||
      kind == DeviceKind::Winamp || kind == DeviceKind::X10) {
    prompter.ShowStatus(kReadOnly);
    return std::nullopt;
  }
  if (!store.codeValidated) {
    prompter.ShowStatus(kNotValidated);
    return std::nullopt;
  }
  const std::string code(TrimBlanks(codeField));
  if (!IsValidCode(code)) {
    prompter.ShowStatus(kInvalidCodeToSave);
    return std::nullopt;
  }
  const std::string_view text = store.text;
  for (const std::string_view storedAs : {std::string_view(code), TrimBlanks(earlierCode)}) {
    if (const auto stored = FindStoredCommand(text, storedAs)) {
      prompter.ShowStatus(std::string(kCommandExists) + stored->command);
      return std::nullopt;
    }
  }

  // A device without a block of its own, or whose block takes no new line, cannot hold commands.
  const auto section = FindSection(text, store.currentDevice);
  const auto insertAt = section ? LastLineInsertPosition(text, *section) : std::nullopt;
  if (!insertAt) {
    prompter.ShowStatus(kReadOnly);
    return std::nullopt;
  }

  std::string name;
  while (true) {
    const auto answer = prompter.AskText(
        kNewCommandTitle,
        kNewCommandPrompt, "");
    if (!answer || TrimBlanks(*answer).empty()) return std::nullopt;
    name = *answer;
    if (!IsValidName(name)) {
      prompter.ShowMessage(kBadNameCharacters, MessageIcon::Exclamation, kMessageTitle);
      continue;
    }
    if (CommandNameInUse(text, store.currentDevice, name)) {
      prompter.ShowMessage(kCommandNameInUse,
                           MessageIcon::Exclamation, kMessageTitle);
      continue;
    }
    break;
  }

  const std::string line = code + "," + name + "\r\n";
  if (!CommitOrReport(store, prompter, InsertText(text, line, *insertAt)))
    return std::nullopt;
  store.codeValidated = false;
  store.currentCommand = name;
  return name;
}

bool DeleteCommand(ConfigStore& store, Prompter& prompter, std::string_view device,
                   std::string_view command) {
  store.currentDevice = ToLower(device);
  const DeviceKind kind = GetDeviceKind(store.currentDevice);
  if (kind == DeviceKind::Recorded) {
    prompter.ShowStatus(kVirtualReadOnly);
    return false;
  }
  if (kind == DeviceKind::X10 || kind == DeviceKind::IrDimmer) {
    prompter.ShowStatus(kReadOnly);
    return false;
  }
  store.currentCommand = std::string(command);
  if (EqualsIgnoreCase(command, "empty")) {
    prompter.ShowStatus(kNoMoreCommands);
    return false;
  }
  if (!prompter.AskYesNo("Do you want to delete the command " + std::string(command) +
                         " from the current device?",
                         kMessageTitle))
    return false;

  auto remaining = DeleteCommandLine(store);
  if (!remaining || !CommitOrReport(store, prompter, std::move(*remaining))) return false;
  prompter.ShowStatus("Command " + std::string(command) + " deleted successfully.");
  return true;
}

bool DeleteDevice(ConfigStore& store, Prompter& prompter, std::string_view device) {
  store.deviceDialogMode = DeviceDialogMode::Delete;
  store.currentDevice = std::string(device);
  const std::string lower = ToLower(device);
  const auto refuse = [&](std::string_view message) {
    prompter.ShowMessage(message, MessageIcon::Exclamation, kMessageTitle);
    return false;
  };
  if (lower == "recorded") return refuse(kRecordedNotDeletable);
  if (lower == "x10") return refuse(kX10NotDeletable);
  if (lower == "application" || lower == "ir dimmer" || lower == "winamp" || lower == "monitoring")
    return refuse(kReadOnly);
  if (!prompter.AskYesNo("Do you want to delete the device " + std::string(device) +
                         " from the current configuration file?",
                         kMessageTitle))
    return false;

  // The block goes from its header up to the next one, the blank line after it included; a
  // section that no header follows is the file's last and stays.
  const std::string_view text = store.text;
  const auto section = FindSection(text, device);
  if (!section || section->end > text.size()) return false;
  return CommitOrReport(store, prompter, DeleteText(text, section->start, section->end - 1));
}

namespace {

bool IsSoundFile(std::string_view path) {
  const std::string lower = ToLower(path);
  return lower.ends_with("wav") || lower.ends_with("mp3");
}

// A path the entry line can hold: no separator of the file's structure in it (a "[" would end
// the section, a "," the command line); a sound file also keeps to the command-name rules.
bool UsablePath(std::string path) {
  if (path.find_first_of("[],") != std::string::npos || HoldsLineBreak(path)) return false;
  return !IsSoundFile(path) || IsValidName(path);
}

// The [Application] section and where its new last line goes.
struct ApplicationBlock {
  Section section;
  std::size_t insertAt;
};

std::optional<ApplicationBlock> ApplicationSection(std::string_view text) {
  const auto section = FindSection(text, "Application");
  const auto insertAt = section ? LastLineInsertPosition(text, *section) : std::nullopt;
  if (!insertAt) return std::nullopt;
  return ApplicationBlock{*section, *insertAt};
}

bool InSection(std::string_view text, const Section& section, std::string_view needle) {
  const std::size_t hit = FindInText(needle, text, section.body);
  return hit != 0 && hit - needle.size() < section.end;
}

}  // namespace

bool AddApplication(ConfigStore& store, Prompter& prompter) {
  std::string path;
  std::optional<ApplicationBlock> block;
  while (true) {
    const auto chosen = prompter.AskOpenFile(
        kSelectFileTitle,
        platform::ProgramsHaveExtensions() ? kApplicationFilter : kExecutableApplicationFilter);
    if (!chosen || chosen->empty()) return false;
    path = *chosen;
    if (!UsablePath(path)) {
      prompter.ShowMessage(kInvalidFileName, MessageIcon::Exclamation, kApplicationBoxTitle);
      continue;
    }
    block = ApplicationSection(store.text);
    if (!block) return false;
    if (InSection(store.text, block->section, path)) {
      prompter.ShowMessage(kCommandLineExists, MessageIcon::Exclamation, kApplicationBoxTitle);
      continue;
    }
    break;
  }

  std::string name;
  while (true) {
    const auto answer = prompter.AskText(kApplicationBoxTitle, kEnterCommandName, "");
    if (!answer || TrimBlanks(*answer).empty()) {
      prompter.ShowStatus(kNoNewCommand);
      return false;
    }
    name = *answer;
    if (!IsValidName(name)) continue;
    if (InSection(store.text, block->section, name)) {
      prompter.ShowStatus(kCommandNameExists);
      continue;
    }
    break;
  }

  if (!IsSoundFile(path) && prompter.AskYesNo(kDisplayOn, kApplicationBoxTitle))
    path.insert(0, "@");
  const std::string line = path + "," + name + "\r\n";
  return CommitOrReport(store, prompter, InsertText(store.text, line, block->insertAt));
}

bool BeginNewDevice(ConfigStore& store, Prompter& prompter, std::string_view selectedDevice) {
  if (GetDeviceKind(selectedDevice) != DeviceKind::Recorded) {
    prompter.ShowStatus(kUseRecorded);
    return false;
  }
  store.deviceDialogMode = DeviceDialogMode::New;
  return true;
}

bool BeginEditDevice(ConfigStore& store, Prompter& prompter, std::string_view selectedDevice) {
  store.currentDevice = std::string(selectedDevice);
  const std::string lower = ToLower(selectedDevice);
  if (lower == "recorded") {
    prompter.ShowMessage(kRecordedNotEditable,
                         MessageIcon::Exclamation, kMessageTitle);
    return false;
  }
  if (lower == "ir dimmer" || lower == "application" || lower == "winamp") {
    prompter.ShowMessage(kReadOnly, MessageIcon::Exclamation, kMessageTitle);
    return false;
  }
  store.deviceDialogMode = DeviceDialogMode::Edit;
  return true;
}

std::string DeviceBlockText(const DeviceBlock& block, bool newDevice) {
  std::string text = newDevice ? "\r\n" : "";
  text += "[" + block.name + "]\r\n# " + block.description + "\r\n";
  text += "GPROTO=" + FormatNumber(block.gproto) + "\r\n";
  text += "SENDPLS=" + FormatNumber(block.sendplsUs) + "\r\n";
  text += "REPEAT=" + FormatNumber(block.repeatSlots) + "\r\n";
  text += "BITG= " + block.bitg + "\r\n";
  text += "BIT0= " + block.bit0 + "\r\n";
  text += "BIT1= " + block.bit1 + "\r\n";
  text += "GREPEAT=" + FormatNumber(block.grepeatSlots);
  if (newDevice) text += "\r\n\r\n";
  return text;
}

std::optional<std::string> InsertNewDevice(std::string_view text, std::string_view blockText) {
  const auto x10 = FindSection(text, "X10");
  if (!x10) return std::nullopt;
  // In front of the CR LF that ends the blank line before the header.
  const std::size_t cr = FindBack(text, '\r', x10->start);
  return InsertText(text, blockText, cr == 0 ? x10->start : cr);
}

std::optional<std::string> ReplaceDeviceBlock(std::string_view text, std::string_view device,
                                              std::string_view blockText) {
  // Only the device's own block: a GREPEAT line of a later section would take the blocks
  // between with it.
  const auto section = FindSection(text, device);
  if (!section) return std::nullopt;
  const std::size_t afterKey = FindInText("GREPEAT", text, section->body);
  if (afterKey == 0) return std::nullopt;
  const std::size_t cr = text.find('\r', afterKey - 1);
  if (cr == std::string_view::npos || cr + 1 >= section->end) return std::nullopt;
  return InsertText(DeleteText(text, section->start, cr), blockText, section->start);
}

}  // namespace qvx
