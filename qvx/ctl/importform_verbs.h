#pragma once

// The import and export verbs of qvxctl: the import/export dialog's operations, its questions
// answered by the command's options.

#include <iosfwd>
#include <span>
#include <string>

#include "platform/services.h"

namespace qvx {

struct ConfigStore;

// export FILE DESCRIPTION... [--replace]: writes the general block and the sections with these
// descriptions to FILE (".cfg" appended unless it ends so); an existing file is replaced only
// with --replace. 0 when the file was written, 1 otherwise.
int ExportVerb(ConfigStore& store, const platform::Services& services,
               std::span<const std::string> args, std::ostream& out, std::ostream& err);

// import FILE DESCRIPTION [--name NAME] [--replace]: merges one section of FILE ("[General]",
// a special section, or a device stored as NAME); an existing device is overridden only with
// --replace. 0 when the section was imported, 1 otherwise.
int ImportVerb(ConfigStore& store, const platform::Services& services,
               std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace qvx
