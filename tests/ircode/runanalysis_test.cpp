#include "qvx/ircode/runanalysis.h"

#include <gtest/gtest.h>

#include "runs.h"

namespace qvx::ircode {
namespace {

using testing::Repeat;
using testing::Runs;

TEST(SampleBits, UnpackMostSignificantBitFirst) {
  const uint8_t bytes[] = {0x80, 0x01, 0xA5};
  EXPECT_EQ(SamplesToText(bytes), "10000000" "00000001" "10100101");
  EXPECT_EQ(SamplesToText({}), "");
  EXPECT_EQ(ByteToBinText(0x00), "00000000");
  EXPECT_EQ(ByteToBinText(0xFF), "11111111");
  EXPECT_EQ(ByteToBinText(0x5A), "01011010");
}

TEST(BinToInt, ReadsBaseTwoMostSignificantFirst) {
  const std::pair<const char*, int> cases[] = {
      {"", 0}, {"0", 0}, {"1", 1}, {"0101", 5}, {"1111111", 127}, {"10000000", 128}, {"1x1", 5}};
  for (const auto& [bits, value] : cases) EXPECT_EQ(BinToInt(bits), value) << bits;
}

TEST(RunClass, BoundariesForUnitTen) {
  const std::pair<int, int> cases[] = {{0, 1},  {14, 1}, {15, 2}, {25, 2},
                                       {26, 3}, {38, 3}, {39, 9}, {200, 9}};
  for (const auto& [n, k] : cases) EXPECT_EQ(RunClass(n, 10), k) << n;
}

// A peak is the first bin whose three-bin sum is largest, so runs all of length n give the
// peak n - 1: the units below are one sample short of the marks and gaps, as in the system.
TEST(AnalyseRuns, FindsCodingTypeAndUnit) {
  struct Case {
    const char* name;
    std::string text;
    int type, unit;
  };
  const Case cases[] = {
      // NEC style: long header, marks of 11, gaps of 9 and 29.
      {"gap-coded", Runs({170, 79}) + Repeat(Runs({11, 9, 11, 29}), 8) + Runs({11, 400}), 0, 9},
      // SONY style: header of 44, marks of 11 and 21, gaps of 9.
      {"pulse-coded", Runs({44, 9}) + Repeat(Runs({11, 9, 11, 9, 21, 9}), 4) + Runs({11, 400}), 1,
       9},
      // RC5 style: single and double marks and gaps.
      {"bi-phase", Repeat(Runs({16, 15, 16, 15, 32, 31}), 4) + Runs({16, 400}), 2, 14},
      {"unknown", Repeat(Runs({10, 10}), 12) + Runs({10, 400}), 99, 9},
  };
  for (const Case& c : cases) {
    const RunAnalysis analysis = AnalyseRuns(c.text);
    EXPECT_TRUE(analysis.ok) << c.name;
    EXPECT_EQ(analysis.codingType, c.type) << c.name;
    EXPECT_EQ(analysis.unitSamples, c.unit) << c.name;
  }
}

TEST(AnalyseRuns, FailsWithoutRunsBetweenFourAndNinety) {
  EXPECT_FALSE(AnalyseRuns(Repeat(Runs({2, 2}), 50) + "0").ok);
  EXPECT_FALSE(AnalyseRuns(Repeat(Runs({120, 150}), 5) + "0").ok);
  EXPECT_FALSE(AnalyseRuns("").ok);
  EXPECT_FALSE(AnalyseRuns(std::string(100, '1')).ok);
}

TEST(AnalyseRuns, ClampsLongRunsAndStopsAfterALongGap) {
  const RunAnalysis analysis =
      AnalyseRuns(Runs({150, 10, 10, 10, 10, 301, 20, 20, 20, 20, 20}));
  EXPECT_EQ(analysis.markHistogram[99], 1);
  EXPECT_EQ(analysis.markHistogram[10], 2);
  EXPECT_EQ(analysis.gapHistogram[10], 2);
  EXPECT_EQ(analysis.markHistogram[20], 0);  // after the gap of 301 nothing counts
  EXPECT_EQ(analysis.gapHistogram[99], 0);
  // A header mark in bin 99 is never a long mark.
  EXPECT_EQ(analysis.codingType, 99);
}

TEST(AnalyseRuns, PeakIsTheFirstOfEqualSums) {
  // Marks of 10 and of 30 equally often: the peak stays at the shorter one.
  const RunAnalysis analysis = AnalyseRuns(Repeat(Runs({10, 10, 30, 10}), 6) + "1");
  EXPECT_EQ(analysis.markHistogram[10], 6);
  EXPECT_EQ(analysis.markHistogram[30], 6);
  EXPECT_EQ(analysis.markPeak, 9);
  EXPECT_EQ(analysis.gapPeak, 9);
  EXPECT_EQ(analysis.codingType, 1);
}

TEST(BuildSymbolText, ClassifiesRunsAndMeasuresThem) {
  const SymbolText text = BuildSymbolText(Runs({5, 12, 170, 80, 10, 10, 10, 30, 10, 150}), 10, 0);
  EXPECT_EQ(text.symbols, "Gg1010001g");
  EXPECT_EQ(text.plen1, "-5-170-10-10-10");
  EXPECT_EQ(text.plen0, "-12-80-10-30");
}

TEST(BuildSymbolText, HandlesTheEndOfTheText) {
  // A short gap open at the end adds nothing, a mark open at the end is dropped.
  EXPECT_EQ(BuildSymbolText(Runs({50, 10, 10, 100}), 10, 0).symbols, "G01");
  EXPECT_EQ(BuildSymbolText(Runs({50, 10, 10}), 10, 0).symbols, "G0");
  EXPECT_EQ(BuildSymbolText(Runs({50, 10, 10}), 10, 0).plen1, "-50");
  // Without any long run there is nothing to decode.
  EXPECT_EQ(BuildSymbolText(Runs({10, 10, 10, 10}), 10, 0).symbols, "");
  // A bi-phase text gets a leading long gap.
  EXPECT_EQ(BuildSymbolText(Runs({10, 10, 20, 20, 10, 101}), 10, 2).symbols, "g1011001g");
}

TEST(DecodeSymbols, GapCoded) {
  EXPECT_EQ(DecodeSymbols("Gg1010001000101g", 0), "GGG0110G");
  // Six long runs in a row end the decode.
  EXPECT_EQ(DecodeSymbols("Gggggg10001", 0), "GGGGGGG");
  EXPECT_EQ(DecodeSymbols("", 0), "G");
}

TEST(DecodeSymbols, PulseCoded) {
  EXPECT_EQ(DecodeSymbols("G010110101g", 1), "G0100G");
  EXPECT_EQ(DecodeSymbols("G01gG011gG01gG01", 1), "G0GG1GG0G");
}

TEST(DecodeSymbols, BiPhase) {
  // Start bits 1 1, then 0 1 1 0 (whose last half joins the long gap), and the next frame.
  EXPECT_EQ(DecodeSymbols("g1011001011g10", 2), "G110110G1");
  EXPECT_EQ(DecodeSymbols("g1010g", 2), "G11");
  EXPECT_EQ(DecodeSymbols("g100110", 2), "");
  EXPECT_EQ(DecodeSymbols("g111", 2), "");
}

TEST(SplitFrames, TakesTheFirstTwoFramesAndSyncType) {
  const Frames repeatCodes = SplitFrames("GGG0101GGG1");
  EXPECT_EQ(repeatCodes.frame1, "0101");
  EXPECT_EQ(repeatCodes.frame2, "1");
  EXPECT_EQ(repeatCodes.gapSyncType, "2");
  const Frames repeats = SplitFrames("GGG0101G0101G");
  EXPECT_EQ(repeats.frame1, "0101");
  EXPECT_EQ(repeats.frame2, "0101");
  EXPECT_EQ(repeats.gapSyncType, "1");
  EXPECT_EQ(SplitFrames("GG0101").gapSyncType, "2");
  EXPECT_EQ(SplitFrames("GG0101G").gapSyncType, "1");
  EXPECT_EQ(SplitFrames("").frame1, "");
}

TEST(BitCountValid, KnowsEachType) {
  for (size_t bits = 0; bits <= 50; ++bits) {
    EXPECT_EQ(BitCountValid(0, bits), bits == 16 || bits == 32 || bits == 42 || bits == 48);
    EXPECT_EQ(BitCountValid(1, bits), bits == 12 || bits == 15);
    EXPECT_EQ(BitCountValid(2, bits), bits == 14);
    EXPECT_FALSE(BitCountValid(99, bits));
  }
}

}  // namespace
}  // namespace qvx::ircode
