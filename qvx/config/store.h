#pragma once

// The process-wide state of the configuration store. One instance per program (one per request in
// the gateways), passed by reference to every operation.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "qvx/config/general.h"

namespace qvx {

// What the device definition dialog was opened for.
enum class DeviceDialogMode { New = 0, Edit = 1, Delete = 2 };

struct ConfigStore {
  std::filesystem::path path;      // the file that is read and saved
  std::string text;                // ConfigText: the whole file as read and as last saved
  std::string fileText;            // the file as this store last read or wrote it (empty: none)
  std::string importText;          // a file opened for import; never written
  GeneralParams general;           // GeneralParams
  std::string version;             // "major.minor.revision", built by LoadGeneral
  std::string currentDevice;       // current (output) device
  std::string currentCommand;      // current (output) command
  bool codeValidated = false;      // a learned code has been accepted and may be saved
  DeviceDialogMode deviceDialogMode = DeviceDialogMode::New;
  bool importMode = false;         // the import/export dialog imports (true) or exports
  std::string lastError;           // why the last save or general value was refused or failed
};

// Why a whole new text was not saved when the file had changed under it.
inline constexpr std::string_view kFileChangedMeanwhile =
    "Another program saved the configuration file meanwhile; it has been read again. "
    "Please repeat the action.";

enum class CommitResult {
  Saved,
  FileChanged,  // refused: the text was built from an older file; the store now holds the new one
  Failed,       // the file could not be read or written; lastError says why
};

// Saves newText, built from ConfigText, as the configuration. While other programs' writers wait,
// the file is read again: when another program saved a configuration since this store last read
// or wrote it, newText would drop that save, so it is refused with kFileChangedMeanwhile in
// lastError and the store takes over the file as it is now (text and general values). A missing
// or empty file is never taken over: newText replaces it. Nothing is lost either way.
CommitResult CommitConfigText(ConfigStore& store, std::string newText);

// Applies edit to the file as it is now and saves the result: an edit of a few lines of its own
// (one general key) is as valid on another program's newer file as on ConfigText, so the store
// takes that file over first (a missing or empty file is not taken over: the edit is made on
// ConfigText). False, with nothing saved, when edit finds nothing to change (lastError
// empty) or the file could not be read or written.
bool EditConfigText(ConfigStore& store,
                    const std::function<std::optional<std::string>(std::string_view)>& edit);

}  // namespace qvx
