#pragma once

// Import and export of devices: configuration files of the same format move devices, the
// general parameters and the special sections between installations. Every section is named by
// its description line, which is what the list shows and what the operations search for.

#include <string>
#include <string_view>
#include <vector>

namespace qvx {

struct ConfigStore;
class Prompter;

// The system's texts of import and export (status line, message boxes, questions, dialogs).
inline constexpr std::string_view kNotAConfigFile = "This is not a valid configuration file!";
inline constexpr std::string_view kCannotReadFile = "The file cannot be read: ";
inline constexpr std::string_view kOpenFileTitle = "Open Configuration File";
inline constexpr std::string_view kOpenFileFilter =
    "Configuration Files (*.cfg)|*.cfg|Text Files (*.txt)|*.txt|All Files (*.*)|*.*";
inline constexpr std::string_view kExportFileTitle = "Export Configuration File";
inline constexpr std::string_view kExportFileFilter = "Configuration Files (*.cfg)|*.cfg";
inline constexpr std::string_view kExportHint = "Check the items to export and click Export";
inline constexpr std::string_view kImportHint = "Check the items to import and click Import";
inline constexpr std::string_view kExportCaption = "&Export";
inline constexpr std::string_view kImportCaption = "&Import";
inline constexpr std::string_view kImported = "The following devices has been imported successfully:";
inline constexpr std::string_view kExported = "The following devices has been exported successfully:";
inline constexpr std::string_view kUpdatedGeneral = "Updated general parameters:";
inline constexpr std::string_view kOverrideTitle = "Device override";
inline constexpr std::string_view kFileExistTitle = "File exist";
inline constexpr std::string_view kImportNameCharacters =
    "Device name cannot contain the following characters: [ ] , # ";
inline constexpr std::string_view kAnotherDeviceNamed = "There is another device named ";
inline constexpr std::string_view kNameLineBreak = "A device name cannot hold a line break.";
// Follows "The file " and the name chosen for an export.
inline constexpr std::string_view kExportOntoConfig =
    " is the configuration file in use; export to another file.";

// True when a text may be imported: it holds "Rezoru Zazudaz", "[General]" and "[End]".
bool IsImportableText(std::string_view text);

// File > Import: asks for a file, reads it into the import text and checks it. Returns true
// when the import dialog may open; a refused file leaves "This is not a valid configuration
// file!" on the status line.
bool OpenImportFile(ConfigStore& store, Prompter& prompter);

// File > Export: the dialog opens for export.
void BeginExport(ConfigStore& store);

// The header line of the first listed section of text described by pattern (its description
// equal to pattern, ignoring case). Empty when there is none.
std::string FindHeaderOf(std::string_view pattern, std::string_view text);

// Appends to exportText the section that the dialog entry pattern stands for ("[General]", or
// the first section described by it), from its header up to the next one. False (nothing
// appended) when there is no such section or no header follows it.
bool ExportSection(const ConfigStore& store, std::string& exportText, std::string_view pattern);

// Merges the section of the import text that the entry pattern stands for into the
// configuration and saves it: the lines of [X10], [Application] and [Monitoring] that are new,
// into the configuration's section of the same name; the general keys through SetGeneralParam;
// or a device block under a name asked for, replacing (after asking) the device described alike.
// Returns false when nothing was imported; a device import that is cancelled or fails leaves
// the configuration as it was, and a failed save stops a [General] import.
bool ImportSection(ConfigStore& store, Prompter& prompter, std::string_view pattern);

// What the import/export dialog shows when it opens.
struct ImportFormView {
  bool importMode = false;
  std::string hint;                  // the list's tool tip
  std::string buttonCaption;         // "&Import" or "&Export"
  std::vector<std::string> entries;  // one per section, its description
  std::string notice;                // which sections share a description (empty when none)
};

// The dialog for store.importMode: in export mode the sections of the configuration after
// [General], in import mode "[General]" and the sections of the import text.
ImportFormView OpenImportForm(const ConfigStore& store);

// The export text for the ticked entries: a comment header, the general block, each ticked
// section once and "[End]". collected receives the entries written, each followed by CR LF.
std::string BuildExportText(const ConfigStore& store, const std::vector<std::string>& ticked,
                            std::string& collected);

// The export file's name as chosen: ".cfg" appended unless the name ends in it (any case).
std::string ExportFileName(std::string name);

// ImportButton: imports or exports the ticked entries and reports what succeeded. An export is
// never written onto the configuration file in use. Returns true when the dialog closes; false
// when nothing was ticked, the save dialog was cancelled or the export file could not be
// written (then nothing was written).
bool PressImportButton(ConfigStore& store, Prompter& prompter,
                       const std::vector<std::string>& ticked);

}  // namespace qvx
