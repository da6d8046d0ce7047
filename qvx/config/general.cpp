#include "qvx/config/general.h"

#include <optional>
#include <variant>
#include <vector>

#include "qvx/config/file.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"

namespace qvx {
namespace {

struct ITypeKey {};
struct BtEntry {
  std::size_t index;
};
using Field = std::variant<std::int16_t GeneralParams::*, bool GeneralParams::*,
                           std::string GeneralParams::*, ITypeKey, BtEntry>;

struct KeySpec {
  std::string name;
  Field field;
};

const std::array<KeySpec, 30>& KeyTable() {
  static const std::array<KeySpec, 30> table = {{
      {"COMPORT", &GeneralParams::comPort},
      {"PROTOCOL", &GeneralParams::protocol},
      {"PROCDELAY", &GeneralParams::procDelay},
      {"ITYPE", ITypeKey{}},
      {"BEEPON", &GeneralParams::beepOn},
      {"IRINENA", &GeneralParams::irInEna},
      {"IROUTENA", &GeneralParams::irOutEna},
      {"X10COM", &GeneralParams::x10Com},
      {"X10ENA", &GeneralParams::x10Ena},
      {"IRDIMENA", &GeneralParams::irDimEna},
      {"APPLICATIONENA", &GeneralParams::applicationEna},
      {"WINAMPENA", &GeneralParams::winampEna},
      {"WINAMPPATH", &GeneralParams::winampPath},
      {"BTCOM", &GeneralParams::btCom},
      {"BTENA", &GeneralParams::btEna},
      {"BTMODE", &GeneralParams::btMode},
      {"BT0", BtEntry{0}}, {"BT1", BtEntry{1}}, {"BT2", BtEntry{2}}, {"BT3", BtEntry{3}},
      {"BT4", BtEntry{4}}, {"BT5", BtEntry{5}}, {"BT6", BtEntry{6}}, {"BT7", BtEntry{7}},
      {"BT8", BtEntry{8}}, {"BT9", BtEntry{9}},
      {"BTCURRENT", &GeneralParams::btCurrent},
      {"MOUSEENA", &GeneralParams::mouseEna},
      {"KEYBOARDENA", &GeneralParams::keyboardEna},
      {"MONITOR", &GeneralParams::monitor},
  }};
  return table;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A flag is on when the leading number of its text is not zero ("0.5" is on, "abc" is off).
bool ParseFlag(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  bool seenPoint = false;
  for (; i < text.size(); ++i) {
    if (text[i] == '.' && !seenPoint) {
      seenPoint = true;
    } else if (!IsDigit(text[i])) {
      break;
    } else if (text[i] != '0') {
      return true;
    }
  }
  return false;
}

// Stores one value; false when an integer is out of the 16-bit range.
bool StoreValue(GeneralParams& params, const Field& field, std::string_view value) {
  struct Visitor {
    GeneralParams& params;
    std::string_view value;
    bool operator()(std::int16_t GeneralParams::*member) const {
      const auto number = ReadInteger16(value);
      if (number) params.*member = *number;
      return number.has_value();
    }
    bool operator()(bool GeneralParams::*member) const {
      params.*member = ParseFlag(value);
      return true;
    }
    bool operator()(std::string GeneralParams::*member) const {
      params.*member = std::string(value);
      return true;
    }
    bool operator()(ITypeKey) const {
      const auto number = ReadInteger16(value);
      if (!number) return false;
      params.receiverType = static_cast<std::int16_t>(*number % 16);
      params.outputMode = static_cast<std::int16_t>(*number / 16);
      return true;
    }
    bool operator()(BtEntry entry) const {
      params.bt[entry.index] = std::string(value);
      return true;
    }
  };
  return std::visit(Visitor{params, value}, field);
}

std::string ProgramVersion() { return QVX_VERSION; }

}  // namespace

const std::array<std::string, 30>& GeneralKeys() {
  static const std::array<std::string, 30> keys = [] {
    std::array<std::string, 30> names;
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = KeyTable()[i].name;
    return names;
  }();
  return keys;
}

namespace {

// Reads the file and the given keys of the general section, each searched from the previous hit.
LoadResult LoadKeys(ConfigStore& store, const std::vector<const KeySpec*>& keys) {
  std::string error;
  auto text = ReadConfigFile(store.path, error);
  if (!text) return {false, error, true};
  store.text = std::move(*text);
  store.fileText = store.text;
  store.version = ProgramVersion();

  const std::string_view config = store.text;
  if (FindInText("[End]", config, 1) == 0) return {false, "the end marker [End] is missing"};
  std::size_t pos = FindInText("[General]", config, 1);
  if (pos == 0) return {false, "the section [General] is missing"};

  std::string previous = "[General]";
  for (const KeySpec* key : keys) {
    const std::string pattern = key->name + "=";
    pos = FindInText(pattern, config, pos);
    if (pos == 0)
      return {false, "the key " + pattern + " is missing after " + previous +
                         " (the general keys must appear in their fixed order)"};
    const auto value = ReadLineValue(config, pos);
    if (!value) {
      const bool lfOnly = config.find('\r') == std::string_view::npos;
      return {false, "the line of " + pattern + " does not end with CR LF" +
                         (lfOnly ? std::string(" (the file has no CR at all)") : std::string())};
    }
    if (!StoreValue(store.general, key->field, *value))
      return {false, "the value of " + pattern + " lies outside -32768 to 32767"};
    previous = pattern;
  }
  return {true, {}};
}

}  // namespace

LoadResult LoadGeneral(ConfigStore& store) {
  std::vector<const KeySpec*> keys;
  for (const auto& key : KeyTable()) keys.push_back(&key);
  return LoadKeys(store, keys);
}

LoadResult LoadGatewayConfig(ConfigStore& store) {
  // The gateways read the keys up to WINAMPPATH except IRINENA; everything else stays off.
  store.general = GeneralParams{};
  std::vector<const KeySpec*> keys;
  for (const auto& key : KeyTable()) {
    if (key.name == "IRINENA") continue;
    keys.push_back(&key);
    if (key.name == "WINAMPPATH") break;
  }
  return LoadKeys(store, keys);
}

namespace {

// The text with key's value in the general section replaced; nothing when the key or its line
// end is missing.
std::optional<std::string> WithValue(std::string_view text, std::string_view key,
                                     std::string_view value) {
  const std::size_t general = FindInText("[General]", text, 1);
  if (general == 0) return std::nullopt;
  const std::size_t afterEquals = FindInText(std::string(key) + "=", text, general);
  if (afterEquals == 0) return std::nullopt;
  const std::size_t afterCr = FindInText("\r", text, afterEquals);
  if (afterCr == 0) return std::nullopt;
  const std::size_t cr = afterCr - 1;

  // The character after "=" is the writers' blank and stays; a hand-written line without it
  // gets one instead of merging the old value's first character into the new value.
  if (afterEquals < cr && text[afterEquals - 1] == ' ')
    return InsertText(DeleteText(text, afterEquals + 1, cr - 1), value, afterEquals + 1);
  return InsertText(DeleteText(text, afterEquals, cr - 1), " " + std::string(value), afterEquals);
}

// The value of a general key as LoadGeneral reads it, searched from [General] on.
std::optional<std::string> KeyValue(std::string_view text, std::string_view key) {
  const std::size_t general = FindInText("[General]", text, 1);
  if (general == 0) return std::nullopt;
  const std::size_t pos = FindInText(std::string(key) + "=", text, general);
  if (pos == 0) return std::nullopt;
  return ReadLineValue(text, pos);
}

}  // namespace

bool SetGeneralParam(ConfigStore& store, std::string_view key, std::string_view value) {
  if (key.empty()) return false;
  const std::string_view trimmed = TrimBlanks(value);
  if (!EditConfigText(store, [&](std::string_view text) { return WithValue(text, key, trimmed); }))
    return false;

  for (const auto& [name, field] : KeyTable())
    if (EqualsIgnoreCase(name, key)) StoreValue(store.general, field, trimmed);
  return true;
}

void RefreshGeneral(GeneralParams& params, std::string_view before, std::string_view after) {
  for (const auto& [name, field] : KeyTable()) {
    const auto now = KeyValue(after, name);
    if (now && now != KeyValue(before, name)) StoreValue(params, field, *now);
  }
}

std::optional<bool> GeneralFlag(const GeneralParams& params, std::string_view key) {
  for (const auto& [name, field] : KeyTable()) {
    if (!EqualsIgnoreCase(name, key)) continue;
    if (const auto* flag = std::get_if<bool GeneralParams::*>(&field)) return params.**flag;
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<bool> ToggleGeneralFlag(ConfigStore& store, std::string_view key) {
  const auto current = GeneralFlag(store.general, key);
  if (!current) return std::nullopt;
  if (!SetGeneralParam(store, key, *current ? "0" : "1")) return std::nullopt;
  return !*current;
}

}  // namespace qvx
