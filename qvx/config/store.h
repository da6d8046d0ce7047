#pragma once

// The process-wide state of the configuration store. One instance per program (one per request in
// the gateways), passed by reference to every operation.

#include <filesystem>
#include <string>

#include "qvx/config/general.h"

namespace qvx {

// What the device definition dialog was opened for.
enum class DeviceDialogMode { New = 0, Edit = 1, Delete = 2 };

struct ConfigStore {
  std::filesystem::path path;      // the file that is read and saved
  std::string text;                // ConfigText: the whole file as read and as last saved
  std::string importText;          // a file opened for import; never written
  GeneralParams general;           // GeneralParams
  std::string version;             // "major.minor.revision", built by LoadGeneral
  std::string currentDevice;       // current (output) device
  std::string currentCommand;      // current (output) command
  bool codeValidated = false;      // a learned code has been accepted and may be saved
  DeviceDialogMode deviceDialogMode = DeviceDialogMode::New;
  bool importMode = false;         // the import/export dialog imports (true) or exports
  std::string lastError;           // why the last save failed
};

// Saves newText as the configuration; only when the file was written does it become ConfigText.
// Returns false, with the reason in lastError, when the save failed; nothing is lost then.
bool CommitConfigText(ConfigStore& store, std::string newText);

}  // namespace qvx
