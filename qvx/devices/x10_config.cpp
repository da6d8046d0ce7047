#include "qvx/devices/x10_config.h"

#include "qvx/config/general.h"
#include "qvx/config/sections.h"
#include "qvx/config/text.h"

namespace qvx::devices {
namespace {

constexpr std::string_view kEntryPrefix = "/X10/*";

bool InTable(int house, int unit) {
  return house >= 0 && house < kX10Houses && unit >= 0 && unit < kX10Units;
}

std::string& Field(X10NameTable& names, int house, int unit) {
  return names[static_cast<size_t>(house)][static_cast<size_t>(unit)];
}

std::string Padded(std::string_view name) {
  std::string field(name);
  field.resize(kX10NameChars, ' ');
  return field;
}

// The port number of an entry "COMn"; nullopt for anything else.
std::optional<int> PortNumberOf(std::string_view entry) {
  const long number = entry.size() > 3 ? LeadingDigits(entry.substr(3), 9999) : 0;
  if (number < 1) return std::nullopt;
  return static_cast<int>(number);
}

// The 0-based position of the first line break at or after `from`; npos when there is none.
std::size_t LineBreakAt(std::string_view text, std::size_t from) {
  return text.find_first_of("\r\n", from);
}

// The 0-based position just after the line that contains `from`; npos when it does not end.
std::size_t NextLine(std::string_view text, std::size_t from) {
  const std::size_t lf = text.find('\n', from);
  return lf == std::string_view::npos ? lf : lf + 1;
}

}  // namespace

X10PortChoice X10PortEntries(const std::vector<std::string>& comList, int irPort, int x10Com) {
  X10PortChoice choice;
  const std::string irEntry = "com" + std::to_string(irPort);
  for (const std::string& entry : comList) {
    if (ToLower(entry) == irEntry) continue;
    if (x10Com > 0 && entry == "COM" + std::to_string(x10Com))
      choice.selected = static_cast<int>(choice.entries.size());
    choice.entries.push_back(entry);
  }
  if (x10Com == 0) choice.selected = static_cast<int>(choice.entries.size());
  choice.entries.emplace_back(kX10DefaultPort);
  return choice;
}

std::string X10NameAt(const X10NameTable& names, int house, int unit) {
  if (!InTable(house, unit)) return {};
  return std::string(TrimBlanks(names[static_cast<size_t>(house)][static_cast<size_t>(unit)]));
}

std::vector<std::string> X10TableNames(const X10NameTable& names) {
  std::vector<std::string> result;
  for (int house = 0; house < kX10Houses; ++house)
    for (int unit = 0; unit < kX10Units; ++unit)
      if (std::string name = X10NameAt(names, house, unit); !name.empty())
        result.push_back(std::move(name));
  return result;
}

bool AddX10Module(X10NameTable& names, int house, int unit, std::string_view text,
                  Prompter& prompter) {
  const std::string name(TrimBlanks(text));
  if (name.empty()) return false;
  if (name.size() > kX10NameChars) {
    prompter.ShowMessage(kX10NameTooLong, MessageIcon::Exclamation, kMessageTitle);
    return false;
  }
  if (name.find_first_of(",[]") != std::string::npos) {
    prompter.ShowMessage(kX10NameCharacters, MessageIcon::NoIcon, kMessageTitle);
    return false;
  }
  // Without a house and a unit chosen there is no field to store the name in.
  if (!InTable(house, unit)) return false;
  if (const auto existing = FindX10Module(names, name)) {
    if (*existing != std::pair{house, unit})
      prompter.ShowMessage(kX10NameTaken, MessageIcon::Exclamation, kMessageTitle);
    return false;
  }
  if (!X10NameAt(names, house, unit).empty() &&
      !prompter.AskYesNo(kX10ModifyQuestion, kMessageTitle))
    return false;
  Field(names, house, unit) = Padded(name);
  return true;
}

bool DeleteX10Module(X10NameTable& names, int house, int unit, std::string_view text,
                     Prompter& prompter) {
  if (TrimBlanks(text).empty()) return false;
  if (!prompter.AskYesNo(kX10DeleteQuestion, kMessageTitle)) return false;
  if (!InTable(house, unit)) return false;
  Field(names, house, unit) = Padded("");
  return true;
}

std::optional<std::string> RewriteX10Section(std::string_view configText,
                                             const X10NameTable& names) {
  const auto section = FindSection(configText, "X10");
  if (!section || section->end > configText.size()) return std::nullopt;
  const std::size_t afterHeader = section->start + section->name.size() + 2;  // after its "]"
  const std::size_t second = NextLine(configText, afterHeader - 1);
  if (second == std::string_view::npos) return std::nullopt;
  // The entries go in front of the line break that ends the description line, or of the
  // header's own when that line is already an entry (it would otherwise survive a deletion).
  const bool secondIsEntry = ToLower(configText.substr(second, kEntryPrefix.size())) == "/x10/*";
  const std::size_t insertAt = LineBreakAt(configText, secondIsEntry ? afterHeader - 1 : second);
  if (insertAt == std::string_view::npos) return std::nullopt;
  const std::size_t next = section->end - 1;
  if (next < insertAt) return std::nullopt;

  std::string block;
  for (int house = 0; house < kX10Houses; ++house) {
    for (int unit = 0; unit < kX10Units; ++unit) {
      const std::string name = X10NameAt(names, house, unit);
      if (name.empty()) continue;
      block += std::string(kEntryPrefix) + static_cast<char>('a' + house) +
               std::to_string(unit + 1) + "," + name + "\r\n";
    }
  }
  return std::string(configText.substr(0, insertAt)) + "\r\n" + block + "\r\n" +
         std::string(configText.substr(next));
}

bool SaveX10Config(ConfigStore& store, X10State& state, const X10NameTable& names,
                   std::string_view portEntry, bool disabled) {
  store.lastError.clear();
  auto text = RewriteX10Section(store.text, names);
  if (!text || CommitConfigText(store, std::move(*text)) != CommitResult::Saved) return false;

  int port = store.general.x10Com;
  if (EqualsIgnoreCase(portEntry, kX10DefaultPort)) {
    port = 0;
  } else if (const auto number = PortNumberOf(portEntry)) {
    port = *number;
  }
  if (port != store.general.x10Com) CloseX10Port(state);
  const bool portWritten = SetGeneralParam(store, "X10COM", " " + std::to_string(port));
  const bool enableWritten = SetGeneralParam(store, "X10ENA", disabled ? " 0" : " 1");
  return portWritten && enableWritten;
}

void YieldX10PortToInfrared(X10State& state, int x10Com, std::string_view irPortEntry) {
  if (x10Com >= 1 && PortNumberOf(irPortEntry) == x10Com) CloseX10Port(state);
}

}  // namespace qvx::devices
