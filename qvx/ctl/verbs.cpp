#include "qvx/ctl/verbs.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/services.h"
#include "platform/sim/standard_peers.h"
#include "qvx/config/devices.h"
#include "qvx/config/general.h"
#include "qvx/config/location.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"
#include "qvx/ctl/exec_verb.h"
#include "qvx/ctl/importform_verbs.h"
#include "qvx/ctl/ir_verbs.h"
#include "qvx/ctl/monitor_verbs.h"

namespace qvx {
namespace {

using Args = std::span<const std::string>;

// Verbs with options check their arguments themselves.
constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

struct Verb {
  std::string name;
  std::string usage;
  std::size_t minArgs;
  std::size_t maxArgs;
  std::function<int(ConfigStore&, const platform::Services&, Args, std::ostream&, std::ostream&)>
      run;
};

bool IsListedDevice(const ConfigStore& store, std::string_view device) {
  const auto devices = FillListFromText(BuildDeviceList(store, Variant::MainProgram));
  return std::any_of(devices.begin(), devices.end(),
                     [&](const std::string& entry) { return EqualsIgnoreCase(entry, device); });
}

int NoSuchDevice(std::string_view device, std::ostream& err) {
  err << "qvxctl: no device " << device << " in the device list\n";
  return 1;
}

int Devices(ConfigStore& store, const platform::Services&, Args, std::ostream& out, std::ostream&) {
  for (const auto& device : FillListFromText(BuildDeviceList(store, Variant::MainProgram)))
    out << device << '\n';
  return 0;
}

int Commands(ConfigStore& store, const platform::Services&, Args args,
             std::ostream& out, std::ostream& err) {
  if (!IsListedDevice(store, args[0])) return NoSuchDevice(args[0], err);
  for (const auto& command : LoadCommandList(store, args[0]).entries) out << command << '\n';
  return 0;
}

int Code(ConfigStore& store, const platform::Services&, Args args,
         std::ostream& out, std::ostream& err) {
  const auto code = FindCommandCode(store.text, args[0], args[1]);
  if (!code) {
    err << "qvxctl: device " << args[0] << " has no command " << args[1] << '\n';
    return 1;
  }
  out << *code << '\n';
  return 0;
}

int Params(ConfigStore& store, const platform::Services&, Args args,
           std::ostream& out, std::ostream& err) {
  const auto params = FindDeviceParams(store.text, args[0], ParamScope::AcceptBeyondSection);
  if (!params) {
    err << "qvxctl: the protocol parameters of " << args[0] << " cannot be found\n";
    return 1;
  }
  out << "GPROTO=" << params->gproto << "\nSENDPLS=" << params->sendpls
      << "\nREPEAT=" << params->repeat << "\nBITG=" << params->bitg << "\nBIT0=" << params->bit0
      << "\nBIT1=" << params->bit1 << "\nGREPEAT=" << params->grepeat << '\n';
  return 0;
}

int Set(ConfigStore& store, const platform::Services&, Args args,
        std::ostream&, std::ostream& err) {
  if (!SetGeneralParam(store, args[0], args[1])) {
    err << "qvxctl: cannot set " << args[0] << ": "
        << (store.lastError.empty() ? "its line cannot be found" : store.lastError) << '\n';
    return 1;
  }
  return 0;
}

int Decode(ConfigStore& store, const platform::Services& services, Args args, std::ostream& out,
           std::ostream& err) {
  if (args.size() == 1) return DecodeVerb(store, services, args, out, err);
  if (args[0] != "--window") {
    err << "usage: qvxctl decode [--window] FILE\n";
    return 2;
  }
  return DecodeWindowVerb(store, args[1], out, err);
}

const std::vector<Verb>& VerbTable() {
  static const std::vector<Verb> verbs = {
      {"devices", "devices                 the device list, one per line", 0, 0, Devices},
      {"commands", "commands DEVICE         the commands of a device", 1, 1, Commands},
      {"code", "code DEVICE COMMAND     the stored code of a command", 2, 2, Code},
      {"params", "params DEVICE           the seven protocol parameters of a device", 1, 1, Params},
      {"set", "set KEY VALUE           change a general key and save", 2, 2, Set},
      {"exec", "exec OUTPUT             run an output command such as X10&Lamp&On", 1, 1, ExecVerb},
      {"encode", "encode DEVICE COMMAND   the pulse text of a command", 2, 2, EncodeVerb},
      {"send", "send DEVICE COMMAND     send a command on the infrared port", 2, 2, SendVerb},
      {"learn", "learn                   record one press and print its decode", 0, 0, LearnVerb},
      {"ports", "ports                   the COM ports present and what each one is", 0, 0, PortsVerb},
      {"decode", "decode [--window] FILE  decode a recording (or a watch window) of at most 600 bytes",
       1, 2, Decode},
      {"monitor", "monitor [--once]        monitor infrared (and the phone) until stopped", 0, 1,
       MonitorVerb},
      {"export", "export FILE DESCRIPTION... [--replace]\n"
                 "                          write the general block and these sections to FILE",
       2, kUnbounded, ExportVerb},
      {"import", "import FILE DESCRIPTION [--name NAME] [--replace]\n"
                 "                          merge one section of FILE into the configuration",
       2, kUnbounded, ImportVerb},
  };
  return verbs;
}

void PrintUsage(std::ostream& out) {
  out << "usage: qvxctl [--config PATH] VERB [ARGS]\n";
  for (const auto& verb : VerbTable()) out << "  " << verb.usage << '\n';
}

}  // namespace

int RunQvxctl(Args args, std::ostream& out, std::ostream& err) {
  std::optional<std::filesystem::path> configPath;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--config") {
      if (i + 1 == args.size()) {
        err << "qvxctl: --config needs a path\n";
        return 2;
      }
      configPath = args[++i];
    } else if (args[i] == "--help" || args[i] == "-h") {
      PrintUsage(out);
      return 0;
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.empty()) {
    PrintUsage(err);
    return 2;
  }
  const auto& verbs = VerbTable();
  const auto verb = std::find_if(verbs.begin(), verbs.end(),
                                 [&](const Verb& v) { return v.name == rest[0]; });
  if (verb == verbs.end()) {
    err << "qvxctl: unknown verb " << rest[0] << '\n';
    PrintUsage(err);
    return 2;
  }
  if (rest.size() - 1 < verb->minArgs || rest.size() - 1 > verb->maxArgs) {
    err << "usage: qvxctl " << verb->usage << '\n';
    return 2;
  }

  // Any port may be mapped to a simulated device (QVX_COMn=sim:ir), so they are offered here,
  // before the services take the process's clock.
  platform::sim::RegisterStandardPeers();
  const platform::Services services = platform::SystemServices();
  ConfigStore store;
  const ProgramFiles files = SetUpProgramFiles(configPath);
  for (const std::string& warning : files.warnings) err << "qvxctl: " << warning << '\n';
  store.path = files.config;
  if (const LoadResult loaded = LoadGeneral(store); !loaded.ok) {
    err << "qvxctl: There is an error in the configuration file " << store.path.string() << ": "
        << loaded.reason << '\n';
    return 2;
  }
  return verb->run(store, services, Args(rest).subspan(1), out, err);
}

}  // namespace qvx
