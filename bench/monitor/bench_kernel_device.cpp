// Monitoring on the real clock, through a kernel infrared device (sim:lirc) or the sampled serial
// port (sim:ir), as the headless monitor runs it: the share of a core the idle monitor takes,
// and taps of the recorded real remotes (every remote of the table in turn, 10 % jitter) 1.2 s
// apart, named right, wrong or twice, with the time from a tap's last light to its event. Run
// it as root and as an unprivileged user, with and without --load.
//
//   bench_kernel_device [--port lirc|ir] [--load] [--virtual] [--taps N] [--idle-s S]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/services.h"
#include "platform/sim/ir_peer.h"
#include "platform/sim/kernel_ir_device.h"
#include "platform/sim/virtual_clock.h"
#include "pulsio/pulsio.h"
#include "qvx/config/general.h"
#include "qvx/config/store.h"
#include "qvx/ctl/stream_prompter.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ircode/sim/realremotes.h"
#include "qvx/ircode/sim/remotescenarios.h"
#include "qvx/monitor/monitoring.h"

namespace {

namespace sim = qvx::ircode::sim;
using platform::sim::LightMark;

constexpr int64_t kMsNs = 1'000'000;
constexpr int64_t kTapEveryNs = 1200 * kMsNs;
constexpr int kJitterPercent = 10;

struct Options {
  bool kernel = true;
  bool virtualClock = false;  // the decoding alone, without the machine's timing
  bool load = false;
  int taps = 16;  // per family
  int idleSeconds = 10;
};

struct Tap {
  std::string family;
  std::string command;            // the stored command that holds the tap's code
  std::vector<LightMark> marks;   // from the tap's first light
};

// Taps of random keys of the remotes of every family, in turns, and the configuration that
// names each code: a device "Bench" with a command per code.
struct Script {
  std::vector<Tap> taps;
  std::string config;
};

Script MakeScript(int perFamily) {
  std::mt19937 rng(2027);
  Script script;
  std::map<std::string, std::string> commands;  // code -> command
  std::string lines;
  std::map<sim::RemoteFamily, std::vector<const sim::RecordedRemote*>> remotes;
  for (const sim::RecordedRemote& remote : sim::RecordedRemotes())
    remotes[remote.family].push_back(&remote);
  for (int i = 0; i < perFamily; ++i) {
    for (const auto& [family, ofFamily] : remotes) {
      const sim::RecordedRemote& remote = *ofFamily[static_cast<size_t>(i) % ofFamily.size()];
      const sim::RealPress press = sim::MakeRecordedPress(remote, 0, kJitterPercent, rng);
      const auto [at, added] = commands.emplace(press.code, "K" + std::to_string(commands.size()));
      if (added) lines += press.code + "," + at->second + "\r\n";
      Tap tap{std::string(sim::FamilyName(family)), at->second, {}};
      for (const auto& [startUs, endUs] : press.marks)
        tap.marks.push_back({static_cast<int64_t>(startUs * 1000), static_cast<int64_t>(endUs * 1000)});
      script.taps.push_back(std::move(tap));
    }
  }
  script.config = "[General]\r\n";
  for (const auto& key : qvx::GeneralKeys()) {
    std::string value = "0";
    if (key == "COMPORT" || key == "IRINENA" || key == "IROUTENA") value = "1";
    if (key == "PROCDELAY") value = "55";  // about 55 us a sample on the serial path
    script.config += key + "= " + value + "\r\n";
  }
  script.config += "\r\n[Bench]\r\n# Bench remotes\r\nGPROTO= 0\r\nSENDPLS= 560\r\nREPEAT= 0\r\n"
                   "BITG= 1\r\nBIT0= 10\r\nBIT1= 1000\r\nGREPEAT= 1\r\n" + lines +
                   "\r\n[X10]\r\n# none\r\n\r\n[Monitoring]\r\n# events\r\n\r\n[End]\r\n";
  return script;
}

double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A busy loop on every core for the life of the object.
class CompetingLoad {
 public:
  explicit CompetingLoad(bool on) {
    if (!on) return;
    for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i) {
      threads_.emplace_back([this] {
        volatile uint64_t spins = 0;
        while (!stop_.load(std::memory_order_relaxed)) spins = spins + 1;
      });
    }
  }
  ~CompetingLoad() {
    stop_ = true;
    for (auto& thread : threads_) thread.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

struct Counts {
  int right = 0, wrong = 0, lost = 0, twice = 0;
  std::vector<double> latenciesMs;  // from the tap's last light to the event being named
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      options.kernel = std::string(argv[++i]) != "ir";
    } else if (arg == "--load") {
      options.load = true;
    } else if (arg == "--virtual") {
      options.virtualClock = true;
    } else if (arg == "--taps" && i + 1 < argc) {
      options.taps = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--idle-s" && i + 1 < argc) {
      options.idleSeconds = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr,
                   "usage: bench_kernel_device [--port lirc|ir] [--load] [--virtual] [--taps N] "
                   "[--idle-s S]\n");
      return 2;
    }
  }

  platform::sim::VirtualClock virtualClock;
  std::optional<platform::ScopedClock> scoped;
  if (options.virtualClock) scoped.emplace(virtualClock);
  platform::Clock& clock = platform::ActiveClock();
  ::setenv("QVX_AUDIO_DEVICE", "none", 1);
  ::setenv("QVX_COM1", options.kernel ? "sim:bench-lirc" : "sim:bench-ir", 1);
  std::shared_ptr<platform::sim::KernelIrDevice> device;
  std::shared_ptr<platform::sim::IrPeer> peer;
  if (options.kernel) {
    device = platform::sim::InstallKernelIrDevice("bench-lirc", clock);
  } else {
    peer = platform::sim::InstallWiredIrPeer("bench-ir", clock,
                                             platform::sim::ReceiverWiring::DcdStandard);
  }

  const Script script = MakeScript(options.taps);
  qvx::ConfigStore store;
  store.path = std::filesystem::temp_directory_path() /
               ("bench_kernel_device_" + std::to_string(::getpid()) + ".cfg");
  std::ofstream(store.path, std::ios::binary) << script.config;
  qvx::LoadGeneral(store);
  qvx::monitor::ExecutorContext executor{store, qvx::Variant::MainProgram,
                                         platform::SystemServices()};
  executor.irPort = qvx::ircode::OpenPort(1);
  qvx::ircode::SetPortTimeouts(executor.irPort);
  SetHandle(executor.irPort);
  std::ostringstream statusLines;
  qvx::StreamPrompter prompter(statusLines);
  qvx::monitor::Monitoring monitoring{executor, prompter, {.rememberState = false}};
  monitoring.Start();

  CompetingLoad load(options.load);
  // The idle monitor: the tick and the timer's sleep, as qvxctl monitor runs them.
  const int64_t idleEndNs = clock.NowNs() + int64_t{options.idleSeconds} * 1000 * kMsNs;
  const double idleCpuStart = ThreadCpuSeconds();
  const int64_t idleStartNs = clock.NowNs();
  while (clock.NowNs() < idleEndNs) {
    if (!monitoring.Tick()) clock.SleepMs(qvx::monitor::kIrMonTimerIntervalMs);
  }
  const double idleShare = (ThreadCpuSeconds() - idleCpuStart) /
                           (static_cast<double>(clock.NowNs() - idleStartNs) / 1e9);

  // The taps, one every 1.2 s from 0.5 s from now.
  std::vector<LightMark> light;
  for (size_t i = 0; i < script.taps.size(); ++i) {
    const int64_t atNs = static_cast<int64_t>(i) * kTapEveryNs;
    for (const LightMark& mark : script.taps[i].marks)
      light.push_back({atNs + mark.startNs, atNs + mark.endNs});
  }
  const int64_t firstTapNs = clock.NowNs() + 500 * kMsNs - light.front().startNs;
  if (device) device->PlayMarks(light, 500'000);
  if (peer) peer->PlayMarks(light, 500'000);

  std::vector<std::vector<std::string>> named(script.taps.size());
  std::vector<int64_t> namedNs(script.taps.size(), 0);
  const int64_t endNs = firstTapNs + static_cast<int64_t>(script.taps.size()) * kTapEveryNs;
  while (clock.NowNs() < endNs) {
    const auto received = monitoring.Tick();
    if (!received) {
      clock.SleepMs(qvx::monitor::kIrMonTimerIntervalMs);
      continue;
    }
    // The tick returns after the pause that follows the dispatch.
    const int64_t atNs = clock.NowNs() - qvx::monitor::kAfterCommandPauseMs * kMsNs;
    if (atNs < firstTapNs) continue;
    const auto tap = static_cast<size_t>((atNs - firstTapNs) / kTapEveryNs);
    if (tap >= named.size()) continue;
    if (named[tap].empty()) namedNs[tap] = atNs;
    named[tap].push_back(received->recCmd);
  }

  std::map<std::string, Counts> families;
  for (size_t i = 0; i < script.taps.size(); ++i) {
    const Tap& tap = script.taps[i];
    Counts& counts = families[tap.family];
    if (named[i].empty()) {
      ++counts.lost;
      continue;
    }
    if (named[i].front() == "Bench&" + tap.command) {
      ++counts.right;
      const int64_t lastLightNs =
          firstTapNs + static_cast<int64_t>(i) * kTapEveryNs + tap.marks.back().endNs;
      counts.latenciesMs.push_back(static_cast<double>(namedNs[i] - lastLightNs) / 1e6);
    } else {
      ++counts.wrong;
    }
    if (named[i].size() > 1) ++counts.twice;
  }

  std::printf("%s, %s, %s, %s\n",
              options.kernel ? "kernel infrared device (sim:lirc)" : "sampled serial port (sim:ir)",
              options.virtualClock ? "virtual clock" : "real clock",
              ::geteuid() == 0 ? "as root" : "as an unprivileged user",
              options.load ? "with a busy loop on every core" : "no competing load");
  std::printf("  idle monitor: %.2f %% of a core (%d s, a tick every %d ms)\n", 100 * idleShare,
              options.idleSeconds, qvx::monitor::kIrMonTimerIntervalMs);
  std::printf("  %-8s %6s %6s %6s %6s   %s\n", "taps", "right", "wrong", "lost", "twice",
              "last light to event: median, max");
  for (auto& [family, counts] : families) {
    std::sort(counts.latenciesMs.begin(), counts.latenciesMs.end());
    const bool any = !counts.latenciesMs.empty();
    std::printf("  %-8s %6d %6d %6d %6d   %6.0f ms %6.0f ms\n", family.c_str(), counts.right,
                counts.wrong, counts.lost, counts.twice,
                any ? counts.latenciesMs[counts.latenciesMs.size() / 2] : 0.0,
                any ? counts.latenciesMs.back() : 0.0);
  }
  monitoring.Stop();
  SetHandle(0);
  qvx::ircode::ClosePort(executor.irPort);
  std::filesystem::remove(store.path);
  return 0;
}
