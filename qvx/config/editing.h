#pragma once

// The editing actions behind the main window's Save and Delete buttons and its device menus.
// Each checks its refusals, asks through the Prompter, edits the configuration text and saves it.

#include <optional>
#include <string>
#include <string_view>

namespace qvx {

struct ConfigStore;
struct Section;
class Prompter;

// The system's texts of the editing actions (status line, message boxes and questions).
inline constexpr std::string_view kReadOnly = "This is a read-only device!";
inline constexpr std::string_view kSaveFailed = "The configuration file could not be saved: ";
inline constexpr std::string_view kNotValidated =
    "The command is not yet validated! Pres again Record button to validate.";
inline constexpr std::string_view kInvalidCodeToSave = "The code you want to save is invalid.";
inline constexpr std::string_view kCommandExists = "This command exist as ";
inline constexpr std::string_view kNewCommandTitle = "Input new command name";
inline constexpr std::string_view kNewCommandPrompt =
    "Enter the name for the new command.\r\nDo not use '[' ']' ',' '%' '&' characters";
inline constexpr std::string_view kBadNameCharacters = "Do not use [ ] , #  characters!";
inline constexpr std::string_view kCommandNameInUse =
    "This command name is in use for the current device!";
inline constexpr std::string_view kVirtualReadOnly = "This is a virtual read-only device!";
inline constexpr std::string_view kNoMoreCommands =
    "There are no more commands to delete for the current device!";
inline constexpr std::string_view kRecordedNotDeletable =
    "Recorded is a virtual device and cannot be deleted!";
inline constexpr std::string_view kX10NotDeletable = "The X10 device cannot be deleted!";
inline constexpr std::string_view kUseRecorded =
    "Use 'Recorded' virtual device to create a new device";
inline constexpr std::string_view kRecordedNotEditable =
    "Recorded is a virtual device and cannot be edited!";
// Shown when a device is to be placed before [X10] in a file that lacks the section.
inline constexpr std::string_view kNoX10Section =
    "The configuration file has no [X10] section to place the device before!";

// Saves newText as the configuration; when another program saved the file meanwhile, or the
// file cannot be written, tells the user in a message box and returns false (nothing is lost;
// after the first the store holds the newer file and the action can be repeated).
bool CommitOrReport(ConfigStore& store, Prompter& prompter, std::string newText);

// Where a new last line of a section is inserted: in front of the CR LF of the blank line before
// the next header, or, in a hand-edited file without the blank line, at the start of the header's
// line. Nothing when no header follows: the save cuts the text after its last "]", so a line
// after the last header would be lost.
std::optional<std::size_t> LastLineInsertPosition(std::string_view text, const Section& section);

// Saves a learned code as a new command of the current device, asking for its name. A key that
// is already stored (FindStoredCommand) under the code or under earlierCode, the code an earlier
// version read from the same recording, is refused. Returns the new command's name, or nothing
// when the action was refused, cancelled or could not be saved.
std::optional<std::string> SaveCommand(ConfigStore& store, Prompter& prompter,
                                       std::string_view codeField,
                                       std::string_view earlierCode = {});

// Deletes a command of a device after asking. Returns true when the line was removed and saved.
bool DeleteCommand(ConfigStore& store, Prompter& prompter, std::string_view device,
                   std::string_view command);

// Deletes a device block with its commands after asking. Returns true when it was removed and saved.
bool DeleteDevice(ConfigStore& store, Prompter& prompter, std::string_view device);

// Whether the device definition dialog may open for a new device (only from Recorded).
bool BeginNewDevice(ConfigStore& store, Prompter& prompter, std::string_view selectedDevice);

// Whether the device definition dialog may open to edit the selected device.
bool BeginEditDevice(ConfigStore& store, Prompter& prompter, std::string_view selectedDevice);

// The name, description and protocol parameters of a device block as the definition dialog
// writes them.
struct DeviceBlock {
  std::string name, description;
  long gproto = -1, sendplsUs = 0, repeatSlots = 0;
  std::string bitg, bit0, bit1;
  long grepeatSlots = 0;
};

// The block text: for a new device from the blank line before the header to the blank line after
// GREPEAT; for an edited one from the header to the end of the GREPEAT value.
std::string DeviceBlockText(const DeviceBlock& block, bool newDevice);

// The text with a new device's block placed right before the [X10] section; nothing when the
// text has no [X10] section to place it before.
std::optional<std::string> InsertNewDevice(std::string_view text, std::string_view blockText);

// The text with device's header and parameter lines (up to the end of its GREPEAT line) replaced
// by an edited block; the command lines after them stay. Nothing when the header or a GREPEAT
// line after it is missing.
std::optional<std::string> ReplaceDeviceBlock(std::string_view text, std::string_view device,
                                              std::string_view blockText);

// The texts of Add application; its message boxes have a title of their own.
inline constexpr std::string_view kApplicationBoxTitle = "Application Start/Stop";
inline constexpr std::string_view kSelectFileTitle = "Select file to run";
inline constexpr std::string_view kApplicationFilter =
    "Executable Files (*.exe;*.com)|*.exe;*.com|Batch Files (*.bat;*.cmd)|*.bat;*.cmd|"
    "Sound Files (*.wav;*.mp3)|*.wav;*.mp3";
// The same where programs and scripts have no extensions of their own: any file the user may
// execute (kExecutableFiles), and the sound files.
inline constexpr std::string_view kExecutableApplicationFilter =
    "Programs and Scripts|<executable>|Sound Files (*.wav;*.mp3)|*.wav;*.mp3";
inline constexpr std::string_view kInvalidFileName =
    "The name of the file contains invalid characters!";
inline constexpr std::string_view kCommandLineExists =
    "This command line exist in the configuration file.";
inline constexpr std::string_view kEnterCommandName = "Enter the command name";
inline constexpr std::string_view kNoNewCommand = "No new command defined";
inline constexpr std::string_view kCommandNameExists =
    "This command name exist in the configuration file.";
inline constexpr std::string_view kDisplayOn = "Display ON?";

// Add application: asks for a program, batch or sound file and a command name until both are
// usable and new, asks whether a program's window is shown ("@"), and adds the entry as the last
// line of [Application]. Returns true when the entry was added and saved; false when the user
// cancelled, the section is missing or the file could not be saved.
bool AddApplication(ConfigStore& store, Prompter& prompter);

}  // namespace qvx
