#include "qvx/config/general.h"

#include <optional>
#include <variant>
#include <vector>

#include "qvx/config/file.h"
#include "qvx/config/sections.h"
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

// Where LoadGeneral finds a key: the position after its "=" (0 when the key is missing) and the
// value read there (nothing when its line has no CR).
struct KeyHit {
  std::size_t afterEquals = 0;
  std::optional<std::string> value;
};

// Searches the keys in their order from the line after the [General] header, each from the
// previous hit; a missing key leaves the search where it was. Empty when there is no [General].
std::vector<KeyHit> FindKeys(std::string_view text, const std::vector<const KeySpec*>& keys) {
  const auto general = FindSection(text, "General");
  if (!general) return {};
  std::vector<KeyHit> hits(keys.size());
  std::size_t pos = general->body;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::size_t hit = FindInText(keys[i]->name + "=", text, pos);
    if (hit == 0) continue;
    hits[i] = {hit, ReadLineValue(text, hit)};
    pos = hit;
  }
  return hits;
}

std::vector<const KeySpec*> AllKeys() {
  std::vector<const KeySpec*> keys;
  for (const auto& key : KeyTable()) keys.push_back(&key);
  return keys;
}

// Reads the given keys of a text into params, as LoadGeneral does; the reason names what failed.
LoadResult ReadKeys(std::string_view text, const std::vector<const KeySpec*>& keys,
                    GeneralParams& params) {
  if (!FindSection(text, "End")) return {false, "the end marker [End] is missing"};
  const std::vector<KeyHit> hits = FindKeys(text, keys);
  if (hits.empty()) return {false, "the section [General] is missing"};

  std::string previous = "[General]";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::string pattern = keys[i]->name + "=";
    if (hits[i].afterEquals == 0)
      return {false, "the key " + pattern + " is missing after " + previous +
                         " (the general keys must appear in their fixed order)"};
    if (!hits[i].value) {
      const bool lfOnly = text.find('\r') == std::string_view::npos;
      return {false, "the line of " + pattern + " does not end with CR LF" +
                         (lfOnly ? std::string(" (the file has no CR at all)") : std::string())};
    }
    if (!StoreValue(params, keys[i]->field, *hits[i].value))
      return {false, "the value of " + pattern + " lies outside -32768 to 32767"};
    previous = pattern;
  }
  return {true, {}};
}

// Reads the file and the given keys of the general section.
LoadResult LoadKeys(ConfigStore& store, const std::vector<const KeySpec*>& keys) {
  std::string error;
  auto text = ReadConfigFile(store.path, error);
  if (!text) return {false, error, true};
  store.text = std::move(*text);
  store.fileText = store.text;
  store.version = ProgramVersion();
  return ReadKeys(store.text, keys, store.general);
}

}  // namespace

LoadResult LoadGeneral(ConfigStore& store) { return LoadKeys(store, AllKeys()); }

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

std::optional<std::size_t> KeyIndex(std::string_view key) {
  for (std::size_t i = 0; i < KeyTable().size(); ++i)
    if (EqualsIgnoreCase(KeyTable()[i].name, key)) return i;
  return std::nullopt;
}

// An optional sign and digits, with one decimal point among them when fraction is allowed.
bool IsNumber(std::string_view text, bool fraction) {
  if (text.starts_with('-') || text.starts_with('+')) text.remove_prefix(1);
  bool digit = false, point = false;
  for (const char c : text) {
    if (IsDigit(c)) {
      digit = true;
    } else if (c == '.' && fraction && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

// Why a (trimmed) value is not of the key's type as LoadGeneral reads it; nothing when it is.
std::optional<std::string> TypeRefusal(const KeySpec& key, std::string_view value) {
  const std::string quoted = " (not \"" + std::string(value) + "\").";
  const bool integer = std::holds_alternative<std::int16_t GeneralParams::*>(key.field) ||
                       std::holds_alternative<ITypeKey>(key.field);
  if (integer && (!IsNumber(value, false) || !ReadInteger16(value)))
    return key.name + " takes a whole number from -32768 to 32767" + quoted;
  if (std::holds_alternative<bool GeneralParams::*>(key.field) && !IsNumber(value, true))
    return key.name + " is a flag and takes a number, 1 for on and 0 for off" + quoted;
  return std::nullopt;
}

// The text with the value of key `index` replaced where LoadGeneral reads it, or, when the file
// would then read any key elsewhere or otherwise than as written (a value holding a later key's
// "KEY="), why not. Neither when the key or the end of its line is missing.
struct Rewrite {
  std::optional<std::string> text;
  std::string refusal;
};

Rewrite WithValue(std::string_view text, std::size_t index, std::string_view value) {
  const auto keys = AllKeys();
  const std::vector<KeyHit> before = FindKeys(text, keys);
  if (before.empty() || before[index].afterEquals == 0) return {};
  const std::size_t afterEquals = before[index].afterEquals;
  const std::size_t afterCr = FindInText("\r", text, afterEquals);
  if (afterCr == 0) return {};
  const std::size_t cr = afterCr - 1;

  // The character after "=" is the writers' blank and stays; a hand-written line without it
  // gets one instead of merging the old value's first character into the new value.
  std::string edited =
      afterEquals < cr && text[afterEquals - 1] == ' '
          ? InsertText(DeleteText(text, afterEquals + 1, cr - 1), value, afterEquals + 1)
          : InsertText(DeleteText(text, afterEquals, cr - 1), " " + std::string(value), afterEquals);

  // Every key must still be read from its own line: those after the edited one moved by the
  // change of length, the others not at all.
  const std::vector<KeyHit> after = FindKeys(edited, keys);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (before[i].afterEquals == 0) continue;
    const std::size_t where =
        i > index ? before[i].afterEquals + edited.size() - text.size() : before[i].afterEquals;
    const std::optional<std::string> expected =
        i == index ? std::optional<std::string>(value) : before[i].value;
    if (after[i].afterEquals != where || after[i].value != expected)
      return {std::nullopt, keys[index]->name + " cannot be set to \"" + std::string(value) +
                                "\": the file would read it as part of the key " +
                                keys[i]->name + "."};
  }
  return {std::move(edited), {}};
}

}  // namespace

std::optional<std::string> GeneralValueRefusal(std::string_view text, std::string_view key,
                                               std::string_view value) {
  const auto index = KeyIndex(key);
  if (!index) return std::string(key) + " is not a general key.";
  if (HoldsLineBreak(value))
    return "The value of " + KeyTable()[*index].name + " cannot hold a line break.";
  const std::string_view trimmed = TrimBlanks(value);
  if (auto refusal = TypeRefusal(KeyTable()[*index], trimmed)) return refusal;
  std::string refusal = WithValue(text, *index, trimmed).refusal;
  if (refusal.empty()) return std::nullopt;
  return refusal;
}

bool SetGeneralParam(ConfigStore& store, std::string_view key, std::string_view value) {
  store.lastError.clear();
  if (key.empty()) return false;
  if (auto refusal = GeneralValueRefusal(store.text, key, value)) {
    store.lastError = std::move(*refusal);
    return false;
  }
  const std::size_t index = *KeyIndex(key);
  const std::string_view trimmed = TrimBlanks(value);
  std::string refusal;
  const bool edited = EditConfigText(store, [&](std::string_view text) {
    Rewrite rewrite = WithValue(text, index, trimmed);
    refusal = std::move(rewrite.refusal);
    return std::move(rewrite.text);
  });
  if (!edited) {
    if (!refusal.empty()) store.lastError = std::move(refusal);
    return false;
  }
  StoreValue(store.general, KeyTable()[index].field, trimmed);
  return true;
}

void RefreshGeneral(GeneralParams& params, std::string_view before, std::string_view after) {
  const auto keys = AllKeys();
  const std::vector<KeyHit> was = FindKeys(before, keys), now = FindKeys(after, keys);
  for (std::size_t i = 0; i < now.size(); ++i) {
    const bool changed = was.empty() || now[i].value != was[i].value;
    if (now[i].value && changed) StoreValue(params, keys[i]->field, *now[i].value);
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
