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
#include "qvx/config/store.h"
#include "qvx/config/text.h"

namespace qvx {
namespace {

// The first lines of an exported file; the import check looks for the program's name in them.
constexpr std::string_view kExportHeader =
    "# Zarvel Rezoru Zazudaz configuration file\r\n# Exported devices and sections\r\n\r\n";

// The header that holds the first occurrence of pattern: the 1-based position of its "[" and
// its line.
struct Header {
  std::size_t bracket;
  std::string line;
};

// The text from position pos (1-based) up to the next CR LF.
std::string LineFrom(std::string_view text, std::size_t pos) {
  const std::size_t crlf = text.find("\r\n", pos - 1);
  return std::string(
      text.substr(pos - 1, crlf == std::string_view::npos ? crlf : crlf - (pos - 1)));
}

std::optional<Header> FindHeader(std::string_view pattern, std::string_view text) {
  const std::size_t hit = FindInText(pattern, text, 1);
  if (hit == 0) return std::nullopt;
  const std::size_t bracket = FindBack(text, '[', hit - pattern.size());
  if (bracket == 0) return std::nullopt;
  return Header{bracket, LineFrom(text, bracket)};
}

// The name inside a header line "[name]".
std::string HeaderName(std::string_view line) {
  std::string_view name = TrimBlanks(line);
  if (name.starts_with('[')) name.remove_prefix(1);
  if (name.ends_with(']')) name.remove_suffix(1);
  return std::string(name);
}

// The names of the sections after [General], in file order, up to the end marker. A header is
// a line that begins with "[" (a "[" inside a line, such as a keyboard key, is not one).
std::vector<std::string> SectionNames(std::string_view text) {
  std::vector<std::string> names;
  std::size_t pos = FindInText("[General]", text, 1);
  if (pos == 0) return names;
  for (std::size_t at = text.find("\n[", pos - 1); at != std::string_view::npos;
       at = text.find("\n[", at + 1)) {
    const std::size_t end = text.find('\r', at + 1);
    if (end == std::string_view::npos) break;
    std::string name = HeaderName(text.substr(at + 1, end - (at + 1)));
    if (EqualsIgnoreCase(name, "end")) break;
    names.push_back(std::move(name));
  }
  return names;
}

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

// [X10], [Application], [Monitoring]: the lines after the description line that the
// configuration lacks go after the last line of its section holding the same description.
bool MergeSectionLines(ConfigStore& store, Prompter& prompter, std::string_view pattern,
                       const Header& header) {
  const std::string_view import = store.importText;
  const std::size_t afterDescription = import.find('\n', header.bracket + header.line.size() + 1);
  if (afterDescription == std::string_view::npos) return false;
  const std::size_t first = afterDescription + 2;
  const std::size_t next = FindInText("[", import, first);
  const std::size_t last = next == 0 ? import.size() : next - 2;

  std::string text = store.text;
  const std::size_t hit = FindInText(pattern, text, 1);
  if (hit == 0) return false;
  const std::size_t bracket = FindInText("[", text, hit);
  if (bracket == 0) return false;
  std::size_t end = bracket - 2;  // 0-based index of the "["
  while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;

  for (const std::string_view line : LinesBetween(import, first, last)) {
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
  const std::size_t general = FindInText("[General]", import, 1);
  if (general == 0) return false;
  const std::size_t next = FindInText("[", import, general);
  const std::size_t last = next == 0 ? import.size() : next - 2;
  const auto& keys = GeneralKeys();
  std::string updated = std::string(kUpdatedGeneral) + "\r\n\r\n";
  for (const std::string_view line : LinesBetween(import, general, last)) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key(TrimBlanks(line.substr(0, equals)));
    const std::string_view value = line.substr(equals + 1);
    // Only general keys: SetGeneralParam finds a key anywhere after [General], so a device's
    // GPROTO= would otherwise be overwritten.
    const bool generalKey = std::any_of(keys.begin(), keys.end(), [&](const std::string& k) {
      return EqualsIgnoreCase(k, key);
    });
    if (!generalKey || !SetGeneralParam(store, key, value))
      prompter.ShowMessage("The parameter " + key + " is invalid.\r\nIt will not be loaded.",
                           MessageIcon::Information, kMessageTitle);
    updated += key + "=" + std::string(value) + "\r\n";
  }
  prompter.ShowMessage(updated, MessageIcon::Information, kMessageTitle);
  return true;
}

// A device block: asks before replacing an existing one, asks for the new name and places the
// block before [X10]. The configuration changes only when the whole import succeeds.
bool ImportDevice(ConfigStore& store, Prompter& prompter, std::string_view pattern) {
  std::string text = store.text;
  if (const std::size_t hit = FindInText(pattern, text, 1); hit != 0) {
    const std::size_t next = FindInText("[", text, hit);
    const std::size_t bracket = FindBack(text, '[', hit - pattern.size());
    // Only a device block can be overridden: text that merely appears in [General] or a
    // special section does not make those sections go.
    const std::string name = bracket == 0 ? std::string() : HeaderName(LineFrom(text, bracket));
    if (next != 0 && bracket != 0 && !IsSpecialSection(name) &&
        !EqualsIgnoreCase(name, "general") && !EqualsIgnoreCase(name, "end")) {
      if (!prompter.AskOkCancel("The device " + std::string(pattern) +
                                    " exist in the current configuration file.\r\nDo you want "
                                    "to override it?",
                                kOverrideTitle))
        return false;
      text = DeleteText(text, bracket, FindBack(text, '\n', next - 1));
    }
  }

  std::string name;
  while (true) {
    const auto answer =
        prompter.AskText(kMessageTitle, "Enter a device name for: " + std::string(pattern) + ".", "");
    if (!answer) return false;
    name = std::string(TrimBlanks(*answer));
    if (name.empty()) return false;
    if (name.find_first_of("[]#,") != std::string::npos) {
      prompter.ShowMessage(kImportNameCharacters, MessageIcon::Exclamation, kMessageTitle);
      continue;
    }
    if (FindInText("[" + name + "]", text, 1) != 0) {
      prompter.ShowMessage(std::string(kAnotherDeviceNamed) + name, MessageIcon::Exclamation,
                           kMessageTitle);
      continue;
    }
    break;
  }

  const std::string_view import = store.importText;
  const std::size_t hit = FindInText(pattern, import, 1);
  const std::size_t next = hit == 0 ? 0 : FindInText("[", import, hit);
  if (next == 0) return false;
  const std::size_t lineStart = FindBack(import, '\n', hit - pattern.size()) + 1;
  const std::string block = "[" + name + "]\r\n" +
                            std::string(Between(import, lineStart, FindBack(import, '\n', next - 1)));
  const std::size_t x10 = FindInText("[X10]", text, 1);
  if (x10 == 0) {
    prompter.ShowMessage(kNoX10Section, MessageIcon::Exclamation, kMessageTitle);
    return false;
  }
  const std::size_t x10Line = FindBack(text, '\n', x10 - 5) + 1;
  return CommitOrReport(store, prompter, InsertText(text, block, x10Line));
}

}  // namespace

bool IsImportableText(std::string_view text) {
  return FindInText("Rezoru Zazudaz", text, 1) != 0 && FindInText("[General]", text, 1) != 0 &&
         FindInText("[End]", text, 1) != 0;
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
  const auto header = FindHeader(pattern, text);
  return header ? header->line : std::string();
}

bool ExportSection(const ConfigStore& store, std::string& exportText, std::string_view pattern) {
  const std::string_view text = store.text;
  const std::size_t hit = FindInText(pattern, text, 1);
  if (hit == 0) return false;
  const std::size_t next = FindInText("[", text, hit);
  const std::size_t bracket = FindBack(text, '[', hit - pattern.size());
  if (next == 0 || bracket == 0) return false;
  exportText += Between(text, bracket, next - 2);
  return true;
}

bool ImportSection(ConfigStore& store, Prompter& prompter, std::string_view pattern) {
  const auto header = FindHeader(pattern, store.importText);
  if (!header) return false;
  if (IsSpecialSection(HeaderName(header->line)))
    return MergeSectionLines(store, prompter, pattern, *header);
  if (EqualsIgnoreCase(pattern, "[General]")) return ImportGeneral(store, prompter);
  return ImportDevice(store, prompter, pattern);
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
  for (const auto& name : SectionNames(store.importMode ? store.importText : store.text))
    view.entries.push_back(GetDeviceDescription(store, name, store.importMode));
  return view;
}

std::string BuildExportText(const ConfigStore& store, const std::vector<std::string>& ticked,
                            std::string& collected) {
  std::string exportText(kExportHeader);
  collected.clear();
  if (ExportSection(store, exportText, "[General]")) collected += "[General]\r\n";
  for (const auto& entry : ticked)
    if (ExportSection(store, exportText, entry)) collected += entry + "\r\n";
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
    std::error_code ec;
    if (std::filesystem::exists(file, ec) &&
        !prompter.AskYesNo("The file " + file + " exist.\r\nDo you want to replace it?",
                           kFileExistTitle))
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
