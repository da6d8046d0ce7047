#include "qvx/config/importform.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "platform/files.h"
#include "qvx/config/devices.h"
#include "qvx/config/editing.h"
#include "qvx/config/file.h"
#include "qvx/config/general.h"
#include "qvx/config/prompter.h"
#include "qvx/config/sections.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"

namespace qvx {
namespace {

// The first lines of an exported file; the import check looks for the program's name in them.
constexpr std::string_view kExportHeader =
    "# Zarvel Rezoru Zazudaz configuration file\r\n# Exported devices and sections\r\n\r\n";

// The lines of text from position first to last (1-based), without their CR LF.
std::vector<std::string_view> LinesBetween(std::string_view text, std::size_t first,
                                           std::size_t last) {
  std::vector<std::string_view> lines;
  std::string_view rest = Between(text, first, last);
  while (!rest.empty()) {
    const std::size_t lf = rest.find('\n');
    std::string_view line = rest.substr(0, lf);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    if (lf == std::string_view::npos) break;
    rest.remove_prefix(lf + 1);
  }
  return lines;
}

bool IsSpecialSection(std::string_view name) {
  const std::string lower = ToLower(TrimBlanks(name));
  return lower == "x10" || lower == "application" || lower == "monitoring";
}

bool IsGeneralEntry(std::string_view entry) { return EqualsIgnoreCase(entry, "[General]"); }

// Where a section's lines begin once its description line is left out: the line after that
// line, or the body when it has none.
std::size_t AfterDescription(std::string_view text, const Section& section) {
  const auto description = DescriptionOf(text, section);
  if (!description) return section.body;
  const std::size_t lf = text.find('\n', description->line - 1);
  return lf == std::string_view::npos ? text.size() + 1 : lf + 2;
}

// [X10], [Application], [Monitoring]: the lines of the imported section that the configuration
// lacks go after the last line of the configuration's section of the same name, whatever that
// one's description says.
bool MergeSectionLines(ConfigStore& store, Prompter& prompter, const Section& imported) {
  const std::string_view import = store.importText;
  std::string text = store.text;
  const auto target = FindSection(text, imported.name);
  if (!target || target->end > text.size()) return false;
  std::size_t end = target->end - 1;  // 0-based index of the next header
  while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;

  for (const std::string_view line :
       LinesBetween(import, AfterDescription(import, imported), imported.end - 1)) {
    if (TrimBlanks(line).empty()) continue;
    // Compared as whole lines: "C:\x.exe,Run" is new beside "@C:\x.exe,Run".
    if (FindInText("\n" + std::string(line) + "\r", text, 1) != 0) continue;
    text = InsertText(text, "\r\n" + std::string(line), end + 1);
  }
  return CommitOrReport(store, prompter, std::move(text));
}

// [General]: every key line of the import file goes through SetGeneralParam.
bool ImportGeneral(ConfigStore& store, Prompter& prompter) {
  const std::string_view import = store.importText;
  const auto general = FindSection(import, "General");
  if (!general) return false;
  std::string updated = std::string(kUpdatedGeneral) + "\r\n\r\n";
  for (const std::string_view line : LinesBetween(import, general->body, general->end - 1)) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key(TrimBlanks(line.substr(0, equals)));
    const std::string_view value = line.substr(equals + 1);
    updated += key + "=" + std::string(value) + "\r\n";
    // A key the configuration does not have, or a value it could not load, is skipped; a save
    // that fails stops the import.
    if (!GeneralValueRefusal(store.text, key, value)) {
      if (SetGeneralParam(store, key, value)) continue;
      if (!store.lastError.empty()) {
        prompter.ShowMessage(std::string(kSaveFailed) + store.lastError, MessageIcon::Critical,
                             kMessageTitle);
        return false;
      }
    }
    prompter.ShowMessage("The parameter " + key + " is invalid.\r\nIt will not be loaded.",
                         MessageIcon::Information, kMessageTitle);
  }
  prompter.ShowMessage(updated, MessageIcon::Information, kMessageTitle);
  return true;
}

// Whether a name given to an imported device can stand in its header: none of the characters
// the header or a list would split at, and no line break. Shows why when not.
bool UsableImportName(std::string_view name, Prompter& prompter) {
  if (HoldsLineBreak(name)) {
    prompter.ShowMessage(kNameLineBreak, MessageIcon::Exclamation, kMessageTitle);
    return false;
  }
  if (name.find_first_of("[]#,") != std::string_view::npos) {
    prompter.ShowMessage(kImportNameCharacters, MessageIcon::Exclamation, kMessageTitle);
    return false;
  }
  return true;
}

// A device block: asks before replacing the device that has the same description, asks for the
// new name and places the block before [X10]. The configuration changes only when the whole
// import succeeds.
bool ImportDevice(ConfigStore& store, Prompter& prompter, std::string_view pattern,
                  const Section& source) {
  const std::string_view import = store.importText;
  if (source.end > import.size()) return false;
  std::string text = store.text;
  // Only a device block can be overridden, not [General] or a special section.
  if (const auto existing = FindDescribedSection(text, pattern);
      existing && existing->end <= text.size() && !IsSpecialSection(existing->name)) {
    if (!prompter.AskOkCancel("The device " + std::string(pattern) +
                                  " exist in the current configuration file.\r\nDo you want "
                                  "to override it?",
                              kOverrideTitle, MessageIcon::Exclamation))
      return false;
    text = DeleteText(text, existing->start, existing->end - 1);
  }

  std::string name;
  while (true) {
    const auto answer =
        prompter.AskText(kMessageTitle, "Enter a device name for: " + std::string(pattern) + ".", "");
    if (!answer) return false;
    name = std::string(TrimBlanks(*answer));
    if (name.empty()) return false;
    if (!UsableImportName(name, prompter)) continue;
    if (FindSection(text, name)) {
      prompter.ShowMessage(std::string(kAnotherDeviceNamed) + name, MessageIcon::Exclamation,
                           kMessageTitle);
      continue;
    }
    break;
  }

  const auto description = DescriptionOf(import, source);
  const std::size_t first = description ? description->line : source.body;
  const std::string block =
      "[" + name + "]\r\n" + std::string(Between(import, first, source.end - 1));
  const auto x10 = FindSection(text, "X10");
  if (!x10) {
    prompter.ShowMessage(kNoX10Section, MessageIcon::Exclamation, kMessageTitle);
    return false;
  }
  return CommitOrReport(store, prompter, InsertText(text, block, x10->start));
}

// The section an entry of the dialog stands for: [General] by its name, any other by its
// description.
std::optional<Section> EntrySection(std::string_view text, std::string_view entry) {
  return IsGeneralEntry(entry) ? FindSection(text, "General") : FindDescribedSection(text, entry);
}

// Appends a section, from its header up to the next one, to exportText; false when there is no
// section or no header follows it.
bool AppendSection(std::string_view text, const std::optional<Section>& section,
                   std::string& exportText) {
  if (!section || section->end > text.size()) return false;
  exportText += Between(text, section->start, section->end - 1);
  return true;
}

// Says which sections share a description, and that an entry stands for the first of them.
std::string SharedDescriptions(std::string_view text, const std::vector<Section>& sections) {
  std::string notice;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const std::string_view description = DescriptionText(text, sections[i]);
    for (std::size_t first = 0; first < i; ++first) {
      if (!SameDescription(DescriptionText(text, sections[first]), description)) continue;
      const std::string taken = "[" + std::string(sections[first].name) + "]";
      if (!notice.empty()) notice += "\r\n";
      notice += "[" + std::string(sections[i].name) + "] has the same description as " + taken +
                ", \"" + std::string(description) + "\": that entry stands for " + taken + ".";
      break;
    }
  }
  return notice;
}

// Whether two names lead to the same file, existing or not.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  const std::filesystem::path first = std::filesystem::weakly_canonical(a, ec);
  if (ec) return false;
  const std::filesystem::path second = std::filesystem::weakly_canonical(b, ec);
  return !ec && first == second;
}

}  // namespace

bool IsImportableText(std::string_view text) {
  return FindInText("Rezoru Zazudaz", text, 1) != 0 && FindSection(text, "General") &&
         FindSection(text, "End");
}

bool OpenImportFile(ConfigStore& store, Prompter& prompter) {
  store.importMode = true;
  const auto path = prompter.AskOpenFile(kOpenFileTitle, kOpenFileFilter);
  if (!path || path->empty()) return false;
  std::string error;
  auto text = ReadConfigFile(*path, error);
  if (!text) {
    prompter.ShowStatus(std::string(kCannotReadFile) + error);
    return false;
  }
  store.importText = std::move(*text);
  if (!IsImportableText(store.importText)) {
    prompter.ShowStatus(kNotAConfigFile);
    return false;
  }
  return true;
}

void BeginExport(ConfigStore& store) { store.importMode = false; }

std::string FindHeaderOf(std::string_view pattern, std::string_view text) {
  const auto section = FindDescribedSection(text, pattern);
  if (!section) return {};
  std::string_view line = Between(text, section->start, section->body - 1);
  while (line.ends_with('\n') || line.ends_with('\r')) line.remove_suffix(1);
  return std::string(line);
}

bool ExportSection(const ConfigStore& store, std::string& exportText, std::string_view pattern) {
  return AppendSection(store.text, EntrySection(store.text, pattern), exportText);
}

bool ImportSection(ConfigStore& store, Prompter& prompter, std::string_view pattern) {
  if (IsGeneralEntry(pattern)) return ImportGeneral(store, prompter);
  const auto source = FindDescribedSection(store.importText, pattern);
  if (!source) return false;
  if (IsSpecialSection(source->name)) return MergeSectionLines(store, prompter, *source);
  return ImportDevice(store, prompter, pattern, *source);
}

ImportFormView OpenImportForm(const ConfigStore& store) {
  ImportFormView view;
  view.importMode = store.importMode;
  if (store.importMode) {
    view.hint = kImportHint;
    view.buttonCaption = kImportCaption;
    view.entries.push_back("[General]");
  } else {
    view.hint = kExportHint;
    view.buttonCaption = kExportCaption;
  }
  const std::string_view text = store.importMode ? store.importText : store.text;
  const std::vector<Section> sections = ListedSections(text);
  for (const Section& section : sections) view.entries.emplace_back(DescriptionText(text, section));
  view.notice = SharedDescriptions(text, sections);
  return view;
}

std::string BuildExportText(const ConfigStore& store, const std::vector<std::string>& ticked,
                            std::string& collected) {
  const std::string_view text = store.text;
  std::string exportText(kExportHeader);
  collected.clear();
  if (AppendSection(text, FindSection(text, "General"), exportText)) collected += "[General]\r\n";
  // Entries that share a description stand for one section, which is written once.
  std::vector<std::size_t> written;
  for (const auto& entry : ticked) {
    const auto section = FindDescribedSection(text, entry);
    if (!section || std::find(written.begin(), written.end(), section->start) != written.end() ||
        !AppendSection(text, section, exportText))
      continue;
    written.push_back(section->start);
    collected += entry + "\r\n";
  }
  return exportText + "[End]";
}

std::string ExportFileName(std::string name) {
  if (name.size() < 4 || !EqualsIgnoreCase(std::string_view(name).substr(name.size() - 4), ".cfg"))
    name += ".cfg";
  return name;
}

bool PressImportButton(ConfigStore& store, Prompter& prompter,
                       const std::vector<std::string>& ticked) {
  if (ticked.empty()) return false;
  std::string collected;
  if (store.importMode) {
    for (const auto& entry : ticked)
      if (ImportSection(store, prompter, entry)) collected += entry + "\r\n";
    prompter.ShowMessage(std::string(kImported) + "\r\n" + collected, MessageIcon::Information,
                         kMessageTitle);
    return true;
  }

  const std::string exportText = BuildExportText(store, ticked, collected);
  std::string file;
  while (true) {
    const auto chosen = prompter.AskSaveFile(kExportFileTitle, kExportFileFilter, "cfg");
    if (!chosen || chosen->empty()) return false;
    file = ExportFileName(*chosen);
    // Exporting onto the configuration in use would replace it by the few sections ticked.
    if (SameFile(file, store.path)) {
      prompter.ShowMessage("The file " + file + std::string(kExportOntoConfig),
                           MessageIcon::Exclamation, kMessageTitle);
      continue;
    }
    std::error_code ec;
    if (std::filesystem::exists(file, ec) &&
        !prompter.AskYesNo("The file " + file + " exist.\r\nDo you want to replace it?",
                           kFileExistTitle, MessageIcon::Exclamation))
      continue;
    break;
  }
  // Written in one step: a place that cannot be written keeps whatever file was there.
  if (const platform::Status written = platform::AtomicWriteFile(file, exportText + "\r\n");
      !written) {
    prompter.ShowMessage("The file " + file + " could not be written: " + written.osText(),
                         MessageIcon::Critical, kMessageTitle);
    return false;
  }
  prompter.ShowMessage(std::string(kExported) + "\r\n" + collected, MessageIcon::Information,
                       kMessageTitle);
  return true;
}

}  // namespace qvx
