#include "qvx/ircode/pulsetext.h"

#include <gtest/gtest.h>

namespace qvx::ircode {
namespace {

const std::string kNecLeader = "111111111111111100000000";

DeviceParams Nec(int repeat, int grepeat) {
  DeviceParams params = PresetParams(0);
  params.repeatSlots = repeat;
  params.grepeatSlots = grepeat;
  return params;
}

TEST(BuildPulseString, NecWithoutRepeatsIsOneFrameWithFinalMark) {
  bool toggle = false;
  const std::string expected = kNecLeader + "10" "1000" "1000" "10" "1";
  EXPECT_EQ(BuildPulseString("0110", Nec(0, 1), toggle), expected);
  EXPECT_EQ(BuildPulseString("0110", Nec(0, 0), toggle), expected);
  EXPECT_FALSE(toggle);
}

TEST(BuildPulseString, SonyPresetSendsFiveFramesWithLeaders) {
  bool toggle = false;
  const std::string frame = "01" "011" "01";
  const std::string repeat = std::string(40, '0') + "1111" + frame;
  EXPECT_EQ(BuildPulseString("010", PresetParams(1), toggle),
            "1111" + frame + repeat + repeat + repeat + repeat);
}

TEST(BuildPulseString, FullRepeatsCarryNoLeaderWithGrepeatOneOrZero) {
  bool toggle = false;
  const std::string frame = "10" "1000" "1";
  const std::string repeat = std::string(50, '0') + frame;
  const std::string expected = kNecLeader + frame + repeat + repeat + repeat + repeat;
  EXPECT_EQ(BuildPulseString("01", Nec(50, 1), toggle), expected);
  EXPECT_EQ(BuildPulseString("01", Nec(50, 0), toggle), expected);
}

TEST(BuildPulseString, NecRepeatCodesFollowASingleFrame) {
  bool toggle = false;
  const std::string code = std::string(70, '0') + std::string(16, '1') + "0000" "1";
  EXPECT_EQ(BuildPulseString("1", Nec(0, 70), toggle),
            kNecLeader + "1000" "1" + code + code + code + code);
}

TEST(BuildPulseString, Rc5TogglesTheThirdBitOnEverySend) {
  const DeviceParams rc5 = PresetParams(2);
  bool toggle = false;
  const std::string first = BuildPulseString("11000000000001", rc5, toggle);
  EXPECT_TRUE(toggle);
  const std::string second = BuildPulseString("11000000000001", rc5, toggle);
  EXPECT_FALSE(toggle);
  const std::string third = BuildPulseString("11100000000001", rc5, toggle);
  // Bit 3 is slots 5 and 6 of each frame: "01" for a 1, "10" for a 0.
  EXPECT_EQ(first.substr(4, 2), "01");
  EXPECT_EQ(second.substr(4, 2), "10");
  EXPECT_EQ(third, first);
  std::string differs = first;
  differs.replace(4, 2, "10");
  EXPECT_EQ(differs.substr(0, 28), second.substr(0, 28));
}

TEST(BuildPulseString, CustomAndUnchosenProtocolsGetNoFinalMarkNorToggle) {
  for (const int gproto : {3, -1}) {
    DeviceParams params = Nec(0, 1);
    params.gproto = gproto;
    bool toggle = false;
    EXPECT_EQ(BuildPulseString("100", params, toggle), kNecLeader + "1000" "10" "10");
    EXPECT_FALSE(toggle);
  }
}

TEST(BuildPulseString, IgnoresCharactersOtherThanBits) {
  bool toggle = false;
  EXPECT_EQ(BuildPulseString("1x0 ", Nec(0, 1), toggle), kNecLeader + "1000" "10" "1");
}

TEST(PackSlotBytes, PacksFirstSlotIntoTheHighBitAndPads) {
  EXPECT_EQ(PackSlotBytes(""), std::vector<uint8_t>{});
  EXPECT_EQ(PackSlotBytes("1"), std::vector<uint8_t>{0x80});
  EXPECT_EQ(PackSlotBytes("000000011"), (std::vector<uint8_t>{0x01, 0x80}));
  EXPECT_EQ(PackSlotBytes("10100101"), std::vector<uint8_t>{0xA5});
  const std::vector<uint8_t> packed = PackSlotBytes(std::string(61, '1'));
  ASSERT_EQ(packed.size(), 8u);
  EXPECT_EQ(packed.back(), 0xF8);
}

TEST(SamplesPerSlot, RoundsHalvesUp) {
  const std::pair<int, int> cases[] = {{550, 10}, {600, 11}, {850, 15}, {880, 16}, {27, 0},
                                       {28, 1},   {82, 1},   {83, 2},   {0, 0},    {-5, 0}};
  for (const auto& [slotUs, samples] : cases) EXPECT_EQ(SamplesPerSlot(slotUs), samples) << slotUs;
}

TEST(RebuildSentSignal, ExpandsSlotsAndAddsASilentSlot) {
  const SignalView view = RebuildSentSignal("G01", Nec(0, 1), 110, false);
  const std::string pulses = kNecLeader + "10" "1000" "1" "0";
  std::string expected;
  for (const char slot : pulses) expected.append(2, slot);
  EXPECT_EQ(view.samples, expected);
  EXPECT_EQ(view.bytes, PackSlotBytes(expected));
}

TEST(RebuildSentSignal, ShowsTheToggleBitThatWasSent) {
  const DeviceParams rc5 = PresetParams(2);
  bool toggle = false;
  const std::string sent = BuildPulseString("11000000000001", rc5, toggle);
  const SignalView view = RebuildSentSignal("G11000000000001", rc5, 55, toggle);
  EXPECT_EQ(view.samples.substr(0, view.samples.size() - 1), sent);
  EXPECT_EQ(view.samples.back(), '0');
}

}  // namespace
}  // namespace qvx::ircode
