// Calibration of PROCDELAY against a simulated SONY remote through Pulsio's IRRecord on a
// virtual clock, whose modem-line read cost plus the pause make the sample period; and the
// ProcDelay dialog.
#include <gtest/gtest.h>

#include <utility>

#include "qvx/ircode/calibration.h"
#include "qvx/ircode/runanalysis.h"
#include "qvx/ircode/sim/remotesim.h"
#include "tests/ircode_hw/hw_fixture.h"

namespace qvx::ircode::test {
namespace {

using platform::sim::ReceiverWiring;

std::vector<int64_t> Durations(const sim::Light& light) {
  return std::vector<int64_t>(light.durationsUs.begin(), light.durationsUs.end());
}

// The '1' button of a SONY TV remote: command 0, address 1, 12 bits, a frame every 45 ms.
sim::Light SonyOneHeld(int frames) { return sim::SonyPress(sim::SonyBits(0, 1, 5), frames); }

// The unit the run analysis finds in the '1' button's light sampled every sampleUs, the first
// sample phaseUs after the header starts (a recording begins right after seeing light).
int UnitAt(double sampleUs, double phaseUs) {
  const sim::Light light = SonyOneHeld(3);
  std::string samples;
  for (int k = 0; k < kCalibrationBytes * 8; ++k) {
    const double t = phaseUs + k * sampleUs;
    double start = 0;
    bool lit = false;
    for (size_t i = 0; i < light.durationsUs.size(); ++i) {
      if (t < start + light.durationsUs[i]) {
        lit = i % 2 == 0;
        break;
      }
      start += light.durationsUs[i];
    }
    samples += lit ? '1' : '0';
  }
  const RunAnalysis analysis = AnalyseRuns(samples);
  return analysis.ok ? analysis.unitSamples : 0;
}

// The PROCDELAY the calibration rule should end with when a sample costs lineReadUs plus the
// pause: the first pause from which the unit is 10 and the first from which it is 9, for every
// sample period and phase the counter reads allow (with reads of 250 ns a pause of p us lasts
// p us plus 0.25 to 0.6 us); then the middle of the two.
int PredictedProcDelay(double lineReadUs) {
  auto unitAlways = [&](int pauseUs, int unit) {
    for (double overheadUs : {0.25, 0.3, 0.35, 0.4, 0.45, 0.5, 0.55, 0.6}) {
      for (double phaseUs : {0.0, 0.1, 0.2}) {
        if (UnitAt(lineReadUs + pauseUs + overheadUs, lineReadUs + phaseUs) != unit) return false;
      }
    }
    return true;
  };
  int firstTen = 0;
  while (!unitAlways(firstTen, 10)) ++firstTen;
  int firstNine = firstTen;
  while (!unitAlways(firstNine, 9)) ++firstNine;
  return (firstNine - firstTen) / 2 + firstTen;
}

class Calibration : public HwTest {
 protected:
  // A receiver of the given wiring on COM1, opened as the IR port, with the lines of its type.
  std::shared_ptr<platform::sim::IrPeer> Receiver(ReceiverWiring wiring, int64_t lineReadNs) {
    auto peer = InstallReceiver(1, wiring);
    OpenIrPort(1);
    SetKey("ITYPE", wiring == ReceiverWiring::IrMouse ? "1" : "0");
    SetReceiverLines(iface_, store_.general.receiverType, prompter_, clock_);
    clock_.SetLineReadCostNs(lineReadNs);
    return peer;
  }

  CalibrationResult Run() {
    return Calibrate(iface_, store_, ok_, beep_);
  }

  std::vector<std::string> asked_;
  std::vector<std::pair<int, int>> beeps_;
  bool answer_ = true;
  AskOkCancel ok_ = [this](std::string_view title, std::string_view text) {
    asked_.push_back(std::string(title) + ": " + std::string(text));
    return answer_;
  };
  // Beeps take their time, as the real ones do.
  Beeper beep_ = [this](int freqHz, int durationMs) {
    beeps_.emplace_back(freqHz, durationMs);
    clock_.SleepMs(static_cast<uint32_t>(durationMs));
  };
};

TEST_F(Calibration, ReachesTheMidpointPredictedForTheSampleCost) {
  constexpr int64_t kLineReadNs = 10'000;
  const int predicted = PredictedProcDelay(kLineReadNs / 1000.0);
  ASSERT_EQ(predicted, 47);  // 10 us reads: 10 samples from PROCDELAY 44, 9 from 50

  auto peer = Receiver(ReceiverWiring::DcdStandard, kLineReadNs);
  peer->PlayRemote(Durations(SonyOneHeld(400)), 300'000);
  const CalibrationResult result = Run();

  EXPECT_EQ(asked_, (std::vector<std::string>{
                        "Record a command: Keep the '1' button on the SONY remote pressed and "
                        "click OK.\nKeep pressed till you will receive a message."}));
  EXPECT_EQ(result.status, "Calibration succeeded.  PROCDELAY= " + std::to_string(predicted));
  EXPECT_EQ(result.procDelayShown, std::to_string(predicted));
  EXPECT_EQ(result.sendPulse, "495");  // the unit of 9 samples x 55 us
  EXPECT_TRUE(result.irCommandCleared);
  EXPECT_EQ(store_.general.procDelay, predicted);
  EXPECT_EQ(FileValue("PROCDELAY"), " " + std::to_string(predicted));
  // Every recording is framed by a start beep and a short beep once it is in.
  ASSERT_EQ(beeps_.size(), 2 * result.steps.size());
  for (size_t i = 0; i < beeps_.size(); i += 2) {
    EXPECT_EQ(beeps_[i], std::make_pair(5000, 50));
    EXPECT_EQ(beeps_[i + 1], std::make_pair(4000, 20));
  }
  // The pause went up one at a time and the loop ended at the first 9 after a 10.
  for (size_t i = 0; i < result.steps.size(); ++i) EXPECT_EQ(result.steps[i].first, static_cast<int>(i));
  EXPECT_EQ(result.steps.back(), std::make_pair(50, 9));
}

TEST_F(Calibration, IrMouseRecordsWithItsOwnLinesAndPolarity) {
  auto peer = Receiver(ReceiverWiring::IrMouse, 10'000);
  SetDtrLine(false, iface_.handle);  // calibration powers the receiver itself
  peer->PlayRemote(Durations(SonyOneHeld(400)), 300'000);
  const CalibrationResult result = Run();
  EXPECT_EQ(result.status, "Calibration succeeded.  PROCDELAY= 47");
  EXPECT_TRUE(peer->LineOn(platform::OutputLine::Dtr));
}

TEST_F(Calibration, TheMiddleOfTwelveAndSeventeenIsFourteen) {
  auto peer = Receiver(ReceiverWiring::DcdStandard, 42'250);
  peer->PlayRemote(Durations(SonyOneHeld(400)), 300'000);
  const CalibrationResult result = Run();
  int firstTen = -1;
  for (const auto& [pauseUs, unit] : result.steps) {
    if (unit == 10 && firstTen < 0) firstTen = pauseUs;
  }
  EXPECT_EQ(firstTen, 12);
  EXPECT_EQ(result.steps.back(), std::make_pair(17, 9));
  // A 9 measured before any 10 (a recording that began inside a frame) is recorded again.
  EXPECT_EQ(result.steps[3], std::make_pair(3, 9));
  EXPECT_EQ(result.steps[4].first, 3);
  EXPECT_EQ(result.status, "Calibration succeeded.  PROCDELAY= 14");
}

TEST_F(Calibration, TenSamplesAtPauseZeroCountAsFound) {
  // A machine so slow that no pause is needed: 10 samples at once, then 9 at a small pause.
  auto peer = Receiver(ReceiverWiring::DcdStandard, 56'000);
  peer->PlayRemote(Durations(SonyOneHeld(400)), 300'000);
  const CalibrationResult result = Run();
  ASSERT_FALSE(result.steps.empty());
  EXPECT_EQ(result.steps.front(), std::make_pair(0, 10));
  const int nineAt = result.steps.back().first;
  EXPECT_EQ(result.steps.back().second, 9);
  EXPECT_EQ(result.status, "Calibration succeeded.  PROCDELAY= " + std::to_string(nineAt / 2));
}

TEST_F(Calibration, NineSamplesAtOnceKeepRecordingUntilTheRemoteIsReleased) {
  // Held for 2.7 s, and stuck for 90 s: far more recordings than a short hold, the same end.
  auto peer = Receiver(ReceiverWiring::DcdStandard, 62'000);
  for (const int frames : {60, 2000}) {
    SCOPED_TRACE(frames);
    beeps_.clear();
    peer->PlayRemote(Durations(SonyOneHeld(frames)), 300'000);
    const CalibrationResult result = Run();
    EXPECT_EQ(result.status, "Autocalibration aborted!");
    ASSERT_GT(result.steps.size(), frames == 60 ? 10u : 500u);
    for (const auto& step : result.steps) EXPECT_EQ(step, std::make_pair(0, 9));
    EXPECT_EQ(beeps_.back(), std::make_pair(600, 1000));
    // Nothing was stored, and the program keeps the pause it had.
    EXPECT_EQ(store_.general.procDelay, 10);
    EXPECT_EQ(FileValue("PROCDELAY"), " 10");
    EXPECT_EQ(result.sendPulse, "");
    EXPECT_FALSE(result.procDelayShown);
  }
}

TEST_F(Calibration, AValueThatCannotBeSavedIsReportedAndNotKept) {
  auto peer = Receiver(ReceiverWiring::DcdStandard, 10'000);
  peer->PlayRemote(Durations(SonyOneHeld(400)), 300'000);
  const std::string file = qvx::test::ReadFile(store_.path);
  const auto saved = store_.path;
  store_.path = dir_ / "missing-directory" / "pelgrin.cfg";
  const CalibrationResult result = Run();
  store_.path = saved;
  EXPECT_EQ(result.status.rfind("The configuration file could not be saved: ", 0), 0u) << result.status;
  EXPECT_FALSE(result.procDelayShown);
  EXPECT_EQ(result.sendPulse, "");
  EXPECT_EQ(store_.general.procDelay, 10);
  EXPECT_EQ(qvx::test::ReadFile(store_.path), file);

  // The ProcDelay dialog says so in a message box and changes nothing.
  store_.path = dir_ / "missing-directory" / "pelgrin.cfg";
  qvx::test::ScriptedPrompter prompter;
  prompter.textAnswers = {"33"};
  EXPECT_EQ(EnterProcDelay(store_, prompter), std::nullopt);
  store_.path = saved;
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].rfind("QVX: The configuration file could not be saved: ", 0), 0u)
      << prompter.messages[0];
  EXPECT_EQ(store_.general.procDelay, 10);
  EXPECT_EQ(qvx::test::ReadFile(store_.path), file);
}

TEST_F(Calibration, ARemoteWithALongerUnitFailsAfterPause70) {
  // An RC5 remote's 889 us half bit never measures 9 or 10 samples within the pauses tried.
  auto peer = Receiver(ReceiverWiring::DcdStandard, 10'000);
  peer->PlayRemote(Durations(sim::Rc5Press(sim::Rc5Bits(false, 0, 1), 300)), 300'000);
  const CalibrationResult result = Run();
  EXPECT_EQ(result.status, "Calibration procedure failed!");
  EXPECT_EQ(result.steps.back().first, 71);
  EXPECT_EQ(store_.general.procDelay, 10);
  EXPECT_EQ(FileValue("PROCDELAY"), " 10");
}

TEST_F(Calibration, NoRemoteAbortsAfterFiveSeconds) {
  Receiver(ReceiverWiring::DcdStandard, 10'000);
  const double start = ElapsedMs();
  const CalibrationResult result = Run();
  EXPECT_EQ(result.status, "Autocalibration aborted!");
  EXPECT_GE(ElapsedMs() - start, 5000 + 50 + 1000);
  EXPECT_EQ(beeps_, (std::vector<std::pair<int, int>>{{5000, 50}, {600, 1000}}));
  EXPECT_TRUE(result.irCommandCleared);
}

TEST_F(Calibration, ReceiversWithoutSamplingNeedNoCalibration) {
  InstallReceiver(1, ReceiverWiring::DcdStandard);
  OpenIrPort(1);
  for (const char* itype : {"2", "3", "9"}) {
    beeps_.clear();
    SetKey("ITYPE", itype);
    const CalibrationResult result = Run();
    EXPECT_EQ(result.status, "No need to calibrate for the current IR input interface") << itype;
    EXPECT_TRUE(result.steps.empty());
    EXPECT_EQ(beeps_, (std::vector<std::pair<int, int>>{{5000, 50}}));
    EXPECT_EQ(store_.general.procDelay, 10);
  }
}

TEST_F(Calibration, CancelChangesNothing) {
  Receiver(ReceiverWiring::DcdStandard, 10'000);
  answer_ = false;
  const std::string file = qvx::test::ReadFile(store_.path);
  const CalibrationResult result = Run();
  EXPECT_FALSE(result.started);
  EXPECT_EQ(result.status, "");
  EXPECT_FALSE(result.sendPulse);
  EXPECT_TRUE(beeps_.empty());
  EXPECT_EQ(qvx::test::ReadFile(store_.path), file);
}

TEST_F(Calibration, ProcDelayDialogTakesZeroToHundredRounded) {
  struct Case {
    std::vector<std::optional<std::string>> answers;
    std::optional<int> result;
    int refusals;  // "The value must be between 0 and 100" shown this often
  };
  const Case cases[] = {
      {{"0"}, 0, 0},
      {{"100"}, 100, 0},
      {{"101", "-1", "33"}, 33, 2},
      {{" 12.6 "}, 13, 0},
      {{"12.4"}, 12, 0},
      {{"100.2", "5"}, 5, 1},
      {{"100.6", "7"}, 7, 1},
      {{"abc", "8"}, 8, 1},
      {{""}, std::nullopt, 0},
      {{"   "}, std::nullopt, 0},
      {{std::nullopt}, std::nullopt, 0},
      {{"250", std::nullopt}, std::nullopt, 1},
  };
  for (const Case& c : cases) {
    SetKey("PROCDELAY", "10");
    qvx::test::ScriptedPrompter prompter;
    prompter.textAnswers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(EnterProcDelay(store_, prompter), c.result) << *c.answers.front();
    EXPECT_EQ(prompter.messages,
              std::vector<std::string>(static_cast<size_t>(c.refusals),
                                       "QVX: The value must be between 0 and 100"));
    EXPECT_EQ(prompter.inputPrompts.front(), "Procdelay value: Enter the new ProcDelay value");
    const int expected = c.result.value_or(10);
    EXPECT_EQ(store_.general.procDelay, expected);
    EXPECT_EQ(FileValue("PROCDELAY"), " " + std::to_string(expected));
  }
}

}  // namespace
}  // namespace qvx::ircode::test
