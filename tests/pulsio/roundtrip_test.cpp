// Pulse trains sent by IRSend on the simulated transmitter, turned back into slots from the
// captured light, and the same light played as a remote into IRRecord.

#include <cmath>
#include <string>

#include "tests/pulsio/pulsio_fixture.h"

namespace {

using namespace platform;
using platform::sim::DcdPolarity;
using platform::sim::LightMark;

// A NEC-like frame: 16 slots of header light, 8 dark, then short and long bits.
const std::vector<uint8_t> kBitmap{0xFF, 0xFF, 0x00, 0xA8, 0x8A, 0x22, 0xA2, 0x8E, 0x38, 0x80};

std::string SlotText(const std::vector<uint8_t>& bitmap) {
  std::string text;
  for (uint8_t byte : bitmap) {
    for (uint8_t mask = 0x80; mask != 0; mask >>= 1) text += (byte & mask) ? '1' : '0';
  }
  return text.substr(0, text.find_last_of('1') + 1);  // trailing darkness leaves no trace
}

int64_t Slots(int64_t ns, int64_t slotNs) { return std::llround(static_cast<double>(ns) / static_cast<double>(slotNs)); }

class RoundTrip : public PulsioTest {
 protected:
  void SetUp() override {
    PulsioTest::SetUp();
    ASSERT_EQ(OpenCom(1), 1);
    peer_->ClearCapture();
  }
};

TEST_F(RoundTrip, DtrLightRebuildsTheBitmap) {
  constexpr int32_t kSlotUs = 562;
  int64_t startNs = clock_.NowNs();
  ASSERT_EQ(IRSend(kBitmap.data(), static_cast<int32_t>(kBitmap.size()), kSlotUs, 0), 1);
  auto marks = platform::sim::DtrLight(peer_->Captured(), clock_.NowNs());
  std::string text;
  int64_t atNs = startNs;
  for (const auto& mark : marks) {
    text.append(static_cast<size_t>(Slots(mark.startNs - atNs, kSlotUs * 1000)), '0');
    text.append(static_cast<size_t>(Slots(mark.endNs - mark.startNs, kSlotUs * 1000)), '1');
    atNs = mark.endNs;
  }
  EXPECT_EQ(text, SlotText(kBitmap));
  EXPECT_FALSE(peer_->LineOn(OutputLine::Dtr));
}

TEST_F(RoundTrip, TxdCarrierRebuildsTheBitmap) {
  constexpr int32_t kSlotUs = 562;  // 7 units of 78.125 us: 6 characters and a 78 us wait
  const int64_t characterNs = 8 * 1'000'000'000LL / 115200;
  int64_t startNs = clock_.NowNs();
  ASSERT_EQ(IRSend(kBitmap.data(), static_cast<int32_t>(kBitmap.size()), kSlotUs, 1), 1);
  // Characters of one slot follow each other without a gap; slots are 78 us apart.
  auto bursts = platform::sim::TxdCarrier(peer_->Captured(), 0);
  std::string text;
  int64_t atNs = startNs;
  for (const auto& burst : bursts) {
    EXPECT_EQ(burst.endNs - burst.startNs, 6 * characterNs);
    text.append(static_cast<size_t>(Slots(burst.startNs - atNs, kSlotUs * 1000)), '0');
    text += '1';
    atNs = burst.endNs + 78'000;
  }
  EXPECT_EQ(text, SlotText(kBitmap));
  // A demodulator bridges the 78 us gaps: the header is one mark of 16 slots.
  auto light = platform::sim::TxdCarrier(peer_->Captured(), 100'000);
  ASSERT_FALSE(light.empty());
  EXPECT_EQ(light.front().startNs, bursts.front().startNs);
  EXPECT_EQ(light.front().endNs, bursts[15].endNs);
  EXPECT_FALSE(peer_->LineOn(OutputLine::Break));
}

TEST_F(RoundTrip, SentLightRecordsAsTenSamplesASlot) {
  constexpr int32_t kSlotUs = 550;
  ASSERT_EQ(IRSend(kBitmap.data(), static_cast<int32_t>(kBitmap.size()), kSlotUs, 0), 1);
  auto marks = platform::sim::DtrLight(peer_->Captured(), clock_.NowNs());
  clock_.SetLineReadCostNs(55'000);  // PROCDELAY 0 on a machine whose line reads take 55 us

  for (auto polarity : {DcdPolarity::OffWhileLight, DcdPolarity::OnWhileLight}) {
    peer_->SetPolarity(polarity);
    peer_->PlayMarks(marks, 3'000);
    std::vector<uint8_t> samples(100);
    bool inverted = polarity == DcdPolarity::OnWhileLight;
    ASSERT_EQ(inverted ? IRRecordN(samples.data(), 0, 100) : IRRecord(samples.data(), 0, 100), 1);
    // Every run of samples is ten per slot, give or take the sample at a slot's edge.
    std::string sampled = SlotText(samples);
    std::string rebuilt;
    for (size_t i = 0; i < sampled.size();) {
      size_t end = sampled.find_first_not_of(sampled[i], i);
      if (end == std::string::npos) end = sampled.size();
      int64_t slots = Slots(static_cast<int64_t>(end - i), 10);
      EXPECT_LE(std::abs(static_cast<int64_t>(end - i) - 10 * slots), 1) << "run at sample " << i;
      rebuilt.append(static_cast<size_t>(slots), sampled[i]);
      i = end;
    }
    EXPECT_EQ(rebuilt, SlotText(kBitmap));
  }
}

TEST_F(RoundTrip, HostAndPulsioShareOneHandleTable) {
  CloseCom();
  PortHandle host = OpenSerialTarget("sim:pulsio-ir");
  ASSERT_GT(host, 0);
  EXPECT_EQ(OpenCom(1), 0);  // the host holds the port
  SetHandle(host);
  const uint8_t bitmap[] = {0x80};
  ASSERT_EQ(IRSend(bitmap, 1, 100, 0), 1);
  ASSERT_EQ(peer_->Captured().size(), 2u);  // DTR on, DTR off: Pulsio drove the host's port
  SetHandle(0);
  ClosePort(host);
}

}  // namespace
