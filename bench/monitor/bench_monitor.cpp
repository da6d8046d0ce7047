// Prints, in one run on the virtual clock: the real time a monitoring tick costs when the line
// is dark (it reads the line once) and when a press opens a watch window, and for NEC, SONY and
// RC5 remotes pressed at every phase of the headless monitor's poll, how many presses were taken
// and the simulated time from the start of the press to the executor's return, set against the
// length of the remote's frame.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/monitor/tapset.h"
#include "platform/services.h"
#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "pulsio/pulsio.h"
#include "qvx/config/general.h"
#include "qvx/config/prompter.h"
#include "qvx/config/store.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ircode/sim/remotesim.h"
#include "qvx/monitor/monitoring.h"

namespace {

namespace sim = qvx::ircode::sim;
using platform::sim::LightMark;

const std::string kNec = sim::NecBits(0x04, 0x08);
const std::string kSony = sim::SonyBits(0x1A, 0x01, 5);
const std::string kRc5 = sim::Rc5Bits(false, 16, 12);

std::string Config() {
  std::string text = "[General]\r\n";
  for (const auto& key : qvx::GeneralKeys()) {
    std::string value = "0";
    if (key == "COMPORT" || key == "IRINENA" || key == "IROUTENA") value = "1";
    if (key == "PROCDELAY") value = "50";
    text += key + "= " + value + "\r\n";
  }
  const std::string params = "GPROTO= 0\r\nSENDPLS= 560\r\nREPEAT= 0\r\nBITG= 1\r\nBIT0= 10\r\n"
                             "BIT1= 1000\r\nGREPEAT= 1\r\n";
  return text + "\r\n[TV]\r\n# NEC\r\n" + params + "G" + kNec + ",Power\r\n" +
         "\r\n[VCR]\r\n# SONY\r\n" + params + "G" + kSony + ",Play\r\n" +
         "\r\n[Amp]\r\n# RC5\r\n" + params + "G" + kRc5 + ",Standby\r\n" +
         "\r\n[X10]\r\n# none\r\n\r\n[Monitoring]\r\n# events\r\nTV&Power,Winamp&PLAY\r\n"
         "VCR&Play,Winamp&PLAY\r\nAmp&Standby,Winamp&PLAY\r\n\r\n[End]\r\n";
}

// Notes the simulated time of every status-line text: the dispatch shows one as soon as the
// executor returns.
class TimedPrompter final : public qvx::Prompter {
 public:
  explicit TimedPrompter(platform::Clock& clock) : clock_(clock) {}
  int64_t lastStatusNs = 0;
  void ShowStatus(std::string_view) override { lastStatusNs = clock_.NowNs(); }
  void ShowMessage(std::string_view, qvx::MessageIcon, std::string_view) override {}
  bool AskYesNo(std::string_view, std::string_view, qvx::MessageIcon) override { return false; }
  bool AskOkCancel(std::string_view, std::string_view, qvx::MessageIcon) override { return false; }
  std::optional<std::string> AskOpenFile(std::string_view, std::string_view) override {
    return std::nullopt;
  }
  std::optional<std::string> AskSaveFile(std::string_view, std::string_view,
                                         std::string_view) override {
    return std::nullopt;
  }
  std::optional<std::string> AskText(std::string_view, std::string_view, std::string_view) override {
    return std::nullopt;
  }

 private:
  platform::Clock& clock_;
};

std::vector<LightMark> Marks(const sim::Light& light, std::mt19937& rng) {
  std::vector<LightMark> marks;
  double atUs = 0;
  for (std::size_t i = 0; i < light.durationsUs.size(); ++i) {
    if (i % 2 == 0)
      marks.push_back({static_cast<int64_t>(atUs * 1000),
                       static_cast<int64_t>((atUs + light.durationsUs[i]) * 1000)});
    atUs += light.durationsUs[i];
  }
  return platform::sim::DistortLight(marks, {40, 80, 3}, rng);
}

// The first frame: from the first mark to the end of the last mark before a gap of 5 ms.
double FrameMs(const std::vector<LightMark>& marks) {
  std::size_t last = 0;
  while (last + 1 < marks.size() && marks[last + 1].startNs - marks[last].endNs < 5'000'000) ++last;
  return static_cast<double>(marks[last].endNs - marks.front().startNs) / 1e6;
}

struct Rig {
  explicit Rig(const std::string& configText = Config()) {
    clock.SetCounterReadCostNs(250);
    clock.SetLineReadCostNs(5000);  // with PROCDELAY 50 a sample lasts about 55 us
    ::setenv("QVX_COM1", "sim:bench-ir", 1);
    ::setenv("QVX_AUDIO_DEVICE", "none", 1);
    peer = platform::sim::InstallWiredIrPeer("bench-ir", clock,
                                             platform::sim::ReceiverWiring::DcdStandard);
    store.path = std::filesystem::temp_directory_path() /
                 ("bench_monitor_" + std::to_string(::getpid()) + ".cfg");
    std::ofstream(store.path, std::ios::binary) << configText;
    qvx::LoadGeneral(store);
    executor.irPort = qvx::ircode::OpenPort(1);
    qvx::ircode::SetPortTimeouts(executor.irPort);
    SetHandle(executor.irPort);
    monitoring.Start();
  }
  ~Rig() {
    SetHandle(0);
    qvx::ircode::ClosePort(executor.irPort);
    std::filesystem::remove(store.path);
  }

  platform::sim::VirtualClock clock;
  platform::ScopedClock scoped{clock};
  std::shared_ptr<platform::sim::IrPeer> peer;
  qvx::ConfigStore store;
  qvx::monitor::ExecutorContext executor{store, qvx::Variant::MainProgram,
                                         platform::SystemServices()};
  TimedPrompter prompter{clock};
  qvx::monitor::Monitoring monitoring{executor, prompter, {.rememberState = false}};
};

void TickRates(Rig& rig, std::mt19937& rng) {
  using Seconds = std::chrono::duration<double>;
  const auto run = [&](bool press) {
    const sim::Light light = sim::SonyPress(kSony, 3);
    long ticks = 0;
    long commands = 0;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) {
      if (press) rig.peer->PlayMarks(Marks(light, rng), 0);
      commands += rig.monitoring.Tick().has_value();
      ++ticks;
      rig.clock.AdvanceNs(1'000'000'000);  // the next press is a new one
    }
    const double seconds = Seconds(std::chrono::steady_clock::now() - start).count();
    std::printf("  %-32s %10.0f ticks/s  (%ld of %ld ticks received a command)\n",
                press ? "a SONY press opens the window" : "dark line", ticks / seconds, commands,
                ticks);
  };
  std::printf("Monitoring ticks per second of real time (virtual clock)\n");
  run(false);
  run(true);
}

void PressToReturn(Rig& rig, std::mt19937& rng) {
  struct Remote {
    const char* name;
    sim::Light light;
    std::string event;
  };
  const Remote remotes[] = {
      {"NEC, frame and 2 repeat codes", sim::NecPress(kNec, 2), "TV&Power"},
      {"SONY, 3 frames", sim::SonyPress(kSony, 3), "VCR&Play"},
      {"RC5, 1 frame (short press)", sim::Rc5Press(kRc5, 1), "Amp&Standby"},
      {"RC5, 2 frames", sim::Rc5Press(kRc5, 2), "Amp&Standby"},
  };
  constexpr int kPhases = 120;  // press starts spread over one poll interval of the monitor
  std::printf("\nPress to executor return, simulated time, %d press phases per remote, polled every "
              "%d us\n", kPhases, qvx::monitor::kIrMonPollUs);
  std::printf("  %-30s %6s %6s %6s %6s  %8s %8s %8s  %6s\n", "remote", "frame", "taken", "wrong",
              "lost", "min", "median", "max", "median/frame");
  for (const Remote& remote : remotes) {
    std::vector<double> latenciesMs;
    int wrong = 0;
    double frameMs = 0;
    for (int phase = 0; phase < kPhases; ++phase) {
      // The press begins in the dark, at any point of a poll interval, a second after the last.
      rig.clock.AdvanceNs(1'000'000'000);
      const std::vector<LightMark> marks = Marks(remote.light, rng);
      frameMs = FrameMs(marks);
      const int64_t delayUs = 10'000 + phase * qvx::monitor::kIrMonPollUs / kPhases;
      const int64_t pressNs = rig.clock.NowNs() + delayUs * 1000;
      rig.peer->PlayMarks(marks, delayUs);
      bool first = true;  // only the first command a press gives counts
      while (rig.clock.NowNs() < pressNs + 1'000'000'000) {
        const auto received = rig.monitoring.Tick();
        if (!received) {
          rig.clock.SleepUs(qvx::monitor::kIrMonPollUs);
          continue;
        }
        if (!first) continue;
        first = false;
        if (received->recCmd == remote.event) {
          latenciesMs.push_back(static_cast<double>(rig.prompter.lastStatusNs - pressNs) / 1e6);
        } else {
          ++wrong;
        }
      }
    }
    std::sort(latenciesMs.begin(), latenciesMs.end());
    const int taken = static_cast<int>(latenciesMs.size());
    const double median = taken ? latenciesMs[latenciesMs.size() / 2] : 0;
    const auto percent = [](int count) { return 100.0 * count / kPhases; };
    std::printf("  %-30s %5.1fms %5.0f%% %5.0f%% %5.0f%%  %6.1fms %6.1fms %6.1fms  %6.2f\n", remote.name,
                frameMs, percent(taken), percent(wrong), percent(kPhases - taken - wrong),
                taken ? latenciesMs.front() : 0, median, taken ? latenciesMs.back() : 0,
                frameMs > 0 ? median / frameMs : 0);
  }
  std::printf("  (frame: the remote's first frame, the floor for any decoder; taken: the press ran\n"
              "   its event line; wrong: a window showed another event or UNKNOWN; lost: nothing)\n");
}

// How often presses of the recorded remotes fire, tune and report sets apart: a tap and a long
// tap should fire once, a key held for 2 s three times (at once, then with the windows from
// 0.8 s on). Ticks as a headless monitor does.
void RecordedPresses(std::mt19937& rng) {
  using qvx::bench::PressLength;
  constexpr int kPresses = 20;  // of each family, set and length
  const PressLength lengths[] = {PressLength::Tap, PressLength::LongTap, PressLength::Held};
  const sim::RemoteSet sets[] = {sim::RemoteSet::Tune, sim::RemoteSet::Report};
  std::vector<qvx::bench::BenchPress> presses;
  for (const sim::RemoteSet set : sets) {
    for (const qvx::bench::TapFamily& family : qvx::bench::TapFamilies()) {
      for (const PressLength length : lengths) {
        for (int i = 0; i < kPresses; ++i)
          presses.push_back(qvx::bench::MakeBenchPress(family, set, length, 10, rng));
      }
    }
  }
  const std::vector<std::string> events = qvx::bench::ExpectedEvents(presses);
  Rig rig(qvx::bench::BenchConfiguration(presses, 0, 50));
  std::printf("\nPresses of the recorded remotes (jitter 10 %%), %d of each kind, virtual clock\n",
              kPresses);
  std::printf("  %-18s %-8s  %-22s  %-22s  %s\n", "family", "set", "tap: once/twice/wrong",
              "long tap: once/twice/wrong", "held 2 s: fired 3 times/wrong (fires)");
  for (std::size_t first = 0; first < presses.size(); first += 3 * kPresses) {
    int counts[3][3] = {};  // by length: right once (held: three times), more, wrong
    int heldFires = 0;
    for (std::size_t i = first; i < first + 3 * kPresses; ++i) {
      const qvx::bench::BenchPress& press = presses[i];
      std::vector<LightMark> marks;
      for (const auto& [startUs, endUs] : press.press.marks)
        marks.push_back({static_cast<int64_t>(startUs * 1000), static_cast<int64_t>(endUs * 1000)});
      rig.clock.AdvanceNs(1'000'000'000);
      const int64_t startNs = rig.clock.NowNs();
      rig.peer->PlayMarks(marks, 10'000);
      const int64_t untilNs = startNs + (marks.back().endNs - marks.front().startNs) + 1'500'000'000;
      int fires = 0;
      bool wrong = false;
      while (rig.clock.NowNs() < untilNs) {
        const auto received = rig.monitoring.Tick();
        if (!received) {
          rig.clock.SleepUs(qvx::monitor::kIrMonPollUs);
          continue;
        }
        ++fires;
        wrong = wrong || received->recCmd != events[i];
      }
      int* row = counts[static_cast<int>(press.length)];
      const int expected = press.length == PressLength::Held ? 3 : 1;
      if (press.length == PressLength::Held) heldFires += fires;
      if (wrong) {
        ++row[2];
      } else if (fires == expected) {
        ++row[0];
      } else if (fires > expected) {
        ++row[1];
      }
    }
    const qvx::bench::BenchPress& sample = presses[first];
    const auto cell = [&](int length) {
      return std::to_string(counts[length][0]) + "/" + std::to_string(counts[length][1]) + "/" +
             std::to_string(counts[length][2]);
    };
    std::printf("  %-18s %-8s  %-22s  %-22s  %s/%d (%.2f a press)\n", sample.family->device,
                sample.set == sim::RemoteSet::Tune ? "tune" : "report", cell(0).c_str(),
                cell(1).c_str(), std::to_string(counts[2][0]).c_str(), counts[2][2],
                static_cast<double>(heldFires) / kPresses);
  }
  std::printf("  (once: the press's event ran once; twice: more often; wrong: another event or\n"
              "   UNKNOWN ran; the rest were lost)\n");
}

}  // namespace

int main() {
  // The sweep has a generator of its own, so that its figures are the same in every run.
  std::mt19937 rateRng(11);
  std::mt19937 sweepRng(13);
  std::mt19937 recordedRng(17);
  {
    Rig rig;
    TickRates(rig, rateRng);
    PressToReturn(rig, sweepRng);
  }
  RecordedPresses(recordedRng);
  return 0;
}
