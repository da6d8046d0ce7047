#include "qvx/ctl/importform_verbs.h"

#include <algorithm>
#include <optional>
#include <ostream>
#include <vector>

#include "qvx/config/importform.h"
#include "qvx/config/sections.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"
#include "qvx/ctl/stream_prompter.h"

namespace qvx {
namespace {

using Args = std::span<const std::string>;

// The words of a verb without its options, and the options it was given.
struct Options {
  std::vector<std::string> words;
  std::optional<std::string> name;
  bool replace = false;
};

std::optional<Options> ParseOptions(Args args, bool nameAllowed, std::ostream& err) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--replace") {
      options.replace = true;
    } else if (nameAllowed && args[i] == "--name") {
      if (i + 1 == args.size()) {
        err << "qvxctl: --name needs a device name\n";
        return std::nullopt;
      }
      options.name = args[++i];
    } else {
      options.words.push_back(args[i]);
    }
  }
  return options;
}

// The dialog entry a description given on the command line stands for: the same text, blanks
// around it and letter case aside.
std::optional<std::string> EntryFor(const ImportFormView& view, std::string_view description) {
  for (const auto& entry : view.entries)
    if (SameDescription(entry, description)) return entry;
  return std::nullopt;
}

// Tells, once, that a chosen description is shared by more than one section, and which one it
// stands for.
void ReportShared(const ImportFormView& view, const std::vector<std::string>& chosen,
                  std::ostream& err) {
  for (const auto& entry : chosen) {
    const auto same = [&](const std::string& e) { return SameDescription(e, entry); };
    const auto count = std::count_if(view.entries.begin(), view.entries.end(), same);
    if (count < 2) continue;
    for (const char c : view.notice)
      if (c != '\r') err << c;
    err << '\n';
    return;
  }
}

}  // namespace

int ExportVerb(ConfigStore& store, const platform::Services&, Args args, std::ostream& out,
               std::ostream& err) {
  const auto options = ParseOptions(args, false, err);
  if (!options) return 2;
  if (options->words.size() < 2) {
    err << "usage: qvxctl export FILE DESCRIPTION... [--replace]\n";
    return 2;
  }
  BeginExport(store);
  const ImportFormView view = OpenImportForm(store);
  std::vector<std::string> ticked;
  for (std::size_t i = 1; i < options->words.size(); ++i) {
    const auto entry = EntryFor(view, options->words[i]);
    if (!entry) {
      err << "qvxctl: no section is described as " << options->words[i] << '\n';
      return 1;
    }
    ticked.push_back(*entry);
  }
  ReportShared(view, ticked, err);
  StreamPrompter prompter(out, err);
  prompter.fileName = options->words[0];
  prompter.yes = options->replace;
  if (!PressImportButton(store, prompter, ticked)) {
    const bool refusedReplace = prompter.questionAsked && !options->replace;
    err << "qvxctl: nothing was written to " << ExportFileName(options->words[0])
        << (refusedReplace ? " (an existing file is replaced only with --replace)\n" : "\n");
    return 1;
  }
  return 0;
}

int ImportVerb(ConfigStore& store, const platform::Services&, Args args, std::ostream& out,
               std::ostream& err) {
  const auto options = ParseOptions(args, true, err);
  if (!options) return 2;
  if (options->words.size() != 2) {
    err << "usage: qvxctl import FILE DESCRIPTION [--name NAME] [--replace]\n";
    return 2;
  }
  StreamPrompter prompter(out, err);
  prompter.fileName = options->words[0];
  if (!OpenImportFile(store, prompter)) return 1;
  const ImportFormView view = OpenImportForm(store);
  const auto entry = EntryFor(view, options->words[1]);
  if (!entry) {
    err << "qvxctl: " << options->words[0] << " has no section described as "
        << options->words[1] << '\n';
    return 1;
  }
  ReportShared(view, {*entry}, err);
  prompter.text = options->name;
  prompter.yes = options->replace;
  if (!ImportSection(store, prompter, *entry)) {
    if (prompter.questionAsked && !options->replace)
      err << "qvxctl: the device exists; --replace overrides it\n";
    else if (prompter.textAsked && !options->name)
      err << "qvxctl: a device needs --name NAME\n";
    else
      err << "qvxctl: " << TrimBlanks(*entry) << " was not imported\n";
    return 1;
  }
  out << kImported << '\n' << *entry << '\n';
  return 0;
}

}  // namespace qvx
