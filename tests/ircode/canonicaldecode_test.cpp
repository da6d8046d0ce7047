#include "qvx/ircode/canonicaldecode.h"

#include <gtest/gtest.h>

#include "qvx/ircode/sampledecode.h"
#include "runs.h"

namespace qvx::ircode {
namespace {

using testing::PulseFrame;
using testing::Repeat;
using testing::Runs;

const std::string kDark(400, '0');

// A NEC frame at 10 samples a unit, marks one sample longer: header (or none), the bits, the
// trailer mark.
std::string NecFrame(const std::string& bits, bool header = true) {
  std::vector<int> lengths;
  if (header) lengths = {161, 79};
  for (const char bit : bits) {
    lengths.push_back(11);
    lengths.push_back(bit == '1' ? 29 : 9);
  }
  lengths.push_back(11);
  return Runs(lengths);
}

const std::string kNecRepeatCode = Runs({161, 39, 11});

// An RC5 frame at 16 samples a half bit as the receiver shows it: light from the second half
// of the first start bit on, the first mark `firstExtra` samples longer.
std::string Rc5Frame(const std::string& bits, int firstExtra = 0) {
  std::string halves;
  for (const char bit : bits) halves += bit == '1' ? "01" : "10";
  std::string text;
  for (const char half : halves.substr(1)) text.append(16, half);
  const size_t firstDark = text.find('0');
  text.insert(0, static_cast<size_t>(firstExtra), '1');
  return text.substr(0, std::min(text.find_last_of('1') + 1, firstDark + firstExtra + text.size()));
}

const std::string kSony12 = "101101001100";
const std::string kSony20 = "10110100110001110010";
const std::string kNec32 = "00100000110111110001000011101111";

std::string SonyFrame(const std::string& bits) { return PulseFrame(bits, 45, 9, 11, 21); }

TEST(ExtractRuns, KeepsTheDarknessAroundTheClosedRuns) {
  const RunList list = ExtractRuns("0011100011000");
  EXPECT_EQ(list.leadingDark, 2);
  EXPECT_EQ(list.trailingDark, 3);
  ASSERT_EQ(list.runs.size(), 3u);
  EXPECT_TRUE(list.runs[0].mark);
  EXPECT_EQ(list.runs[1].samples, 3);
  EXPECT_EQ(list.runs[2].samples, 2);
  const RunList open = ExtractRuns("110011");
  EXPECT_EQ(open.runs.size(), 2u);  // the mark still open at the end is left out
  EXPECT_EQ(open.trailingDark, 0);
  EXPECT_TRUE(ExtractRuns("0000").runs.empty());
}

TEST(CanonicalDecodeSamples, ReadsWholeFramesOfEachProtocol) {
  struct Case {
    const char* name;
    std::string text;
    int codingType;
    std::string code;
    int frames;
    bool repeated;
    bool headerFollows;
    SampleSpan span = SampleSpan::Recording;
  };
  std::string cutSony = SonyFrame(kSony12);
  cutSony = cutSony.substr(cutSony.size() / 2);
  // The first frame's header jittered nearer two units than four; the two frames after it read
  // their eighth mark (15 samples, nearer two units than one) alike but wrong.
  const std::string sony15 = "101010000001100";
  std::vector<int> misread = {45};
  for (size_t bit = 0; bit < sony15.size(); ++bit) {
    misread.push_back(9);
    misread.push_back(bit == 7 ? 15 : sony15[bit] == '1' ? 21 : 11);
  }
  const std::string shortHeader =
      PulseFrame(sony15, 26, 9, 11, 21) + kDark + Repeat(Runs(misread) + kDark, 2);
  const std::string rc5Zero = "11000000000000";
  const std::string rc5Alternating = "10101010101010";
  const Case cases[] = {
      {"NEC frame and repeat code", NecFrame(kNec32) + kDark + kNecRepeatCode + kDark, 0, kNec32,
       1, false, true},
      {"NEC frames repeated without header", NecFrame(kNec32) + kDark + NecFrame(kNec32, false) + kDark,
       0, kNec32, 2, true, false},
      {"NEC frames repeated with header", Repeat(NecFrame(kNec32) + kDark, 2), 0, kNec32, 2, true, true},
      {"SONY 12, 1-bits only", Repeat(SonyFrame("111111111111") + kDark, 3), 1, "111111111111", 3,
       true, false},
      {"SONY 20", Repeat(SonyFrame(kSony20) + kDark, 3), 1, kSony20, 3, true, false},
      {"SONY 15, a short header after darkness", shortHeader, 1, sony15, 3, false, false},
      {"RC5 digit 0, one frame", Rc5Frame(rc5Zero) + kDark, 2, rc5Zero, 1, false, false},
      {"RC5 of double runs only", Repeat(Rc5Frame(rc5Alternating) + kDark, 2), 2, rc5Alternating,
       2, true, false},
      {"RC5, receiver settling on the first mark", Rc5Frame(rc5Zero, 6) + kDark, 2, rc5Zero, 1,
       false, false},
      {"window from inside a frame", cutSony + kDark + Repeat(SonyFrame(kSony12) + kDark, 2), 1,
       kSony12, 2, true, false, SampleSpan::Window},
      {"window up to inside a frame", SonyFrame(kSony12) + kDark + SonyFrame(kSony12).substr(0, 150),
       1, kSony12, 1, false, false, SampleSpan::Window},
      // Jitter shortened the double runs of the whole frame: it reads as a NEC frame without
      // header as well.
      {"RC5 frame of a jittered remote, after the end of one",
       Runs({25, 12, 14, 19, 19, 14, 20, 12, 11, 14, 16, 18, 17, 17, 13, 29, 20, 12, 27, 20, 14,
             1860, 14, 19, 24, 13, 17, 13, 18, 19, 11, 16, 12, 17, 16, 18, 14, 18, 13, 36, 12, 15,
             23, 20, 20}) + kDark,
       2, "11000000001100", 1, false, false, SampleSpan::Window},
      {"NEC frames without header only, in a window", kDark + Repeat(NecFrame(kNec32, false) + kDark, 2),
       0, kNec32, 2, true, false, SampleSpan::Window},
      {"window from inside an RC5 frame", Rc5Frame(rc5Zero).substr(40) + kDark + Rc5Frame(rc5Alternating) + kDark,
       2, rc5Alternating, 1, false, false, SampleSpan::Window},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<CanonicalDecode> decode = CanonicalDecodeSamples(c.text, c.span);
    ASSERT_TRUE(decode.has_value());
    EXPECT_EQ(decode->codingType, c.codingType);
    EXPECT_EQ(decode->code, c.code);
    EXPECT_EQ(decode->frames, c.frames);
    EXPECT_EQ(decode->repeated, c.repeated);
    EXPECT_EQ(decode->headerFollows, c.headerFollows);
  }
}

TEST(CanonicalDecodeSamples, FitsUnitAndStretch) {
  const auto sony = CanonicalDecodeSamples(Repeat(SonyFrame("111111111111") + kDark, 3), SampleSpan::Recording);
  ASSERT_TRUE(sony);
  EXPECT_NEAR(sony->fit.unitSamples, 10, 0.3);
  EXPECT_NEAR(sony->fit.stretchSamples, 1, 0.3);
  const auto rc5 = CanonicalDecodeSamples(Rc5Frame("10101010101010") + kDark, SampleSpan::Recording);
  ASSERT_TRUE(rc5);
  EXPECT_NEAR(rc5->fit.unitSamples, 16, 0.3);
}

TEST(CanonicalDecodeSamples, OtherFramesOutvoteARunPushedAcrossTheBoundary) {
  // In the second frame the first 0-bit mark lasts 15 samples, nearer two units than one.
  const std::string pushed = PulseFrame(kSony12, 45, 9, 11, 21);
  const std::vector<int> lengths = {45, 9, 21, 9, 15};
  std::string misread = Runs(lengths) + pushed.substr(45 + 9 + 21 + 9 + 11);
  const auto decode = CanonicalDecodeSamples(pushed + kDark + misread + kDark + pushed + kDark, SampleSpan::Recording);
  ASSERT_TRUE(decode);
  EXPECT_EQ(decode->code, kSony12);
  EXPECT_EQ(decode->frames, 3);
  EXPECT_TRUE(decode->repeated);
}

TEST(CanonicalDecodeSamples, GivesNothingWithoutAWholeFrame) {
  const std::string sony = SonyFrame(kSony12);
  const std::pair<const char*, std::string> cases[] = {
      {"only the end of a frame", sony.substr(sony.size() / 2) + kDark},
      {"the end of an RC5 frame after a short gap", "000" + Rc5Frame("11000000000000").substr(20) + kDark},
      {"only the start of a frame", std::string(300, '0') + sony.substr(0, sony.size() / 2)},
      {"NEC repeat codes only", Repeat(kNecRepeatCode + kDark, 2)},
      {"five bits", NecFrame("01101") + kDark},
      {"equal runs", Repeat(Runs({10, 10}), 40) + kDark},
      {"nothing", ""},
  };
  for (const auto& [name, text] : cases) EXPECT_FALSE(CanonicalDecodeSamples(text, SampleSpan::Window)) << name;
}

// The tick hands over 600 bytes of which IRMonitor watched 500: a frame that the watch cut off
// at its end looks followed by darkness, one cut off at its start may hold a jittered gap that
// looks like a frame's start. Such a frame never names a code, whole frames still do.
TEST(DecodeSampleText, AFrameTheWatchCutOffNamesNoCode) {
  const std::string frame = NecFrame(kNec32);
  const struct {
    const char* name;
    std::string watched;
    bool atStart;  // the watch began with these samples (else it ended with them)
    std::vector<std::string> codes;
  } cases[] = {
      {"NEC frame cut after 19 bits", NecFrame(kNec32.substr(0, 19)), false, {}},
      {"NEC frame cut after 12 bits, after a repeat code",
       kNecRepeatCode + std::string(1500, '0') + NecFrame(kNec32.substr(0, 12)), false, {}},
      {"whole NEC frame, then one cut after 12 bits",
       frame + std::string(700, '0') + NecFrame(kNec32.substr(0, 12)), false, {kNec32}},
      {"whole NEC frame, the watch ending in its darkness", frame + kDark, false, {kNec32}},
      {"SONY 12 frames, the last cut after 8 bits",
       Repeat(SonyFrame(kSony12) + kDark, 2) + SonyFrame(kSony12.substr(0, 8)), false, {kSony12}},
      {"SONY 20 cut after 12 bits", SonyFrame(kSony20.substr(0, 12)), false, {}},
      // The gap of a 1 bit, jittered long enough to look like the darkness before a frame.
      {"the last 12 bits of a NEC frame, then a repeat code",
       Runs({11, 45}) + NecFrame(kNec32.substr(20), false) + std::string(1500, '0') + kNecRepeatCode,
       true, {}},
      {"the end of a NEC frame, then a whole one",
       Runs({11, 45}) + NecFrame(kNec32.substr(20), false) + std::string(1500, '0') + frame, true,
       {kNec32}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_LE(c.watched.size(), kWatchedSamples);
    const std::string dark(kWatchedSamples - c.watched.size(), '0');
    const std::string captured = (c.atStart ? c.watched + dark : dark + c.watched) + std::string(800, '0');
    EXPECT_EQ(WatchedCodes(DecodeSampleText(captured, SampleSpan::Window)), c.codes);
  }
}

TEST(DecodeSampleText, TheCanonicalCodeWinsAndTheLiteralOneIsKept) {
  // A clean NEC press: both analyses read the same code.
  const SampleDecode nec = DecodeSampleText(NecFrame(kNec32) + kDark + kNecRepeatCode + kDark, SampleSpan::Recording);
  EXPECT_TRUE(nec.canonical);
  EXPECT_FALSE(nec.mended);
  EXPECT_EQ(nec.frames.frame1, kNec32);
  EXPECT_EQ(nec.frames.frame2, "");
  EXPECT_EQ(nec.frames.gapSyncType, "2");
  EXPECT_EQ(nec.literalFrames.frame1, kNec32);
  EXPECT_EQ(WatchedCodes(nec), std::vector<std::string>{kNec32});

  // SONY 1-bits only: the histograms take the two-unit marks for the unit and gain a bit.
  const SampleDecode sony = DecodeSampleText(Repeat(SonyFrame("111111111111") + kDark, 3), SampleSpan::Recording);
  EXPECT_TRUE(sony.mended);
  EXPECT_EQ(sony.codingType, 1);
  EXPECT_EQ(sony.unitSamples, 10);
  EXPECT_EQ(sony.slotUs, 550);
  EXPECT_EQ(sony.frames.frame1, "111111111111");
  EXPECT_EQ(sony.frames.frame2, "111111111111");
  EXPECT_NE(sony.literalFrames.frame1, sony.frames.frame1);
  EXPECT_FALSE(sony.symbols.plen1.empty());
  const std::vector<std::string> codes = WatchedCodes(sony);
  ASSERT_EQ(codes.size(), 2u);
  EXPECT_EQ(codes[0], "111111111111");
  EXPECT_EQ(codes[1], LiteralDecodeSampleText(Repeat(SonyFrame("111111111111") + kDark, 3)).frames.frame2);

  // RC5: the watched code is stored with its toggle bit 0.
  EXPECT_EQ(WatchedCodes(DecodeSampleText(Rc5Frame("11100101001100") + kDark, SampleSpan::Recording)),
            std::vector<std::string>{"11000101001100"});

  // Where the canonical reading finds nothing, the literal analysis's result stands.
  const SampleDecode unknown = DecodeSampleText(Repeat(Runs({10, 10}), 40) + kDark, SampleSpan::Recording);
  EXPECT_FALSE(unknown.canonical);
  EXPECT_EQ(unknown.stop, DecodeStop::UnknownProtocol);
  EXPECT_TRUE(WatchedCodes(unknown).empty());
}

}  // namespace
}  // namespace qvx::ircode
