#pragma once

// The general section of the configuration: thirty keys in a fixed order.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx {

struct ConfigStore;

// Values of the general keys, typed as the file defines them.
struct GeneralParams {
  std::int16_t comPort = 0;       // COMPORT: infrared interface on COMn
  std::int16_t protocol = 0;      // PROTOCOL: index of the device selected last
  std::int16_t procDelay = 0;     // PROCDELAY: sampling calibration delay
  std::int16_t receiverType = 0;  // ITYPE modulo 16
  std::int16_t outputMode = 0;    // ITYPE divided by 16
  bool beepOn = false;            // BEEPON
  bool irInEna = false;           // IRINENA
  bool irOutEna = false;          // IROUTENA
  std::int16_t x10Com = 0;        // X10COM
  bool x10Ena = false;            // X10ENA
  bool irDimEna = false;          // IRDIMENA
  bool applicationEna = false;    // APPLICATIONENA
  bool winampEna = false;         // WINAMPENA
  std::string winampPath;         // WINAMPPATH
  std::int16_t btCom = 0;         // BTCOM
  bool btEna = false;             // BTENA
  std::int16_t btMode = 0;        // BTMODE
  std::array<std::string, 10> bt;  // BT0 .. BT9
  std::int16_t btCurrent = 0;     // BTCURRENT
  bool mouseEna = false;          // MOUSEENA
  bool keyboardEna = false;       // KEYBOARDENA
  bool monitor = false;           // MONITOR
};

// The general keys in file order (BT0 to BT9 as ten keys).
const std::array<std::string, 30>& GeneralKeys();

// Outcome of loading the general section: ok, or the reason the file is invalid.
struct LoadResult {
  bool ok = false;
  std::string reason;
  bool unreadable = false;  // the file itself could not be read (as opposed to invalid content)
};

// Reads store.path into ConfigText and loads the general section, key by key in table order.
// On failure the keys read so far stay stored and the reason names what was missing.
LoadResult LoadGeneral(ConfigStore& store);

// The gateways' load: the file and the twelve keys COMPORT to WINAMPPATH without IRINENA, in
// order; every other general value is off. Fails as LoadGeneral does.
LoadResult LoadGatewayConfig(ConfigStore& store);

// Why value cannot be written as the general key `key` of text, in words for the user: key is no
// general key; value holds a line break; an integer key's value is not a whole number from -32768
// to 32767 or a flag's not a number; or the file would then read some key otherwise than as
// written. Nothing when it can (or when text lacks the key, which SetGeneralParam reports).
std::optional<std::string> GeneralValueRefusal(std::string_view text, std::string_view key,
                                               std::string_view value);

// Replaces the value of a general key where LoadGeneral reads it and saves the file; the key's
// field in GeneralParams follows. The edit is made on the file as it is now (EditConfigText), so
// a newer save of another program stays. Returns false (file unchanged) when the value is
// refused (GeneralValueRefusal, the reason in store.lastError), the key or its line end is
// missing (lastError empty), or the save fails (lastError says why).
bool SetGeneralParam(ConfigStore& store, std::string_view key, std::string_view value);

// Takes over into params the general values that differ between two texts of the file: what
// another program changed when the store reads the file again.
void RefreshGeneral(GeneralParams& params, std::string_view before, std::string_view after);

// The value of a flag key (BEEPON, IRINENA, X10ENA, MONITOR, ...); nullopt for another key.
std::optional<bool> GeneralFlag(const GeneralParams& params, std::string_view key);

// Switches a flag key over and writes it as "1" or "0", saving the file. Returns the new value,
// or nullopt (nothing changed) when the key is no flag or the file could not be saved.
std::optional<bool> ToggleGeneralFlag(ConfigStore& store, std::string_view key);

}  // namespace qvx
