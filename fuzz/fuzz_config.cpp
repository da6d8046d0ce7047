// Feeds arbitrary configuration text to everything that reads pelgrin.cfg: the general loads of
// the main program and the gateways, the device and command lists of both, the code and
// parameter lookups, the output command split, and the editing, import and export operations,
// whose saves go to a file of the process's scratch directory. A model of the sections (header,
// lines, description), built here line by line, checks that each edit changes only its own
// section and that an export holds exactly [General], the ticked sections and [End].
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

// The model the edits are checked against: the text as lines, grouped into sections at every
// line that starts with "[" and ends, blanks aside, with "]". It is built from the text as a
// save leaves it (cut after its last "]"), so that what a save drops does not count as a change.
struct ModelSection {
  std::string header;
  std::vector<std::string> lines;
  std::string Name() const { return header.substr(1, header.find_last_of(']') - 1); }
  // What follows the "#" of its first line that starts with one; empty without such a line.
  std::string Description() const {
    for (const auto& line : lines)
      if (!line.empty() && line[0] == '#') return line.substr(1, line.find('\r') - 1);
    return {};
  }
  bool operator==(const ModelSection&) const = default;
};

struct Model {
  std::vector<std::string> preamble;
  std::vector<ModelSection> sections;
  bool operator==(const Model&) const = default;
};

bool IsHeaderLine(const std::string& line) {
  const std::size_t last = line.find_last_not_of(' ');
  return line.size() >= 2 && line[0] == '[' && last != std::string::npos && line[last] == ']' &&
         last >= 1;
}

Model ModelOf(std::string_view text) {
  if (const std::size_t bracket = text.rfind(']'); bracket != std::string_view::npos)
    text = text.substr(0, bracket + 1);
  Model model;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t lf = text.find('\n', start);
    std::string line(text.substr(start, lf == std::string_view::npos ? lf : lf - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (IsHeaderLine(line)) {
      line.erase(line.find_last_not_of(' ') + 1);
      model.sections.push_back({line, {}});
    } else {
      (model.sections.empty() ? model.preamble : model.sections.back().lines).push_back(line);
    }
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  return model;
}

// Index of the first section that `matches`, or the number of sections.
template <typename Match>
std::size_t FirstSection(const Model& model, Match matches, std::size_t from = 0) {
  std::size_t i = from;
  while (i < model.sections.size() && !matches(model.sections[i])) ++i;
  return i;
}

std::size_t Named(const Model& model, std::string_view name, std::size_t from = 0) {
  const auto named = [&](const ModelSection& s) { return EqualsIgnoreCase(s.Name(), name); };
  return FirstSection(model, named, from);
}

// The sections the import and export dialog lists: after [General], up to [End].
std::pair<std::size_t, std::size_t> Listed(const Model& model) {
  const std::size_t general = Named(model, "General");
  if (general == model.sections.size()) return {general, general};
  return {general + 1, Named(model, "End", general + 1)};
}

std::size_t Described(const Model& model, std::string_view description) {
  const auto [first, last] = Listed(model);
  const auto described = [&](const ModelSection& s) {
    return EqualsIgnoreCase(TrimBlanks(s.Description()), TrimBlanks(description));
  };
  const std::size_t i = FirstSection(model, described, first);
  return i < last ? i : model.sections.size();
}

Model Without(Model model, std::size_t index) {
  if (index < model.sections.size())
    model.sections.erase(model.sections.begin() + static_cast<std::ptrdiff_t>(index));
  return model;
}

// The edit changed nothing but the lines of section `index` of before; where `added`, it only
// added lines there.
void CheckOnlyChanged(const Model& before, const Model& after, std::size_t index, bool added,
                      std::string_view what) {
  Check(before.sections.size() == after.sections.size() && before.preamble == after.preamble &&
            index < before.sections.size(),
        what);
  for (std::size_t i = 0; i < before.sections.size(); ++i) {
    Check(before.sections[i].header == after.sections[i].header, what);
    if (i != index) Check(before.sections[i] == after.sections[i], what);
  }
  if (!added) return;
  // The old lines stand, in order, among the new ones.
  const auto& old = before.sections[index].lines;
  const auto& now = after.sections[index].lines;
  std::size_t matched = 0;
  for (std::size_t i = 0; i < now.size() && matched < old.size(); ++i)
    if (now[i] == old[matched]) ++matched;
  Check(matched == old.size(), what);
}

// The export holds [General], each ticked section once (the first that the entry describes)
// and [End], each as the configuration has it.
void CheckExport(const Model& config, const std::string& exportText,
                 const std::vector<std::string>& ticked) {
  const Model exported = ModelOf(exportText);
  std::vector<ModelSection> expected;
  if (const std::size_t general = Named(config, "General"); general < config.sections.size() &&
                                                           general + 1 < config.sections.size())
    expected.push_back(config.sections[general]);
  std::vector<std::size_t> taken;
  for (const auto& entry : ticked) {
    const std::size_t i = Described(config, entry);
    if (i + 1 >= config.sections.size() || std::find(taken.begin(), taken.end(), i) != taken.end())
      continue;
    taken.push_back(i);
    expected.push_back(config.sections[i]);
  }
  expected.push_back({"[End]", {}});
  Check(exported.sections == expected,
        "an export holds exactly [General], the ticked sections and [End]");
}

bool IsSpecial(const ModelSection& section) {
  const std::string lower = ToLower(section.Name());
  return lower == "x10" || lower == "application" || lower == "monitoring";
}

// An import changes only its own section: the special section of the same name gains lines, or
// a device block goes in before [X10] and the device described alike (if replaced) goes.
void CheckImport(const Model& before, const Model& after, const Model& import,
                 const std::string& entry) {
  if (EqualsIgnoreCase(entry, "[General]")) {
    Check(after.sections.size() == before.sections.size(), "a [General] import adds no section");
    return;
  }
  const std::size_t source = Described(import, entry);
  Check(source < import.sections.size(), "an imported entry has its section");
  if (IsSpecial(import.sections[source])) {
    CheckOnlyChanged(before, after, Named(before, import.sections[source].Name()), true,
                     "merged lines go into the section of the same name only");
    return;
  }
  const std::size_t x10 = Named(after, "X10");
  Check(x10 > 0 && x10 < after.sections.size(), "an imported device stands before [X10]");
  const Model placed = Without(after, x10 - 1);
  const std::size_t replaced = Described(before, entry);
  Check(placed == before ||
            (replaced < before.sections.size() && placed == Without(before, replaced)),
        "an imported device replaces at most the device described alike");
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
    const Model was = ModelOf(before);
    CheckOnlyChanged(was, ModelOf(store.text), Named(was, device), true,
                     "a saved command goes into its device's section only");
    std::string trimmed = *name;
    Check(IsValidName(trimmed) && trimmed == *name, "a saved command name is valid and trimmed");
    Check(FindCommandCode(store.text, device, *name) == "G" + code,
          "the saved command holds its code");
  }

  before = store.text;
  if (DeleteCommand(store, prompter, device, command)) {
    const Model was = ModelOf(before);
    CheckOnlyChanged(was, ModelOf(store.text), Named(was, device), false,
                     "a deleted command leaves the other sections");
    CheckEdit(true, store, before);
  } else {
    CheckEdit(false, store, before);
  }
  before = store.text;
  const bool added = AddApplication(store, prompter);
  CheckEdit(added, store, before);
  if (added) {
    const Model was = ModelOf(before);
    CheckOnlyChanged(was, ModelOf(store.text), Named(was, "Application"), true,
                     "an added application goes into [Application] only");
  }

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
    const std::string& entry = view.entries.back();
    before = store.text;
    const bool imported = ImportSection(store, prompter, entry);
    CheckEdit(imported, store, before);
    if (imported)
      CheckImport(ModelOf(before), ModelOf(store.text), ModelOf(store.importText), entry);
  }
  store.importMode = false;
  const std::vector<std::string> entries = OpenImportForm(store).entries;
  std::string collected;
  CheckExport(ModelOf(store.text), BuildExportText(store, entries, collected), entries);
  if (!entries.empty()) {
    const std::vector<std::string> one = {entries[code.size() % entries.size()]};
    CheckExport(ModelOf(store.text), BuildExportText(store, one, collected), one);
  }

  before = store.text;
  if (DeleteDevice(store, prompter, device)) {
    const Model was = ModelOf(before);
    Check(ModelOf(store.text) == Without(was, Named(was, device)),
          "a deleted device takes its own section and nothing else");
    CheckEdit(true, store, before);
  } else {
    CheckEdit(false, store, before);
  }
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
