// Prints, before (the earlier release's decode) and after (the canonical decode): the share of
// right codes from real remotes per family and jitter, for learning recordings and for watch
// windows of a held key; the decoder's throughput; round-trip success per scenario; and round
// trips through the real sending and recording code on a simulated port.
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
#include "qvx/ircode/sim/remotescenarios.h"

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
  // "speed" measures the decode time alone.
  if (argc > 1 && std::string(argv[1]) == "speed") {
    Throughput();
    return 0;
  }
  RealRemoteTables();
  Throughput();
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
