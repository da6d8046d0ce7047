// Prints the learning decoder's throughput, a table of round-trip decode success per scenario
// and timing jitter (with the histogram analysis alone and with the second analysis), and the
// same for round trips through the real sending and recording code on a simulated port.
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

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

LearnEnv Env(bool mend) {
  LearnEnv env;
  env.mend = mend;
  return env;
}

double SuccessPercent(sim::Scenario scenario, int jitterPercent, bool mend) {
  std::mt19937 rng(1000 + static_cast<unsigned>(scenario) * 7 + static_cast<unsigned>(jitterPercent));
  sim::ReceiverModel receiver;
  receiver.jitterPercent = jitterPercent;
  int right = 0;
  for (int i = 0; i < kTrials; ++i) {
    const sim::Press press = sim::MakePress(scenario, rng, receiver);
    LearnContext context;
    right += sim::LearnedRight(press, LearnFromRecording(context, press.samples, Env(mend)));
  }
  return 100.0 * right / kTrials;
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
  std::printf("Decode throughput (600-byte recordings, SamplesToText to validation)\n");
  for (const bool mend : {false, true}) {
    const auto start = std::chrono::steady_clock::now();
    long count = 0;
    int right = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1500)) {
      for (const sim::Press& press : presses) {
        LearnContext context;
        right += sim::LearnedRight(press, LearnFromRecording(context, press.samples, Env(mend)));
        ++count;
      }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %-28s %9.0f recordings/s  (%.1f us each)\n",
                mend ? "with second analysis" : "histogram analysis only", count / seconds,
                1e6 * seconds / count);
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

int main() {
  Throughput();
  std::printf("\nRound-trip decode success, %d presses per cell (before -> after the mends)\n",
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
