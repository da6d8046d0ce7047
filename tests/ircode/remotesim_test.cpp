#include "qvx/ircode/sim/remotesim.h"

#include <gtest/gtest.h>

#include "qvx/ircode/canonicaldecode.h"
#include "qvx/ircode/runanalysis.h"

namespace qvx::ircode::sim {
namespace {

std::vector<int> RunLengths(const std::vector<uint8_t>& bytes) {
  std::vector<int> lengths;
  for (const SampleRun& run : ExtractRuns(SamplesToText(bytes)).runs) lengths.push_back(run.samples);
  return lengths;
}

TEST(RemoteSim, PulseTextBecomesLightFromTheFirstMark) {
  EXPECT_EQ(PulseTextToLight("0011100111000", 100).durationsUs,
            (std::vector<double>{300, 200, 300, 300}));
  EXPECT_TRUE(PulseTextToLight("000", 100).durationsUs.empty());
}

TEST(RemoteSim, ProtocolBitsInSendingOrder) {
  EXPECT_EQ(NecBits(0x04, 0x08), "00100000" "11011111" "00010000" "11101111");
  EXPECT_EQ(NecExtendedBits(0x0102, 0x08), "0100000010000000" "00010000" "11101111");
  EXPECT_EQ(SonyBits(21, 1, 5), "1010100" "10000");
  EXPECT_EQ(SonyBits(21, 1, 8), "1010100" "10000000");
  EXPECT_EQ(Rc5Bits(true, 5, 12), "111" "00101" "001100");
  EXPECT_EQ(Rc5Bits(false, 31, 70), "100" "11111" "000110");
}

TEST(RemoteSim, PressesFollowThePublicTimings) {
  const Light nec = NecPress("01", 1);
  EXPECT_EQ(nec.durationsUs.front(), 9000);
  EXPECT_EQ(nec.durationsUs[1], 4500);
  EXPECT_EQ(nec.durationsUs[3], 562.5);
  EXPECT_EQ(nec.durationsUs[5], 1687.5);
  EXPECT_EQ(nec.durationsUs[8], 9000);  // the repeat code, 108 ms after the start
  EXPECT_EQ(nec.durationsUs[9], 2250);
  double start = 0;
  for (size_t i = 0; i < 8; ++i) start += nec.durationsUs[i];
  EXPECT_DOUBLE_EQ(start, 108000);
  const Light sony = SonyPress("10", 2);
  EXPECT_EQ(sony.durationsUs,
            (std::vector<double>{2400, 600, 1200, 600, 600, 45000 - 5400, 2400, 600, 1200, 600,
                                 600}));
  // RC5 bits 1 1 0: the first half is dark, then mark, dark, mark+mark, dark.
  EXPECT_EQ(Rc5Press("110", 1).durationsUs, (std::vector<double>{889, 889, 1778, 889}));
}

TEST(RemoteSim, SamplesEvery55UsMostSignificantBitFirst) {
  ReceiverModel exact;
  exact.stretchMinUs = exact.stretchMaxUs = 0;
  std::mt19937 rng(1);
  const std::vector<uint8_t> bytes = RecordLight({{550, 1650, 550}, {}}, exact, rng, 10);
  ASSERT_EQ(bytes.size(), 10u);
  EXPECT_EQ(bytes[0], 0xFF);
  const std::vector<int> runs = RunLengths(bytes);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_NEAR(runs[0], 10, 1);
  EXPECT_NEAR(runs[1], 30, 1);
  EXPECT_NEAR(runs[2], 10, 1);
}

TEST(RemoteSim, ReceiverStretchLengthensMarksAndShortensGaps) {
  ReceiverModel stretching;
  stretching.stretchMinUs = stretching.stretchMaxUs = 110;
  stretching.frameStartExtraUs = 550;
  std::mt19937 rng(2);
  const std::vector<int> runs =
      RunLengths(RecordLight({{550, 1650, 550, 20000, 550, 550}, {}}, stretching, rng, 500));
  ASSERT_EQ(runs.size(), 5u);
  EXPECT_NEAR(runs[0], 22, 1);  // first mark: stretch and settling
  EXPECT_NEAR(runs[1], 18, 1);
  EXPECT_NEAR(runs[2], 12, 1);
  EXPECT_NEAR(runs[4], 22, 1);  // first mark after a long darkness settles again
}

}  // namespace
}  // namespace qvx::ircode::sim
