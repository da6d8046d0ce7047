// Prints the right codes of the remotes of the recorded table, per family, set, jitter and
// reading (learning, and the monitoring tick's watch windows from light and from darkness),
// with the faults that must not occur; the decode time per recording; and, before (the earlier
// release's decode) and after (the canonical decode), the right codes of the modelled remote
// families and of the round-trip scenarios, and round trips through the real sending and
// recording code on a simulated port. "bench_ircode remotes" or "bench_ircode speed" prints the
// first or the second part alone.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/ircode/earlier_decode.h"
#include "qvx/ircode/learning.h"
#include "qvx/ircode/pulsiolink.h"
#include "qvx/ircode/receivers.h"
#include "qvx/ircode/sim/pulsiorig.h"
#include "qvx/ircode/sim/realremotes.h"
#include "qvx/ircode/sim/remotescenarios.h"
#include "qvx/monitor/watchdecode.h"

namespace {

using qvx::ircode::LearnContext;
using qvx::ircode::LearnEnv;
using qvx::ircode::LearnFromRecording;
namespace sim = qvx::ircode::sim;

constexpr int kTrials = 300;
constexpr int kJitters[] = {0, 10, 20, 30};

// before: the earlier release's decode; after: the one learning and monitoring use now.
LearnEnv Env(bool after) {
  LearnEnv env;
  if (!after) env.decode = qvx::ircode::bench::EarlierDecodeSampleText;
  return env;
}

const char* const kPaths[] = {"before", "after"};

// Share of presses whose learned code is the one sent, in percent.
double LearningRight(sim::RemoteFamily family, int jitterPercent, bool after) {
  std::mt19937 rng(3000 + static_cast<unsigned>(family) * 13 + static_cast<unsigned>(jitterPercent));
  int right = 0;
  for (int i = 0; i < kTrials; ++i) {
    const sim::RealPress press = sim::MakeRealPress(family, i % 2 == 1, jitterPercent, rng);
    LearnContext context;
    right += LearnFromRecording(context, sim::RecordPress(press, rng), Env(after)).codeStr == press.code;
  }
  return 100.0 * right / kTrials;
}

// The code a watch window names first, as the monitoring tick looks it up; empty for none.
std::string WatchedCode(const std::vector<uint8_t>& bytes, bool after) {
  const std::string text = qvx::ircode::SamplesToText(bytes);
  const qvx::ircode::SampleDecode decode =
      after ? qvx::ircode::DecodeSampleText(text, qvx::ircode::SampleSpan::Window) : qvx::ircode::bench::EarlierDecodeSampleText(text);
  const std::vector<std::string> codes = qvx::ircode::WatchedCodes(decode);
  return codes.empty() ? std::string() : codes.front();
}

struct WatchFigures {
  double right = 0;  // of the windows that hold a whole frame, in percent
  double wrong = 0;  // of all windows, a code that is not the one sent, in percent
};

// Watch windows at random phases of held keys, until kTrials of them hold a whole frame.
WatchFigures MonitoringRight(sim::RemoteFamily family, int jitterPercent, bool after) {
  std::mt19937 rng(5000 + static_cast<unsigned>(family) * 17 + static_cast<unsigned>(jitterPercent));
  int whole = 0;
  int right = 0;
  int windows = 0;
  int wrong = 0;
  while (whole < kTrials) {
    const sim::RealPress press = sim::MakeRealPress(family, true, jitterPercent, rng);
    const std::string expected = press.code.substr(1);
    for (int i = 0; i < 4; ++i) {
      const double windowUs = 4000 * press.receiver.sampleUs;
      const double fromUs =
          std::uniform_real_distribution<double>(-windowUs, sim::PressLengthUs(press))(rng);
      const sim::WatchWindow window = sim::WatchPress(press, fromUs);
      const std::string code = WatchedCode(window.bytes, after);
      ++windows;
      wrong += !code.empty() && code != expected;
      if (!window.wholeFrame || whole == kTrials) continue;
      ++whole;
      right += code == expected;
    }
  }
  return {100.0 * right / kTrials, 100.0 * wrong / windows};
}

void RealRemoteTables() {
  std::printf("Real remotes: right codes in %% (before -> after), %d presses or windows per cell\n"
              "(marks 40-75 us longer, sample period 45-65 us, jitter on every duration)\n",
              kTrials);
  std::printf("  %-26s", "learning \\ jitter");
  for (const int jitter : kJitters) std::printf("   %5d %%      ", jitter);
  std::printf("\n");
  for (const sim::RemoteFamily family : sim::AllFamilies()) {
    std::printf("  %-26s", std::string(sim::FamilyName(family)).c_str());
    for (const int jitter : kJitters) {
      std::printf("  %5.1f -> %5.1f", LearningRight(family, jitter, false),
                  LearningRight(family, jitter, true));
    }
    std::printf("\n");
  }
  std::printf("  %-26s", "monitoring \\ jitter");
  for (const int jitter : kJitters) std::printf("   %5d %%      ", jitter);
  std::printf("\n");
  std::vector<std::string> wrongLines;
  for (const sim::RemoteFamily family : sim::AllFamilies()) {
    std::printf("  %-26s", std::string(sim::FamilyName(family)).c_str());
    std::string wrongLine;
    for (const int jitter : kJitters) {
      const WatchFigures before = MonitoringRight(family, jitter, false);
      const WatchFigures after = MonitoringRight(family, jitter, true);
      std::printf("  %5.1f -> %5.1f", before.right, after.right);
      char cell[32];
      std::snprintf(cell, sizeof cell, "  %5.1f -> %5.1f", before.wrong, after.wrong);
      wrongLine += cell;
    }
    std::printf("\n");
    char label[40];
    std::snprintf(label, sizeof label, "  %-26s", std::string(sim::FamilyName(family)).c_str());
    wrongLines.push_back(label + wrongLine);
  }
  std::printf("  windows of a held key naming a wrong code, in %% of all windows:\n");
  for (const std::string& line : wrongLines) std::printf("%s\n", line.c_str());
  std::printf("\n");
}

// ---- the remotes of the recorded table ----

constexpr int kRecordedTrials = 400;

// What is read: learning presses, or watch windows as the monitoring tick opens them. With the
// standard receiver the tick watches only while light falls on it; with the IR mouse receiver
// only while it is dark, so its window opens at any point of a press.
enum class Reading { Learning, WatchFromLight, WatchFromDark };

struct Figures {
  int cases = 0;    // presses learned, or windows that hold a whole frame
  int right = 0;    // of them, read as the code sent
  int partial = 0;  // windows of them named by a partial code
  int wrong = 0;    // learning: wrong codes validated at once; watching: windows of any kind
                    // naming a code that is not the one sent
  int windows = 0;  // watch windows of any kind
};

bool LitAt(const sim::RealPress& press, double us) {
  for (const auto& [start, end] : press.marks) {
    if (us >= start && us < end) return true;
  }
  return false;
}

// Taps and keys held for half a second to learn from; keys held for a second to watch. Each
// press is of a random key of a random remote of the family and set.
Figures Measure(sim::RemoteFamily family, sim::RemoteSet set, int jitterPercent, Reading reading) {
  const std::vector<const sim::RecordedRemote*> remotes = sim::RecordedRemotesOf(family, set);
  std::mt19937 rng(9000 + static_cast<unsigned>(family) * 31 + static_cast<unsigned>(set) * 7 +
                   static_cast<unsigned>(reading) * 101 + static_cast<unsigned>(jitterPercent));
  const auto remote = [&]() -> const sim::RecordedRemote& {
    return *remotes[std::uniform_int_distribution<size_t>(0, remotes.size() - 1)(rng)];
  };
  Figures f;
  if (reading == Reading::Learning) {
    for (; f.cases < kRecordedTrials; ++f.cases) {
      const sim::RealPress press =
          sim::MakeRecordedPress(remote(), f.cases % 2 ? 500 : 0, jitterPercent, rng);
      LearnContext context;
      const auto result = LearnFromRecording(context, sim::RecordPress(press, rng), LearnEnv{});
      f.right += result.codeStr == press.code;
      f.wrong += result.codeStr != press.code && result.validated && result.rpt == "Y";
    }
    return f;
  }
  while (f.cases < kRecordedTrials) {
    const sim::RealPress press = sim::MakeRecordedPress(remote(), 1000, jitterPercent, rng);
    const std::string expected = press.code.substr(1);
    const double windowUs = 4000 * press.receiver.sampleUs;
    double fromUs = 0;
    do {
      fromUs = std::uniform_real_distribution<double>(-windowUs, sim::PressLengthUs(press))(rng);
    } while (LitAt(press, fromUs) != (reading == Reading::WatchFromLight));
    const sim::WatchWindow window = sim::WatchPress(press, fromUs);
    // The tick's own decode of its capture buffer, as it looks the code up (RC5 toggle bit 0).
    const qvx::monitor::WatchDecode decode = qvx::monitor::DecodeWatchWindow(window.bytes);
    const std::string code = qvx::ircode::StoredForm(decode.code, decode.codingType);
    ++f.windows;
    f.wrong += !code.empty() && code != expected;
    if (!window.wholeFrame) continue;
    ++f.cases;
    f.right += code == expected;
    f.partial += !code.empty() && code.size() < expected.size();
  }
  return f;
}

void RecordedRemoteTables() {
  std::printf("Remotes of the recorded table (their own timings, the stretch of the receiver they\n"
              "were recorded with included; sample period 45-65 us; jitter on every duration):\n"
              "right codes in %% of %d learning presses, or of %d watch windows that hold a whole\n"
              "frame, of random remotes of the set (their number in brackets)\n",
              kRecordedTrials, kRecordedTrials);
  std::printf("  %-28s", "family, set \\ jitter");
  for (const int jitter : kJitters) std::printf("  %4d %%", jitter);
  std::printf("\n");
  const std::pair<Reading, const char*> readings[] = {
      {Reading::Learning, "learning"},
      {Reading::WatchFromLight, "watching, standard receiver (from light)"},
      {Reading::WatchFromDark, "watching, IR mouse receiver (from darkness)"}};
  std::string faults;
  for (const auto& [reading, title] : readings) {
    std::printf("  %s\n", title);
    for (const sim::RemoteFamily family : sim::AllFamilies()) {
      for (const sim::RemoteSet set : {sim::RemoteSet::Tune, sim::RemoteSet::Report}) {
        const std::string name = std::string(sim::FamilyName(family)) +
                                 (set == sim::RemoteSet::Tune ? ", tune (" : ", report (") +
                                 std::to_string(sim::RecordedRemotesOf(family, set).size()) + ")";
        std::printf("    %-26s", name.c_str());
        for (const int jitter : kJitters) {
          const Figures f = Measure(family, set, jitter, reading);
          std::printf("  %6.1f", 100.0 * f.right / f.cases);
          char line[240] = "";
          if (reading == Reading::Learning && f.wrong > 0) {
            std::snprintf(line, sizeof line, "  %s, %s, jitter %d %%: %d wrong codes validated at once\n",
                          title, name.c_str(), jitter, f.wrong);
          } else if (reading != Reading::Learning && (f.partial > 0 || f.wrong > 0)) {
            std::snprintf(line, sizeof line,
                          "  %s, %s, jitter %d %%: %d whole-frame windows named by a partial code; "
                          "%d of %d windows named by a wrong code\n",
                          title, name.c_str(), jitter, f.partial, f.wrong, f.windows);
          }
          faults += line;
        }
        std::printf("\n");
      }
    }
  }
  std::printf("%s\n", faults.empty() ? "  no wrong code validated at once, no window named by a wrong code"
                                    : faults.c_str());
}

double SuccessPercent(sim::Scenario scenario, int jitterPercent, bool after) {
  std::mt19937 rng(1000 + static_cast<unsigned>(scenario) * 7 + static_cast<unsigned>(jitterPercent));
  sim::ReceiverModel receiver;
  receiver.jitterPercent = jitterPercent;
  int right = 0;
  for (int i = 0; i < kTrials; ++i) {
    const sim::Press press = sim::MakePress(scenario, rng, receiver);
    LearnContext context;
    right += sim::LearnedRight(press, LearnFromRecording(context, press.samples, Env(after)));
  }
  return 100.0 * right / kTrials;
}

// Processor time of this thread, so that other programs' load on the machine does not count.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

void Throughput() {
  std::mt19937 rng(7);
  std::vector<sim::Press> presses;
  for (int i = 0; i < 100; ++i) {
    for (const sim::Scenario scenario : sim::AllScenarios()) {
      sim::ReceiverModel receiver;
      receiver.jitterPercent = 5;
      presses.push_back(sim::MakePress(scenario, rng, receiver));
    }
  }
  std::printf("Decode time per 600-byte recording, SamplesToText to validation\n"
              "(processor time of the thread, the least of 5 rounds of %zu recordings)\n",
              presses.size());
  for (const bool after : {false, true}) {
    double least = 0;
    for (int round = 0; round < 5; ++round) {
      const double start = ThreadSeconds();
      for (const sim::Press& press : presses) {
        LearnContext context;
        LearnFromRecording(context, press.samples, Env(after));
      }
      const double each = (ThreadSeconds() - start) / static_cast<double>(presses.size());
      if (round == 0 || each < least) least = each;
    }
    std::printf("  %-28s %7.1f us\n", kPaths[after], 1e6 * least);
  }
}

// Encode, SendIRCommand, IRSend on the simulated transmitter, the captured light through a
// receiver into IRRecord on the virtual clock, and the Record button's learning.
void PulsioRoundTrips() {
  constexpr int kPresses = 60;
  std::printf("\nRound trip through SendIRCommand, IRSend, the captured light and IRRecord\n"
              "(virtual clock, about 55 us a sample; receiver stretch 40-80 us; %d presses per cell)\n",
              kPresses);
  std::printf("  %-28s", "command \\ jitter");
  for (const int jitter : kJitters) std::printf("  %5d %%", jitter);
  std::printf("\n");
  qvx::ircode::sim::PulsioRig rig("bench-ir");
  long trips = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const sim::SentKind kind : sim::AllSentKinds()) {
    std::printf("  %-28s", sim::SentKindName(kind).c_str());
    for (const int jitter : kJitters) {
      std::mt19937 rng(500 + static_cast<unsigned>(kind) * 11 + static_cast<unsigned>(jitter));
      qvx::ircode::SendState state;
      int right = 0;
      for (int i = 0; i < kPresses; ++i) {
        const sim::SentCommand sent = sim::RandomCommand(kind, rng);
        const auto out = rig.Send(state, sent, qvx::ircode::kOutputDtr);
        const auto samples = rig.Record(out.light, {40, 80, static_cast<double>(jitter)}, rng,
                                        sim::kRigProcDelayUs, qvx::ircode::kReceiverDcdStd);
        LearnContext context;
        right += sim::LearnedRight(sent.expected, LearnFromRecording(context, samples, Env(true)));
        ++trips;
      }
      std::printf("  %6.1f%%", 100.0 * right / kPresses);
    }
    std::printf("\n");
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("  %.2f ms of real time per round trip (send, capture, record, learn)\n",
              1e3 * seconds / static_cast<double>(trips));
}

}  // namespace

int main(int argc, char** argv) {
  // "speed" measures the decode time alone, "remotes" reads the recorded table alone.
  const std::string only = argc > 1 ? argv[1] : "";
  if (only == "speed") {
    Throughput();
    return 0;
  }
  RecordedRemoteTables();
  if (only == "remotes") return 0;
  Throughput();
  std::printf("\n");
  RealRemoteTables();
  std::printf("\nRound-trip decode success, %d presses per cell (before -> after)\n",
              kTrials);
  std::printf("  %-28s", "scenario \\ jitter");
  for (const int jitter : kJitters) std::printf("   %5d %%      ", jitter);
  std::printf("\n");
  for (const sim::Scenario scenario : sim::AllScenarios()) {
    std::printf("  %-28s", std::string(sim::ScenarioName(scenario)).c_str());
    for (const int jitter : kJitters) {
      std::printf("  %5.1f -> %5.1f", SuccessPercent(scenario, jitter, false),
                  SuccessPercent(scenario, jitter, true));
    }
    std::printf("\n");
  }
  PulsioRoundTrips();
  return 0;
}
