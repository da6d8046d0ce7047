#include "tests/support/gateway_load.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "platform/sim/standard_peers.h"
#include "qvx/config/devices.h"
#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/pulsetext.h"
#include "tests/support/support.h"

namespace qvx::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kRefused = "Cannot open COM port for infrared interface!";

// One request of the mix and what its answer must show.
struct Step {
  std::string path;
  std::string body;          // posted when not empty, else a GET
  std::string pageEnd;       // the last line of a whole page
  std::string expected;      // a text of the page (a selection, an option)
  std::string sendDevice;    // a send: device and command, whose result line is checked
  std::string sendCommand;
};

const std::vector<Step>& Mix() {
  static const std::vector<Step> mix = {
      {"/qvxweb.cgi", "", "</BODY></HTML>\r\n", "<b></b><br/>\r\n<body bgcolor=\"#FFFFFF\">",
       "", ""},
      {"/qvxwap.cgi", "devlist=TV&cmdlist=&sendcmd=xxx", "</wml>\r\n",
       "<option value=\"Power\" >Power</option>", "", ""},
      {"/qvxweb.cgi", "DevList=TV&CmdList=Power&SendCmd=Send", "</BODY></HTML>\r\n", "", "TV",
       "Power"},
      {"/qvxweb.cgi", "DevList=VCR&CmdList=Play&LoadList=Load", "</BODY></HTML>\r\n",
       "<option value=\"Play\"  selected>Play</option>", "", ""},
      {"/qvxwap.cgi", "devlist=VCR&cmdlist=Play&sendcmd=send", "</wml>\r\n", "", "VCR", "Play"},
      {"/qvxweb.cgi", "DevList=Amp&CmdList=Standby&SendCmd=Send", "</BODY></HTML>\r\n", "", "Amp",
       "Standby"},
  };
  return mix;
}

// The light of one command as the transmitter must show it: mark lengths in slots.
struct Light {
  std::string name;
  int64_t slotNs = 0;
  std::vector<int64_t> marks;
};

std::optional<Light> ExpectedLight(const std::string& config, const std::string& device,
                                   const std::string& command) {
  const auto texts = FindDeviceParams(config, device, ParamScope::WithinSection);
  const auto code = FindCommandCode(config, device, command);
  if (!texts || !code || code->size() < 2) return std::nullopt;
  const auto params = ircode::DeviceParamsFromTexts(texts->gproto, texts->sendpls, texts->repeat,
                                                    texts->bitg, texts->bit0, texts->bit1,
                                                    texts->grepeat);
  if (!params) return std::nullopt;
  bool toggle = false;  // each gateway run starts with the RC5 toggle clear
  const std::string pulse = ircode::BuildPulseString(code->substr(1), *params, toggle);
  Light light{device + " " + command, int64_t{params->sendplsUs} * 1000, {}};
  for (std::size_t i = 0; i < pulse.size();) {
    const std::size_t end = std::min(pulse.find_first_not_of(pulse[i], i), pulse.size());
    if (pulse[i] == '1') light.marks.push_back(static_cast<int64_t>(end - i));
    i = end;
  }
  return light;
}

// Mark lengths of one transmission in slots of slotNs; the instant of DTR at the opening of
// the port makes no slot.
std::vector<int64_t> MarkSlots(const std::vector<platform::sim::TxEvent>& events, int64_t slotNs) {
  std::vector<int64_t> slots;
  if (events.empty()) return slots;
  for (const auto& mark : platform::sim::DtrLight(events, events.back().endNs))
    if (const int64_t n = (mark.endNs - mark.startNs + slotNs / 2) / slotNs; n > 0)
      slots.push_back(n);
  return slots;
}

// The capture split into transmissions: every gateway process starts its virtual clock at
// zero, so a time earlier than the one before begins the next process's capture.
std::vector<std::vector<platform::sim::TxEvent>> Transmissions(const fs::path& capture) {
  std::vector<std::vector<platform::sim::TxEvent>> runs;
  int64_t lastNs = -1;
  for (const auto& event : platform::sim::ReadCaptureFile(capture)) {
    if (runs.empty() || event.startNs < lastNs) runs.emplace_back();
    runs.back().push_back(event);
    lastNs = event.startNs;
  }
  return runs;
}

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

double Percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  const auto rank = static_cast<std::size_t>(std::ceil(fraction * sorted.size()));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

}  // namespace

bool LoadReport::Passed() const {
  return requests > 0 && errors == 0 && transmissions == sendsExecuted &&
         transmissionsMatched == sendsExecuted && configIdentical;
}

bool GatewayLoad::Start(const fs::path& dir) {
  dir_ = dir;
  fs::create_directories(IrLockFile().parent_path());  // to be held before any gateway ran
  return server_.Start(dir_, DeliveredConfigWith(), SimulatedPortsIn(dir_));
}

LoadReport GatewayLoad::Run(int requests, int clients) {
  LoadReport report;
  report.requests = requests;
  report.clients = clients;
  const fs::path capture = dir_ / "capture.txt";
  fs::remove(capture);
  const std::string config = ReadFile(server_.ConfigPath());
  const fs::path www = server_.ConfigPath().parent_path();
  const std::set<std::string> listing = Listing(www);

  std::vector<double> latencies(static_cast<std::size_t>(requests));
  std::vector<int> executedBy(Mix().size());
  std::mutex mutex;
  std::atomic<int> next{0};
  const auto note = [&](const std::string& what) {
    std::lock_guard lock(mutex);
    ++report.errors;
    if (report.samples.size() < 5) report.samples.push_back(what);
  };
  const auto client = [&] {
    for (int i; (i = next++) < requests;) {
      const std::size_t kind = static_cast<std::size_t>(i) % Mix().size();
      const Step& step = Mix()[kind];
      const auto start = std::chrono::steady_clock::now();
      const HttpResponse response =
          step.body.empty() ? server_.Get(step.path) : server_.Post(step.path, step.body);
      latencies[static_cast<std::size_t>(i)] =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      const std::string where = "request " + std::to_string(i) + " " + step.path + " " + step.body;
      if (response.status != 200) {
        note(where + ": status " + std::to_string(response.status));
        continue;
      }
      if (response.headers.find("Content-type: ") == std::string::npos ||
          !response.body.ends_with(step.pageEnd)) {
        note(where + ": broken page");
        continue;
      }
      if (!step.expected.empty() && response.body.find(step.expected) == std::string::npos) {
        note(where + ": without " + step.expected);
        continue;
      }
      if (step.sendDevice.empty()) continue;
      const std::string executed =
          "<b>" + step.sendDevice + " " + step.sendCommand + " executed.</b><br/>";
      const std::string refused = "<b>" + std::string(kRefused) + "</b><br/>";
      std::lock_guard lock(mutex);
      if (response.body.find(executed) != std::string::npos) {
        ++report.sendsExecuted;
        ++executedBy[kind];
      } else if (response.body.find(refused) != std::string::npos) {
        ++report.sendsRefused;
      } else {
        ++report.errors;
        if (report.samples.size() < 5)
          report.samples.push_back(where + ": neither sent nor refused");
      }
    }
  };
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) threads.emplace_back(client);
  for (auto& thread : threads) thread.join();
  report.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::sort(latencies.begin(), latencies.end());
  report.p50Ms = Percentile(latencies, 0.50);
  report.p95Ms = Percentile(latencies, 0.95);
  report.p99Ms = Percentile(latencies, 0.99);

  // Each transmission must be the exact light of one executed send, each executed send once.
  std::vector<std::optional<Light>> lights;
  for (const Step& step : Mix())
    lights.push_back(step.sendDevice.empty()
                         ? std::nullopt
                         : ExpectedLight(config, step.sendDevice, step.sendCommand));
  std::vector<int> capturedBy(Mix().size());
  const auto transmissions = Transmissions(capture);
  report.transmissions = static_cast<int>(transmissions.size());
  for (const auto& events : transmissions) {
    for (std::size_t kind = 0; kind < lights.size(); ++kind) {
      if (lights[kind] && MarkSlots(events, lights[kind]->slotNs) == lights[kind]->marks) {
        ++capturedBy[kind];
        break;
      }
    }
  }
  for (std::size_t kind = 0; kind < Mix().size(); ++kind)
    report.transmissionsMatched += std::min(capturedBy[kind], executedBy[kind]);

  report.configIdentical = ReadFile(server_.ConfigPath()) == config && Listing(www) == listing;
  return report;
}

std::string FormatLoadReport(const LoadReport& report) {
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(1);
  out << "requests            " << report.requests << "\n"
      << "concurrency         " << report.clients << " clients\n"
      << "duration            " << report.seconds << " s\n"
      << "requests/s          " << report.RequestsPerSecond() << "\n";
  out.precision(2);
  out << "latency p50/p95/p99 " << report.p50Ms << " / " << report.p95Ms << " / " << report.p99Ms
      << " ms\n"
      << "errors              " << report.errors << "\n"
      << "sends executed      " << report.sendsExecuted << "\n"
      << "sends refused       " << report.sendsRefused << " (infrared port in use)\n"
      << "transmissions       " << report.transmissions << " captured, "
      << report.transmissionsMatched << " with the light of an executed send\n"
      << "config identical    " << (report.configIdentical ? "yes" : "no") << "\n";
  for (const auto& sample : report.samples) out << "error: " << sample.substr(0, 300) << "\n";
  return out.str();
}

}  // namespace qvx::test
