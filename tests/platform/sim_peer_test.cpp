// Simulated peers: the port behaviour every peer shares, and the infrared receiver and
// transmitter.

#include <gtest/gtest.h>

#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"

namespace {

using namespace platform;
using namespace platform::sim;

class SimPort : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = peer_->OpenPort();
    ASSERT_NE(port_, nullptr);
  }

  VirtualClock clock_;
  std::shared_ptr<IrPeer> peer_ = std::make_shared<IrPeer>(clock_, DcdPolarity::OffWhileLight);
  std::unique_ptr<SerialPort> port_;
};

TEST_F(SimPort, OpensOnceAndDropsItsLinesWhenClosed) {
  EXPECT_EQ(peer_->OpenPort(), nullptr);
  EXPECT_TRUE(peer_->LineOn(OutputLine::Dtr));  // raised at open like a real port
  EXPECT_TRUE(peer_->LineOn(OutputLine::Rts));
  ASSERT_TRUE(port_->SetLine(OutputLine::Break, true));
  port_.reset();
  EXPECT_FALSE(peer_->IsOpen());
  for (auto line : {OutputLine::Dtr, OutputLine::Rts, OutputLine::Break}) EXPECT_FALSE(peer_->LineOn(line));
  EXPECT_NE(peer_->OpenPort(), nullptr);
}

TEST_F(SimPort, SettingsDecideDtrAndRts) {
  PortSettings settings;
  ASSERT_TRUE(port_->GetSettings(settings));
  settings.dtrControl = LineControl::Disable;
  settings.rtsControl = LineControl::Enable;
  ASSERT_TRUE(port_->SetSettings(settings));
  EXPECT_FALSE(peer_->LineOn(OutputLine::Dtr));
  EXPECT_TRUE(peer_->LineOn(OutputLine::Rts));
  settings.dataBits = 4;
  EXPECT_FALSE(port_->SetSettings(settings));
  EXPECT_EQ(peer_->Settings().dataBits, 8);
}

TEST_F(SimPort, EveryOperationFailsOnDemand) {
  uint8_t byte = 0;
  size_t count = 0;
  PortSettings settings;
  PortTimeouts timeouts;
  uint32_t status = 0;
  struct Case {
    PeerOperation operation;
    std::function<Status()> call;
  };
  std::vector<Case> cases{
      {PeerOperation::GetSettings, [&] { return port_->GetSettings(settings); }},
      {PeerOperation::SetSettings, [&] { return port_->SetSettings(settings); }},
      {PeerOperation::GetTimeouts, [&] { return port_->GetTimeouts(timeouts); }},
      {PeerOperation::SetTimeouts, [&] { return port_->SetTimeouts(timeouts); }},
      {PeerOperation::SetLine, [&] { return port_->SetLine(OutputLine::Dtr, true); }},
      {PeerOperation::ModemStatus, [&] { return port_->GetModemStatus(status); }},
      {PeerOperation::TransmitChar, [&] { return port_->TransmitChar(0x1B); }},
      {PeerOperation::Write, [&] { return port_->Write(std::span(&byte, 1), count); }},
      {PeerOperation::Read, [&] { return port_->Read(std::span(&byte, 1), count); }},
  };
  for (auto& c : cases) {
    peer_->SetFailing(c.operation, true);
    EXPECT_EQ(c.call().code(), StatusCode::SystemFailure) << static_cast<int>(c.operation);
    peer_->SetFailing(c.operation, false);
    EXPECT_TRUE(c.call()) << static_cast<int>(c.operation);
  }
  port_.reset();
  peer_->SetFailing(PeerOperation::Open, true);
  EXPECT_EQ(peer_->OpenPort(), nullptr);
}

TEST_F(SimPort, ReadsFollowTheTimeoutsOnThePeersClock) {
  std::array<uint8_t, 100> buffer{};
  size_t received = 0;
  ASSERT_TRUE(port_->SetTimeouts(kReturnAtOnceTimeouts));
  EXPECT_TRUE(port_->Read(buffer, received));
  EXPECT_EQ(received, 0u);
  EXPECT_EQ(clock_.NowNs(), 0);

  // 100 ms per byte plus 100 ms for one byte, nothing arriving: 200 ms.
  ASSERT_TRUE(port_->SetTimeouts({100, 100, 100, 0, 0}));
  EXPECT_TRUE(port_->Read(std::span(buffer.data(), 1), received));
  EXPECT_EQ(received, 0u);
  EXPECT_EQ(clock_.NowNs(), 200'000'000);

  // An answer 30 ms later ends with the 100 ms interval after its last byte.
  peer_->QueueInput("ok", 30'000);
  int64_t start = clock_.NowNs();
  EXPECT_TRUE(port_->Read(buffer, received));
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + received), "ok");
  EXPECT_EQ(clock_.NowNs() - start, 130'000'000);
}

TEST_F(SimPort, CharactersTakeTheirFrameTimeOnTheWire) {
  PortSettings settings;
  ASSERT_TRUE(port_->GetSettings(settings));
  settings.baudRate = 115200;
  settings.dataBits = 6;
  ASSERT_TRUE(port_->SetSettings(settings));
  peer_->ClearCapture();
  constexpr int64_t kCharacterNs = 8 * 1'000'000'000LL / 115200;  // start, 6 data, stop
  ASSERT_TRUE(port_->TransmitChar(0x1B));
  EXPECT_EQ(clock_.NowNs(), kCharacterNs);  // returns once the character has left
  const uint8_t two[] = {'A', 'B'};
  size_t written = 0;
  ASSERT_TRUE(port_->Write(two, written));
  EXPECT_EQ(clock_.NowNs(), kCharacterNs);  // writes are queued
  const auto& events = peer_->Captured();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].startNs, 0);
  EXPECT_EQ(events[1].startNs, kCharacterNs);
  EXPECT_EQ(events[2].startNs, 2 * kCharacterNs);
  EXPECT_EQ(events[2].endNs, 3 * kCharacterNs);
  EXPECT_EQ((std::vector<uint8_t>{0x1B, 'A', 'B'}), peer_->ReceivedBytes());
}

TEST_F(SimPort, StatusReadsCostTheConfiguredTime) {
  clock_.SetLineReadCostNs(55'000);
  uint32_t status = 0;
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(port_->GetModemStatus(status));
  EXPECT_EQ(clock_.NowNs(), 220'000);
}

TEST_F(SimPort, ARemoteInHandPressesWhenReadingStartsAfterAQuietTime) {
  int64_t wallMs = 0;
  int presses = 0;
  peer_->PressWhenRead([&presses] { return std::vector<int64_t>{1000 * ++presses}; }, 300, 50,
                       [&wallMs] { return wallMs; });
  uint32_t status = 0;
  ASSERT_TRUE(port_->GetModemStatus(status));  // the first read: a press 50 us later
  EXPECT_EQ(presses, 1);
  EXPECT_TRUE(peer_->LightAt(clock_.NowNs() + 100'000));
  wallMs += 299;
  ASSERT_TRUE(port_->GetModemStatus(status));  // still the same recording
  EXPECT_EQ(presses, 1);
  wallMs += 300;
  clock_.AdvanceNs(500'000);  // the first press is still playing on this clock
  ASSERT_TRUE(port_->GetModemStatus(status));
  EXPECT_EQ(presses, 2);
  EXPECT_FALSE(peer_->LightAt(clock_.NowNs()));
  EXPECT_TRUE(peer_->LightAt(clock_.NowNs() + 1'999'000));  // the new press lasts 2 ms
  peer_->PressWhenRead({});
  wallMs += 1000;
  ASSERT_TRUE(port_->GetModemStatus(status));
  EXPECT_EQ(presses, 2);
}

TEST_F(SimPort, RemoteDrivesDcdInEitherPolarityAndKeepsTheOtherLines) {
  peer_->SetInputLines(kStatusCts | kStatusRing);
  peer_->PlayRemote({500, 500, 1000}, 100);  // light 100-600 us and 1100-2100 us
  struct Case {
    int64_t atUs;
    bool light;
  };
  for (auto polarity : {DcdPolarity::OffWhileLight, DcdPolarity::OnWhileLight}) {
    peer_->SetPolarity(polarity);
    for (auto c : {Case{0, false}, Case{100, true}, Case{599, true}, Case{600, false}, Case{1100, true},
                   Case{2099, true}, Case{2100, false}, Case{5000, false}}) {
      EXPECT_EQ(peer_->LightAt(c.atUs * 1000), c.light) << c.atUs;
    }
  }
  uint32_t status = 0;
  clock_.AdvanceNs(200'000);
  peer_->SetPolarity(DcdPolarity::OffWhileLight);
  ASSERT_TRUE(port_->GetModemStatus(status));
  EXPECT_EQ(status, kStatusCts | kStatusRing);  // light: DCD off
  peer_->SetPolarity(DcdPolarity::OnWhileLight);
  ASSERT_TRUE(port_->GetModemStatus(status));
  EXPECT_EQ(status, kStatusCts | kStatusRing | kStatusDcd);
  clock_.AdvanceNs(500'000);  // 700 us: dark
  ASSERT_TRUE(port_->GetModemStatus(status));
  EXPECT_EQ(status, kStatusCts | kStatusRing);
}

TEST(IrLight, DtrIntervalsAreMarks) {
  using Kind = TxEvent::Kind;
  std::vector<TxEvent> events{
      {Kind::Dtr, 100, 100, true, 0},   {Kind::Break, 150, 150, true, 0}, {Kind::Dtr, 300, 300, false, 0},
      {Kind::Character, 350, 420, true, 0x1B}, {Kind::Dtr, 500, 500, true, 0},
  };
  EXPECT_EQ(DtrLight(events, 900), (std::vector<LightMark>{{100, 300}, {500, 900}}));
}

TEST(IrLight, CharacterFramesCloseTogetherMakeOneCarrierMark) {
  using Kind = TxEvent::Kind;
  std::vector<TxEvent> events{
      {Kind::Character, 0, 69, true, 0x1B},    {Kind::Character, 69, 138, true, 0x1B},
      {Kind::Dtr, 140, 140, true, 0},          {Kind::Character, 216, 285, true, 0x1B},
      {Kind::Character, 290, 359, true, 0x1B},
  };
  EXPECT_EQ(TxdCarrier(events, 0), (std::vector<LightMark>{{0, 138}, {216, 285}, {290, 359}}));
  EXPECT_EQ(TxdCarrier(events, 10), (std::vector<LightMark>{{0, 138}, {216, 359}}));
}

TEST(IrPeerRegistry, InstalledPeerOpensAsSimName) {
  VirtualClock clock;
  auto peer = InstallIrPeer("ir-registry", clock, DcdPolarity::OnWhileLight);
  PortHandle handle = OpenSerialTarget("sim:ir-registry");
  ASSERT_GT(handle, 0);
  EXPECT_TRUE(peer->IsOpen());
  EXPECT_TRUE(ClosePort(handle));
  peer.reset();
  EXPECT_EQ(OpenSerialTarget("sim:ir-registry"), kPortFailed);  // the registry does not keep it alive
  UnregisterSimPeer("ir-registry");
}

}  // namespace
