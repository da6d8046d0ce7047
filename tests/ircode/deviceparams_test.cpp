#include "qvx/ircode/deviceparams.h"

#include <gtest/gtest.h>

namespace qvx::ircode {
namespace {

TEST(DeviceParamsFromTexts, ReadsNumbersAndTrimsPatterns) {
  const auto params = DeviceParamsFromTexts(" 0", " 550", " 50", " 111100 ", "10", " 1000", " 1");
  ASSERT_TRUE(params.has_value());
  EXPECT_EQ(params->gproto, 0);
  EXPECT_EQ(params->sendplsUs, 550);
  EXPECT_EQ(params->repeatSlots, 50);
  EXPECT_EQ(params->bitg, "111100");
  EXPECT_EQ(params->bit0, "10");
  EXPECT_EQ(params->bit1, "1000");
  EXPECT_EQ(params->grepeatSlots, 1);
  EXPECT_EQ(params->Trailer(), "1");
}

TEST(DeviceParamsFromTexts, AcceptsEmptyLeaderAndNegativeProtocol) {
  const auto params = DeviceParamsFromTexts("-1", " 850", " 150", "", "10", "01", " 0");
  ASSERT_TRUE(params.has_value());
  EXPECT_EQ(params->gproto, -1);
  EXPECT_EQ(params->bitg, "");
  EXPECT_EQ(params->Trailer(), "");
}

TEST(DeviceParamsFromTexts, ReadsTheLeadingNumberAndRefusesWhatExceeds16Bits) {
  struct Case {
    const char* text;
    std::optional<int> value;
  };
  const Case cases[] = {
      {" 550us", 550}, {"550 us", 550}, {"\t560", 560}, {"+40", 40}, {" -1x", -1},
      {"abc", 0}, {"", 0}, {"  ", 0}, {"32767", 32767}, {"70000", std::nullopt},
      {"-40000", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto sendpls = DeviceParamsFromTexts("0", c.text, "0", "1", "10", "1000", "1");
    const auto others = DeviceParamsFromTexts(c.text, "550", c.text, "1", "10", "1000", c.text);
    ASSERT_EQ(sendpls.has_value(), c.value.has_value());
    ASSERT_EQ(others.has_value(), c.value.has_value());
    if (!c.value) continue;
    EXPECT_EQ(sendpls->sendplsUs, *c.value);
    EXPECT_EQ(others->gproto, *c.value);
    EXPECT_EQ(others->repeatSlots, *c.value);
    EXPECT_EQ(others->grepeatSlots, *c.value);
  }
}

TEST(DisplayFor, ShowsProtocolRepeatAndSyncType) {
  struct Case {
    int gproto, repeat, grepeat;
    const char* gProt;
    const char* rpt;
    std::optional<std::string> gType;
  };
  const Case cases[] = {
      {0, 50, 1, "NEC", "Y", "1"},    {1, 40, 40, "SONY", "Y", "2"}, {2, 150, 0, "RC5", "Y", "0"},
      {3, 0, 70, "Custom", "N", "2"}, {-1, -5, 11, "", "N", "2"},    {0, 0, 10, "NEC", "N", {}},
      {0, 1, 2, "NEC", "Y", {}},
  };
  for (const Case& c : cases) {
    DeviceParams params;
    params.gproto = c.gproto;
    params.repeatSlots = c.repeat;
    params.grepeatSlots = c.grepeat;
    const ProtocolDisplay display = DisplayFor(params);
    EXPECT_EQ(display.gProt, c.gProt);
    EXPECT_EQ(display.rpt, c.rpt);
    EXPECT_EQ(display.gType, c.gType) << c.grepeat;
  }
}

TEST(PresetFor, GivesTheDialogPresets) {
  const DevicePreset sony = PresetFor(1);
  EXPECT_EQ(sony.sendpls, "550");
  EXPECT_EQ(sony.repeat, "40");
  EXPECT_EQ(sony.grepeat, "40");
  EXPECT_EQ(sony.bit0, "01");
  EXPECT_EQ(sony.bit1, "011");
  EXPECT_EQ(sony.bitg, "1111");
  const DevicePreset rc5 = PresetFor(2);
  EXPECT_EQ(rc5.sendpls, "850");
  EXPECT_EQ(rc5.repeat, "150");
  EXPECT_EQ(rc5.grepeat, "0");
  EXPECT_EQ(rc5.bit0, "10");
  EXPECT_EQ(rc5.bit1, "01");
  EXPECT_EQ(rc5.bitg, "");
  for (const int other : {0, 3, 7, -1}) {
    const DevicePreset nec = PresetFor(other);
    EXPECT_EQ(nec.sendpls, "550");
    EXPECT_EQ(nec.repeat, "50");
    EXPECT_EQ(nec.grepeat, "1");
    EXPECT_EQ(nec.bit0, "10");
    EXPECT_EQ(nec.bit1, "1000");
    EXPECT_EQ(nec.bitg, "111111111111111100000000");
  }
  const DeviceParams params = PresetParams(1);
  EXPECT_EQ(params.gproto, 1);
  EXPECT_EQ(params.sendplsUs, 550);
  EXPECT_EQ(params.repeatSlots, 40);
  EXPECT_EQ(params.grepeatSlots, 40);
}

TEST(RecordedPatternsFor, KnowsTheThreeProtocolsOnly) {
  EXPECT_EQ(RecordedPatternsFor(0)->bitg, "111111111111111100000000");
  EXPECT_EQ(RecordedPatternsFor(0)->bit1, "1000");
  EXPECT_EQ(RecordedPatternsFor(1)->bitg, "1111");
  EXPECT_EQ(RecordedPatternsFor(1)->bit0, "01");
  EXPECT_EQ(RecordedPatternsFor(1)->bit1, "011");
  EXPECT_EQ(RecordedPatternsFor(2)->bitg, "");
  EXPECT_EQ(RecordedPatternsFor(2)->bit0, "10");
  for (const int unknown : {3, 26, 99, -1}) EXPECT_FALSE(RecordedPatternsFor(unknown));
}

TEST(LeadingNumber, ReadsLikeTheWindowFields) {
  EXPECT_EQ(LeadingNumber(" 550"), 550);
  EXPECT_EQ(LeadingNumber("560us"), 560);
  EXPECT_EQ(LeadingNumber("-7"), -7);
  EXPECT_EQ(LeadingNumber("abc"), 0);
  EXPECT_EQ(LeadingNumber(""), 0);
}

}  // namespace
}  // namespace qvx::ircode
