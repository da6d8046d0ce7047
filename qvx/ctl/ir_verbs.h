#pragma once

// The infrared verbs of qvxctl: encode and send a stored command, learn from the configured
// port, decode a recording kept in a file.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"
#include "qvx/ircode/learning.h"

namespace qvx {

struct ConfigStore;

// encode DEVICE COMMAND: prints the pulse text of the command (the first transmission's, RC5
// toggle bit 1); 1 when the device parameters or the command cannot be found.
int EncodeVerb(ConfigStore& store, const platform::Services& services,
               std::span<const std::string> args, std::ostream& out,
               std::ostream& err);
// send DEVICE COMMAND: sends the command on the configured port and prints the result text;
// 0 when it was transmitted, 1 otherwise.
int SendVerb(ConfigStore& store, const platform::Services& services,
             std::span<const std::string> args, std::ostream& out,
             std::ostream& err);
// learn: records one press on the configured port with the configured receiver type and prints
// the decode; 0 when a code was decoded, 1 otherwise.
int LearnVerb(ConfigStore& store, const platform::Services& services,
              std::span<const std::string> args, std::ostream& out,
              std::ostream& err);
// decode FILE: decodes a recording of at most 600 bytes as IRRecord delivers them and prints
// the decode; 0 when a code was decoded, 1 otherwise (also for a file that cannot be used).
int DecodeVerb(ConfigStore& store, const platform::Services& services,
               std::span<const std::string> args, std::ostream& out,
               std::ostream& err);

// ports: lists COM1 to COM30 where present, one a line: the name, a tab, what it stands for, a
// tab, the kind of device (a kernel infrared device opened briefly to tell what it can do);
// always 0.
int PortsVerb(ConfigStore& store, const platform::Services& services,
              std::span<const std::string> args, std::ostream& out, std::ostream& err);

// The bytes of a recording file of at most 600 bytes; nothing, with the reason written to err,
// when it cannot be read or is longer.
std::optional<std::vector<uint8_t>> ReadRecordingFile(const std::string& path, std::ostream& err);

// The protocol name of a coding type: NEC, SONY, RC5, or UNK.
std::string_view ProtocolName(int codingType);

// Prints a learning result as key=value lines: protocol, unit, code, bits, rpt, gtype, toggle,
// address, command, pulse, message, each only when the recording got that far.
void PrintDecode(const ircode::LearnResult& result, std::ostream& out);

}  // namespace qvx
