// Feeds arbitrary configuration text to everything that reads pelgrin.cfg: the general loads of
// the main program and the gateways, the device and command lists of both, the code and
// parameter lookups, the output command split, and the editing, import and export operations,
// whose saves go to a file of the process's scratch directory.
//
// Input: the configuration text (edited only when it loads, as in the programs), optionally
// followed by NUL-separated fields: device (edited when the window lists it), command, code
// bits, a byte string of Yes/No answers (low bit of each byte), then the texts typed into the
// input and file boxes. Without them, names found in the text itself are used.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "qvx/config/devices.h"
#include "qvx/config/editing.h"
#include "qvx/config/general.h"
#include "qvx/config/importform.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"
#include "qvx/ircode/deviceparams.h"

namespace qvx::fuzz {
namespace {

// Enough names to reach every kind of device without making one input cost much.
constexpr std::size_t kMaxDevices = 6;
constexpr std::size_t kMaxCommands = 6;

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string_view Field(const std::vector<std::string_view>& fields, std::size_t index) {
  return index < fields.size() ? fields[index] : std::string_view();
}

void CheckLoad(const LoadResult& result, const ConfigStore& store, std::string_view text) {
  Check(!result.unreadable, "the scratch file is readable");
  Check(store.text == text, "the loaded text is the file's");
  Check(result.ok || !result.reason.empty(), "a refused file names its reason");
  if (result.ok) {
    Check(FindInText("[General]", text, 1) != 0 && FindInText("[End]", text, 1) != 0,
          "a loaded file has [General] and [End]");
  }
}

void CheckList(std::string_view list) {
  Check(list.empty() || list.back() == ',', "a list is comma-terminated");
  Check(FillListFromText(list).size() == static_cast<std::size_t>(std::count(list.begin(), list.end(), ',')),
        "a list has one entry per comma");
}

// The lookups of one device; the text view covers exactly the input, so that a search reading
// past its end is caught.
void LookUpDevice(ConfigStore& store, std::string_view text, const std::string& device,
                  Variant variant, std::vector<std::string>& codes) {
  const std::string commands = CommandListText(store, device, variant);
  CheckList(commands);
  Check(!commands.empty(), "every device has a command list");
  if (variant == Variant::MainProgram) {
    const CommandList list = LoadCommandList(store, device);
    Check(store.currentDevice == device, "loading a command list selects the device");
    Check(!list.entries.empty(), "the window's command list is never empty");
  }
  const std::vector<std::string> names = ListDeviceCommands(text, device);
  for (std::size_t i = 0; i < names.size() && i < kMaxCommands; ++i) {
    if (const auto code = FindCommandCode(text, device, names[i]); code && code->size() > 1)
      codes.push_back(code->substr(1));
  }
  const auto within = FindDeviceParams(text, device, ParamScope::WithinSection);
  const auto beyond = FindDeviceParams(text, device, ParamScope::AcceptBeyondSection);
  Check(!within || beyond, "parameters found within the section are found beyond it too");
  if (within) {
    Check(within->gproto == beyond->gproto && within->grepeat == beyond->grepeat,
          "both scopes read the same lines");
    ircode::DeviceParamsFromTexts(within->gproto, within->sendpls, within->repeat, within->bitg,
                                  within->bit0, within->bit1, within->grepeat);
  }
  GetDeviceDescription(store, device, false);
  GetDeviceDescription(store, device, true);
}

void CheckSplit(ConfigStore& store, std::string_view command) {
  const std::string device = store.currentDevice, previous = store.currentCommand;
  SplitOutputCommand(store, command);
  if (command.find('&') == std::string_view::npos) {
    Check(store.currentDevice == device && store.currentCommand == previous,
          "a text without & changes nothing");
  } else {
    Check(store.currentDevice + "&" + store.currentCommand == command,
          "device and command put together give the text");
  }
}

// After an editing action: the file always holds the text in memory, a changed text ends its
// last section, and a refused action changed nothing.
void CheckEdit(bool done, const ConfigStore& store, const std::string& before) {
  Check(FileText(store.path) == store.text, "the file holds the text in memory");
  if (!done) Check(store.text == before, "a refused edit changes nothing");
  if (store.text != before) Check(store.text.ends_with("]\r\n"), "a saved text ends with ]\\r\\n");
}

// Device and command are copies: the actions set the store's current device and command.
void Edit(ConfigStore& store, const std::vector<std::string_view>& fields, const std::string device,
          const std::string command, const std::string code) {
  ScriptPrompter prompter;
  for (const unsigned char answer : Field(fields, 4)) prompter.answers.push_back((answer & 1) != 0);
  for (std::size_t i = 5; i < fields.size(); ++i) prompter.texts.emplace_back(fields[i]);
  if (prompter.texts.empty()) prompter.texts = {"Mute", "/usr/bin/true", "Run"};
  if (prompter.answers.empty()) prompter.answers = {true, true, true, true};

  std::string before = store.text;
  store.currentDevice = device;
  store.codeValidated = true;
  const auto name = SaveCommand(store, prompter, "G" + code);
  CheckEdit(name.has_value(), store, before);
  if (name) {
    std::string trimmed = *name;
    Check(IsValidName(trimmed) && trimmed == *name, "a saved command name is valid and trimmed");
    Check(FindCommandCode(store.text, device, *name) == "G" + code,
          "the saved command holds its code");
  }

  before = store.text;
  CheckEdit(DeleteCommand(store, prompter, device, command), store, before);
  before = store.text;
  CheckEdit(AddApplication(store, prompter), store, before);

  DeviceBlock block;
  block.name = device;
  block.description = command;
  block.bitg = code;
  const std::string newBlock = DeviceBlockText(block, true);
  if (const auto inserted = InsertNewDevice(store.text, newBlock)) {
    Check(inserted->find(newBlock) != std::string::npos, "the new block is in the text");
    before = store.text;
    CheckEdit(CommitOrReport(store, prompter, *inserted), store, before);
  }
  const std::string edited = DeviceBlockText(block, false);
  if (const auto replaced = ReplaceDeviceBlock(store.text, device, edited)) {
    Check(replaced->find(edited) != std::string::npos, "the edited block is in the text");
    before = store.text;
    CheckEdit(CommitOrReport(store, prompter, *replaced), store, before);
  }

  const std::string& key = GeneralKeys()[code.size() % GeneralKeys().size()];
  before = store.text;
  CheckEdit(SetGeneralParam(store, key, command), store, before);
  before = store.text;
  const auto toggled = ToggleGeneralFlag(store, key);
  CheckEdit(toggled.has_value(), store, before);
  if (toggled) Check(GeneralFlag(store.general, key) == toggled, "a toggled flag is stored");

  // Import and export with the input as the file to import from.
  store.importText = std::string(fields[0]);
  IsImportableText(store.importText);
  FindHeaderOf(command, store.text);
  std::string exported;
  ExportSection(store, exported, device);
  store.importMode = true;
  const ImportFormView view = OpenImportForm(store);
  if (!view.entries.empty()) {
    before = store.text;
    CheckEdit(ImportSection(store, prompter, view.entries.back()), store, before);
  }
  store.importMode = false;
  std::string collected;
  const std::string exportText = BuildExportText(store, OpenImportForm(store).entries, collected);
  Check(exportText.find("[End]") != std::string::npos, "an export text ends with [End]");

  before = store.text;
  CheckEdit(DeleteDevice(store, prompter, device), store, before);
}

}  // namespace
}  // namespace qvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace qvx;
  using namespace qvx::fuzz;
  const std::vector<std::string_view> fields = SplitFields(data, size);
  const std::string_view text = fields[0];
  const std::filesystem::path path = WriteScratchFile("pelgrin.cfg", text);

  ConfigStore main;
  main.path = path;
  const LoadResult loaded = LoadGeneral(main);
  CheckLoad(loaded, main, text);
  ConfigStore gateway;
  gateway.path = path;
  CheckLoad(LoadGatewayConfig(gateway), gateway, text);
  Check(!gateway.general.irInEna && !gateway.general.btEna && !gateway.general.mouseEna,
        "the gateways read no key after WINAMPPATH and no IRINENA");

  std::vector<std::string> devices;
  if (!Field(fields, 1).empty()) devices.emplace_back(Field(fields, 1));
  for (const auto& name : SectionNamesAfterGeneral(text)) devices.push_back(name);
  std::vector<std::string> codes;
  if (!Field(fields, 3).empty()) codes.emplace_back(Field(fields, 3));
  for (const auto& [store, variant] :
       {std::pair{&main, Variant::MainProgram}, std::pair{&gateway, Variant::Gateway}}) {
    const std::string list = BuildDeviceList(*store, variant);
    CheckList(list);
    for (const auto& entry : FillListFromText(list)) devices.push_back(entry);
    for (std::size_t i = 0; i < devices.size() && i < 2 * kMaxDevices; ++i) {
      LookUpDevice(*store, text, devices[i], variant, codes);
      CheckSplit(*store, devices[i]);
    }
  }
  for (std::size_t i = 0; i < codes.size() && i < kMaxCommands; ++i)
    for (int protocol = 0; protocol < 3; ++protocol) FindCodeInConfig(main, codes[i], protocol);
  CheckSplit(main, Field(fields, 2));

  // The actions work on a device of the window's list, as a user picks one.
  const std::vector<std::string> offered = FillListFromText(BuildDeviceList(main, Variant::MainProgram));
  const bool named = std::find(offered.begin(), offered.end(), Field(fields, 1)) != offered.end();
  main.currentDevice = named ? std::string(Field(fields, 1))
                             : offered.empty() ? std::string() : offered.front();
  main.currentCommand = std::string(Field(fields, 2));
  if (main.currentCommand.empty()) {
    const auto names = ListDeviceCommands(text, main.currentDevice);
    if (!names.empty()) main.currentCommand = names.front();
  }
  if (const auto remaining = DeleteCommandLine(main))
    Check(remaining->size() < text.size(), "deleting a command line shortens the text");

  // The programs edit only a configuration they could load.
  const std::string code = codes.empty() ? std::string("0110") : codes.front();
  if (loaded.ok) Edit(main, fields, main.currentDevice, main.currentCommand, code);
  return 0;
}
