// uDelay, recording, watching and sending on the simulated infrared peer and virtual clock.

#include <array>
#include <string>

#include "tests/pulsio/pulsio_fixture.h"

namespace {

using namespace platform;
using platform::sim::DcdPolarity;
using platform::sim::TxEvent;

constexpr int64_t kMs = 1'000'000;

TEST(UDelay, LastsTicksPlusOneCounterPeriodsAndNoMore) {
  struct Case {
    int32_t us;
    int64_t counterCostNs;
  };
  for (auto c : {Case{0, 20}, Case{10, 20}, Case{55, 20}, Case{550, 20}, Case{10, 100}, Case{55, 250},
                 Case{1, 1000}}) {
    platform::sim::VirtualClock clock(10'000'000);  // 100 ns a count, starting at 0
    clock.SetCounterReadCostNs(c.counterCostNs);
    platform::ScopedClock scoped(clock);
    EXPECT_EQ(uDelay(c.us), 0);
    int64_t minimumNs = int64_t{c.us} * 1000 + 100;
    EXPECT_GE(clock.NowNs(), minimumNs) << c.us << " us, " << c.counterCostNs << " ns a read";
    EXPECT_LE(clock.NowNs(), minimumNs + 2 * c.counterCostNs) << c.us << " us, " << c.counterCostNs;
    EXPECT_EQ(clock.PriorityRaises(), 0);
  }
}

TEST(UDelay, NegativeDelayReturnsAtOnce) {
  platform::sim::VirtualClock clock;
  platform::ScopedClock scoped(clock);
  for (int32_t us : {-1, -55, INT32_MIN}) EXPECT_EQ(uDelay(us), 0);
  EXPECT_EQ(clock.CounterReads(), 0);
}

TEST(UDelay, LargestDelayDoesNotOverflowTheProduct) {
  platform::sim::VirtualClock clock(1'000'000'000);
  clock.SetCounterReadCostNs(1'000'000);  // keep the loop short
  platform::ScopedClock scoped(clock);
  uDelay(INT32_MAX);
  EXPECT_GE(clock.NowNs(), int64_t{INT32_MAX} * 1000);
  EXPECT_LE(clock.NowNs(), int64_t{INT32_MAX} * 1000 + 3'000'000);
}

class Record : public PulsioTest {
 protected:
  void SetUp() override {
    PulsioTest::SetUp();
    clock_.SetLineReadCostNs(55'000);  // a sample period of 55 us without pause
    clock_.SetCounterReadCostNs(1'000);
    Lend();
  }
};

TEST_F(Record, NoSignalGivesUpAfterFiveSecondsAndLeavesTheBuffer) {
  for (bool inverted : {false, true}) {
    peer_->SetPolarity(inverted ? DcdPolarity::OnWhileLight : DcdPolarity::OffWhileLight);
    std::array<uint8_t, 600> buffer;
    buffer.fill(0x5A);
    int64_t start = clock_.NowNs();
    int64_t raises = clock_.PriorityRaises();
    EXPECT_EQ(inverted ? IRRecordN(buffer.data(), 0, 600) : IRRecord(buffer.data(), 0, 600), 0);
    EXPECT_GE(clock_.NowNs() - start, 5000 * kMs);
    EXPECT_LT(clock_.NowNs() - start, 5001 * kMs);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0x5A; }));
    // Waiting is not timing: the priority stays as it was.
    EXPECT_EQ(clock_.PriorityRaises(), raises);
    EXPECT_FALSE(clock_.PriorityRaised());
  }
}

TEST_F(Record, SamplesMostSignificantBitFirstFromTheReadAfterTheStart) {
  struct Case {
    DcdPolarity polarity;
    bool inverted;
  };
  for (auto c : {Case{DcdPolarity::OffWhileLight, false}, Case{DcdPolarity::OnWhileLight, true}}) {
    peer_->SetPolarity(c.polarity);
    // One counter read (1 us), then a read every 55 us; the one that sees the light is not
    // kept, so sample k is taken at 1 + 55 (k + 1) us: 7 in the first mark (0-440 us), 8 dark,
    // and the 110 us mark from 880 us catches samples 15 and 16.
    peer_->PlayRemote({440, 440, 110}, 0);
    std::array<uint8_t, 3> buffer{};
    int64_t lineReads = clock_.LineReads();
    ASSERT_EQ(c.inverted ? IRRecordN(buffer.data(), 0, 3) : IRRecord(buffer.data(), 0, 3), 1);
    EXPECT_EQ(buffer, (std::array<uint8_t, 3>{0xFE, 0x01, 0x80}));
    EXPECT_EQ(clock_.LineReads() - lineReads, 1 + 24);  // started at once
  }
}

TEST_F(Record, PauseStretchesTheSamplePeriod) {
  clock_.SetLineReadCostNs(5'000);
  clock_.SetCounterReadCostNs(20);
  // 5 us a read plus 50 us pause (and a little counter time): 10 samples a 550 us mark.
  peer_->PlayRemote({550, 1100, 550}, 0);
  std::array<uint8_t, 5> buffer{};
  ASSERT_EQ(IRRecord(buffer.data(), 50, 5), 1);
  // Samples 0-9 light, 10-29 dark, 30-39 light: bits 0xFF 0xC0 0x00 0x03 0xFF.
  EXPECT_EQ(buffer, (std::array<uint8_t, 5>{0xFF, 0xC0, 0x00, 0x03, 0xFF}));
}

TEST_F(Record, ByteOfAllOnesMeansEightSamplesOfLight) {
  for (auto polarity : {DcdPolarity::OffWhileLight, DcdPolarity::OnWhileLight}) {
    peer_->SetPolarity(polarity);
    peer_->PlayRemote({100'000}, 0);
    uint32_t status = 0;
    ASSERT_TRUE(FindPort(lent_[0])->GetModemStatus(status));
    EXPECT_EQ((status & kStatusDcd) != 0, polarity == DcdPolarity::OnWhileLight);
    std::array<uint8_t, 4> buffer{};
    ASSERT_EQ(polarity == DcdPolarity::OnWhileLight ? IRRecordN(buffer.data(), 0, 4) : IRRecord(buffer.data(), 0, 4), 1);
    EXPECT_EQ(buffer, (std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}));
  }
}

TEST_F(Record, WaitsForLightThatComesLater) {
  peer_->PlayRemote({1000}, 2'000'000);  // two seconds from now
  std::array<uint8_t, 1> buffer{};
  ASSERT_EQ(IRRecord(buffer.data(), 0, 1), 1);
  EXPECT_EQ(buffer[0], 0xFF);
  EXPECT_GE(clock_.NowNs(), 2000 * kMs);
  EXPECT_LT(clock_.NowNs(), 2001 * kMs);
  // Raised for the samples, once the light came.
  EXPECT_EQ(clock_.PriorityRaises(), 1);
  EXPECT_EQ(clock_.PriorityRestores(), 1);
}

TEST_F(Record, ZeroLengthWaitsForTheSignalAndCopiesNothing) {
  std::array<uint8_t, 2> buffer{0x11, 0x22};
  EXPECT_EQ(IRRecord(buffer.data(), 0, 0), 0);  // no signal: the 5 s time-out
  peer_->PlayRemote({500}, 1000);
  EXPECT_EQ(IRRecord(buffer.data(), 0, 0), 1);
  clock_.AdvanceNs(kMs);
  EXPECT_EQ(IRRecord(nullptr, 0, 0), 0);  // the press is over
  EXPECT_EQ(buffer, (std::array<uint8_t, 2>{0x11, 0x22}));
}

TEST_F(Record, LengthAboveTheDataBufferIsRefusedAtOnce) {
  peer_->PlayRemote({100'000}, 0);
  std::array<uint8_t, 1001> buffer;
  buffer.fill(0x77);
  int64_t start = clock_.NowNs();
  EXPECT_EQ(IRRecord(buffer.data(), 0, 1001), 0);
  EXPECT_EQ(IRRecordN(buffer.data(), 0, 0xFFFFFFFF), 0);
  EXPECT_EQ(IRRecord(nullptr, 0, 10), 0);
  EXPECT_EQ(clock_.NowNs(), start);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0x77; }));
  EXPECT_EQ(IRRecord(buffer.data(), 0, 1000), 1);  // the full buffer is still allowed
}

TEST_F(Record, MonitorTakesFourThousandSamplesWithoutWaiting) {
  std::array<uint8_t, 502> buffer;
  buffer.fill(0xEE);
  int64_t lineReads = clock_.LineReads();
  int64_t counterReads = clock_.CounterReads();
  EXPECT_EQ(IRMonitor(buffer.data(), 0), 1);
  EXPECT_EQ(clock_.LineReads() - lineReads, 4000);
  EXPECT_EQ(clock_.CounterReads(), counterReads);  // no start wait, no pause
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + 500, [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(buffer[500], 0xEE);
  EXPECT_EQ(clock_.PriorityRaises(), 1);
  EXPECT_EQ(clock_.PriorityRestores(), 1);

  peer_->SetPolarity(DcdPolarity::OnWhileLight);
  peer_->PlayRemote({110, 110}, 0);  // two samples of light
  EXPECT_EQ(IRMonitorN(buffer.data(), 0), 1);
  EXPECT_EQ(buffer[0], 0xC0);
  EXPECT_EQ(buffer[1], 0x00);
  EXPECT_EQ(IRMonitor(nullptr, 0), 0);
}

class Send : public PulsioTest {
 protected:
  void SetUp() override {
    PulsioTest::SetUp();
    ASSERT_EQ(OpenCom(1), 1);  // 115200 baud, 6 data bits: 69.4 us a character
    peer_->ClearCapture();
  }

  size_t Characters() const {
    return std::count_if(peer_->Captured().begin(), peer_->Captured().end(),
                         [](const TxEvent& e) { return e.kind == TxEvent::Kind::Character; });
  }
};

TEST_F(Send, TxdSlotsSendSlotTimesPoint0128RoundedMinusOneEscCharacters) {
  struct Case {
    int32_t slotUs;
    size_t charactersPerLightSlot;
  };
  for (auto c : {Case{600, 7}, Case{100, 0}, Case{562, 6}, Case{889, 10}, Case{118, 1}, Case{117, 0},
                 Case{39, 0}, Case{-100, 0}}) {
    peer_->ClearCapture();
    const uint8_t bitmap[] = {0xA0};  // two light slots
    ASSERT_EQ(IRSend(bitmap, 1, c.slotUs, 1), 1);
    EXPECT_EQ(Characters(), 2 * c.charactersPerLightSlot) << c.slotUs;
    for (const auto& event : peer_->Captured()) {
      if (event.kind == TxEvent::Kind::Character) {
        EXPECT_EQ(event.byte, 0x1B);
      }
    }
  }
}

TEST_F(Send, LightSlotWithoutCharactersIsA78MicrosecondWait) {
  const uint8_t bitmap[] = {0x80};
  int64_t start = clock_.NowNs();
  ASSERT_EQ(IRSend(bitmap, 1, 100, 1), 1);
  // 78 us for the light slot, 7 x 100 us for the dark ones, plus counter reads.
  int64_t spentNs = clock_.NowNs() - start;
  EXPECT_GE(spentNs, 778'000);
  EXPECT_LT(spentNs, 780'000);
  EXPECT_EQ(Characters(), 0u);
}

TEST_F(Send, ModeAndThreeChoosesTheLine) {
  struct Case {
    int32_t mode;
    bool txd;
  };
  for (auto c : {Case{1, true}, Case{5, true}, Case{-3, true}, Case{0, false}, Case{2, false}, Case{3, false},
                 Case{4, false}}) {
    peer_->ClearCapture();
    const uint8_t bitmap[] = {0xC0};
    ASSERT_EQ(IRSend(bitmap, 1, 600, c.mode), 1);
    bool dtrMoved = std::any_of(peer_->Captured().begin(), peer_->Captured().end(),
                                [](const TxEvent& e) { return e.kind == TxEvent::Kind::Dtr; });
    EXPECT_EQ(Characters() > 0, c.txd) << c.mode;
    EXPECT_EQ(dtrMoved, !c.txd) << c.mode;
  }
}

TEST_F(Send, LinesAreReleasedAtTheEnd) {
  const uint8_t allLight[] = {0xFF};
  ASSERT_EQ(IRSend(allLight, 1, 600, 0), 1);
  EXPECT_FALSE(peer_->LineOn(OutputLine::Dtr));
  ASSERT_EQ(peer_->Captured().back().kind, TxEvent::Kind::Dtr);
  EXPECT_FALSE(peer_->Captured().back().on);

  ASSERT_EQ(TXD(1), 1);
  ASSERT_EQ(IRSend(allLight, 1, 600, 1), 1);
  EXPECT_FALSE(peer_->LineOn(OutputLine::Break));
  EXPECT_EQ(peer_->Captured().back().kind, TxEvent::Kind::Break);
}

TEST_F(Send, PrioritiesAreRaisedAroundEverySend) {
  const uint8_t bitmap[] = {0x55};
  for (int32_t mode : {0, 1}) ASSERT_EQ(IRSend(bitmap, 1, 100, mode), 1);
  ASSERT_EQ(IRSend(bitmap, 0, 100, 0), 1);
  EXPECT_EQ(clock_.PriorityRaises(), 3);
  EXPECT_EQ(clock_.PriorityRestores(), 3);
  EXPECT_FALSE(clock_.PriorityRaised());
}

TEST_F(Send, LengthOutsideTheDataBufferSendsNothing) {
  std::vector<uint8_t> bitmap(1001, 0xFF);
  for (int32_t len : {-1, 1001, INT32_MIN}) EXPECT_EQ(IRSend(bitmap.data(), len, 600, 0), 0) << len;
  EXPECT_EQ(IRSend(nullptr, 5, 600, 0), 0);
  EXPECT_TRUE(peer_->Captured().empty());
  EXPECT_EQ(clock_.PriorityRaises(), 0);
  EXPECT_EQ(IRSend(bitmap.data(), 1000, 1, 0), 1);
}

TEST_F(Send, WithoutAPortNothingIsEmittedButTheCallSucceeds) {
  CloseCom();
  const uint8_t bitmap[] = {0xFF};
  EXPECT_EQ(IRSend(bitmap, 1, 600, 1), 1);
  EXPECT_EQ(IRSend(bitmap, 1, 600, 0), 1);
  EXPECT_TRUE(peer_->Captured().empty());
}

}  // namespace
