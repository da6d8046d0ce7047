#pragma once

// The operations of the X10 configuration dialog: the port choice, the module names and
// addresses it edits in the X10 name table, and the OK button that writes the [X10] section,
// the port and the enable flag back to the configuration.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qvx/config/prompter.h"
#include "qvx/config/store.h"
#include "qvx/devices/x10.h"

namespace qvx::devices {

// The entry of the port list that makes X10 share the infrared port (X10COM 0).
inline constexpr std::string_view kX10DefaultPort = "Default";

// The texts of the dialog's buttons.
inline constexpr std::string_view kX10NameTooLong = "The X10 device name must be less than 20 characters!";
inline constexpr std::string_view kX10NameCharacters =
    "The X10 Device Name cannot contain the following characters: \",\", \"[\" and \"]\" !";
inline constexpr std::string_view kX10NameTaken = "There is another device with this name!";
inline constexpr std::string_view kX10ModifyQuestion =
    "Do you want to modify the description for the current device?";
inline constexpr std::string_view kX10DeleteQuestion = "Do you want to delete the selected device?";

// The port list of the dialog: every entry of the main window's port list except the infrared
// port, then "Default"; `selected` is the entry of X10COM ("Default" for 0), -1 when none is.
struct X10PortChoice {
  std::vector<std::string> entries;
  int selected = -1;
};
X10PortChoice X10PortEntries(const std::vector<std::string>& comList, int irPort, int x10Com);

// The trimmed name at house and unit 0..15; empty when the field is free or outside the table.
std::string X10NameAt(const X10NameTable& names, int house, int unit);

// Every stored name, trimmed, house by house (A1, A2, .. A16, B1, ..).
std::vector<std::string> X10TableNames(const X10NameTable& names);

// The Add/Modify button: stores the trimmed name at house and unit 0..15 after its checks
// (at most 20 characters, none of "," "[" "]", no other module of that name) and, when the
// field holds another name, the question whether to replace it. True when it was stored.
bool AddX10Module(X10NameTable& names, int house, int unit, std::string_view text,
                  Prompter& prompter);

// The Delete button: unless the name is empty or the user answers No, frees the field at house
// and unit 0..15. True when a field was freed.
bool DeleteX10Module(X10NameTable& names, int house, int unit, std::string_view text,
                     Prompter& prompter);

// The configuration text with the [X10] entries replaced by those of the table, house by
// house, after the header and its description line; nullopt when the header, its description
// line or a following section is missing.
std::optional<std::string> RewriteX10Section(std::string_view configText, const X10NameTable& names);

// The OK button: writes the entries, X10COM from the chosen port entry ("Default" 0, "COMn" n;
// a port of its own that changes is closed first) and X10ENA (off when `disabled`), saving
// the file. False, with nothing written, when the section cannot be rewritten or saved; lastError
// then says why (kFileChangedMeanwhile when another program saved the file meanwhile).
bool SaveX10Config(ConfigStore& store, X10State& state, const X10NameTable& names,
                   std::string_view portEntry, bool disabled);

// Before the main window's port list entry `irPortEntry` ("COMn") becomes the infrared port:
// when it is the X10 port (X10COM), closes X10's own handle, so that the infrared port can be
// opened there and X10 shares it from then on.
void YieldX10PortToInfrared(X10State& state, int x10Com, std::string_view irPortEntry);

}  // namespace qvx::devices
