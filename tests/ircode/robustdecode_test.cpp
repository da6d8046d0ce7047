#include "qvx/ircode/robustdecode.h"

#include <gtest/gtest.h>

#include "runs.h"

namespace qvx::ircode {
namespace {

using testing::Repeat;
using testing::PulseFrame;
using testing::Runs;

std::vector<SampleRun> RunList(const std::string& text) { return ExtractRuns(text); }

TEST(ExtractRuns, StartsAtTheFirstMarkAndLeavesOutTheOpenRun) {
  const std::vector<SampleRun> runs = ExtractRuns("0011100011");
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_TRUE(runs[0].mark);
  EXPECT_EQ(runs[0].samples, 3);
  EXPECT_FALSE(runs[1].mark);
  EXPECT_EQ(runs[1].samples, 3);
  EXPECT_TRUE(ExtractRuns("0000").empty());
}

TEST(FitUnit, SeparatesUnitFromReceiverStretch) {
  struct Case {
    const char* name;
    std::string text;
    double unit, stretch;
  };
  const Case cases[] = {
      {"NEC", Runs({170, 80}) + Repeat(Runs({12, 8, 12, 28}), 8) + "1", 10, 2},
      {"SONY, 1-bits only", PulseFrame("111111111111", 45, 9, 11, 21) + "0", 10, 1},
      {"RC5", Repeat(Runs({17, 15, 33, 31}), 6) + "1", 16, 1},
      // The first mark of a frame and the gap after it are the receiver settling.
      {"RC5, settling", Runs({25, 7}) + Repeat(Runs({17, 15, 33, 31}), 6) + "1", 16, 1},
  };
  for (const Case& c : cases) {
    const std::optional<UnitFit> fit = FitUnit(RunList(c.text));
    ASSERT_TRUE(fit.has_value()) << c.name;
    EXPECT_NEAR(fit->unitSamples, c.unit, 0.3) << c.name;
    EXPECT_NEAR(fit->stretchSamples, c.stretch, 0.3) << c.name;
  }
  EXPECT_FALSE(FitUnit(RunList(Runs({10, 10, 10, 10}) + "1")));
}

TEST(RobustDecodeSamples, DecodesWhatTheHistogramsMiss) {
  // SONY, all 1-bits: three frames of a header and 12 two-unit marks.
  const std::string sonyFrame = PulseFrame("111111111111", 45, 9, 11, 21);
  const std::string sony = Repeat(sonyFrame + std::string(400, '0'), 3);
  const auto sonyDecode = RobustDecodeSamples(sony);
  ASSERT_TRUE(sonyDecode.has_value());
  EXPECT_EQ(sonyDecode->codingType, 1);
  EXPECT_EQ(sonyDecode->decoded, "G111111111111GG111111111111GG111111111111G");

  // RC5 address 0 command 0, one frame: 1 1 0 0 0 ... as halves 01 01 10 10 ...
  std::string halves = "0101";
  for (int bit = 0; bit < 12; ++bit) halves += "10";
  std::string rc5;
  for (const char half : halves.substr(1)) rc5.append(16, half);
  const auto rc5Decode = RobustDecodeSamples(rc5 + std::string(500, '0'));
  ASSERT_TRUE(rc5Decode.has_value());
  EXPECT_EQ(rc5Decode->codingType, 2);
  EXPECT_EQ(rc5Decode->decoded, "G11000000000000");
}

TEST(RobustDecodeSamples, GivesNothingWithoutAValidBitCount) {
  const std::string sony13 = PulseFrame("1011001110001", 45, 9, 11, 21) + std::string(400, '0');
  EXPECT_FALSE(RobustDecodeSamples(Repeat(sony13, 2)));
  EXPECT_FALSE(RobustDecodeSamples(Repeat(Runs({10, 10}), 40) + std::string(400, '0')));
  EXPECT_FALSE(RobustDecodeSamples(""));
}

}  // namespace
}  // namespace qvx::ircode
