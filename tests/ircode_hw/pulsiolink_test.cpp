// The main program's recordings and transmissions through Pulsio on the lent port, and the
// IRMan reader over the serial-port procedures.
#include <gtest/gtest.h>

#include <regex>

#include "qvx/ircode/learning.h"
#include "qvx/ircode/pulsiolink.h"
#include "qvx/ircode/runanalysis.h"
#include "tests/ircode_hw/hw_fixture.h"

namespace qvx::ircode::test {
namespace {

using platform::sim::ReceiverWiring;

const std::array<uint8_t, 6> kCode{0x20, 0xDF, 0x10, 0xEF, 0x00, 0xFF};

class PulsioLink : public HwTest {};

TEST_F(PulsioLink, RecordingsTakeTheBufferIRRecordFills) {
  auto peer = InstallReceiver(1, ReceiverWiring::DcdStandard);
  OpenIrPort(1);
  SetRtsLine(true, iface_.handle);
  clock_.SetLineReadCostNs(55'000);
  peer->PlayRemote({550, 550, 1650}, 10'000);
  const auto samples = RecordWithPulsio(false, 0, 3);
  ASSERT_TRUE(samples);
  ASSERT_EQ(samples->size(), 3u);
  // 550 us of light and of darkness at 55 us a sample, then the long mark.
  EXPECT_TRUE(std::regex_match(SamplesToText(*samples), std::regex("1{9,10}0{9,11}1+")))
      << SamplesToText(*samples);

  for (int len : {0, -1, 1001}) {
    const int64_t before = clock_.NowNs();
    EXPECT_FALSE(RecordWithPulsio(false, 0, len)) << len;
    EXPECT_EQ(clock_.NowNs(), before) << len;
  }
}

TEST_F(PulsioLink, NoSignalWithinFiveSecondsGivesNothing) {
  InstallReceiver(1, ReceiverWiring::DcdStandard);
  OpenIrPort(1);
  SetRtsLine(true, iface_.handle);
  const double start = ElapsedMs();
  EXPECT_FALSE(RecordWithPulsio(false, 10, kRecordBytes));
  EXPECT_NEAR(ElapsedMs() - start, 5000, 1);
}

TEST_F(PulsioLink, IrManCodeIsReadAt9600BaudAfterWhatWasWaiting) {
  auto box = platform::sim::InstallIrManPeer(PeerName(1), clock_);
  peers_.push_back(box);
  OpenIrPort(1);
  ASSERT_TRUE(InitIRMan(iface_, prompter_, clock_));
  SetPortMode(115200, 6, iface_.handle);  // a TxD transmitter set the port up for itself
  box->QueueInput("stale");
  ASSERT_TRUE(box->PressButton(kCode, 1'200'000));

  const double start = ElapsedMs();
  EXPECT_EQ(ReadIRManCode(iface_.handle, clock_), kCode);
  EXPECT_NEAR(ElapsedMs() - start, 1200, 1);  // the pass at which the code has arrived
  EXPECT_EQ(box->Settings().baudRate, 9600u);
  EXPECT_EQ(box->Settings().dataBits, 8);
  EXPECT_TRUE(box->Initialised());  // the format change kept its power on
}

TEST_F(PulsioLink, IrManWithoutSixBytesGivesNothingAfterFiftyPasses) {
  auto box = platform::sim::InstallIrManPeer(PeerName(1), clock_);
  peers_.push_back(box);
  OpenIrPort(1);
  ASSERT_TRUE(InitIRMan(iface_, prompter_, clock_));
  box->QueueInput(std::string("\x01\x02\x03\x04\x05", 5), 100'000);
  const double start = ElapsedMs();
  EXPECT_FALSE(ReadIRManCode(iface_.handle, clock_));
  EXPECT_NEAR(ElapsedMs() - start, 5000, 1);
}

TEST_F(PulsioLink, RecordButtonOnAnIrManLearnsItsBytes) {
  auto box = platform::sim::InstallIrManPeer(PeerName(1), clock_);
  peers_.push_back(box);
  OpenIrPort(1);
  ChooseReceiverType(iface_, store_, kReceiverIRMan, prompter_, clock_);
  ASSERT_TRUE(iface_.irManReady);
  ASSERT_TRUE(box->PressButton(kCode, 700'000));

  LearnContext context;
  const LearnResult result = RecordCommand(context, kReceiverIRMan, false,
                                           PulsioRecordSource(iface_.handle, 10, clock_), LearnEnv{});
  EXPECT_EQ(result.codeStr, "G001000001101111100010000111011110000000011111111");
  EXPECT_EQ(result.bitNr, "48");
  EXPECT_EQ(result.rpt, "Y");
  EXPECT_EQ(result.messages,
            (std::vector<std::string>{"No graph available for IRMan type IR input interface.",
                                      "A valid NEC type command has been received."}));
  EXPECT_TRUE(result.validated);
  EXPECT_EQ(result.codeStrBack, Colour::Green);
  ASSERT_TRUE(result.plot);
  EXPECT_EQ(result.plot->samples, std::string(300 * 8, '0'));

  const LearnResult nothing = RecordCommand(context, kReceiverIRMan, false,
                                            PulsioRecordSource(iface_.handle, 10, clock_), LearnEnv{});
  EXPECT_EQ(nothing.Status(), "No signal received for 5 seconds!");
  EXPECT_FALSE(nothing.decoded);
}

TEST_F(PulsioLink, TransmitPlaysTheSlotsOnDtrOrTxd) {
  auto peer = InstallReceiver(1, ReceiverWiring::DcdStandard);
  OpenIrPort(1);
  const uint8_t bytes[] = {0xF0, 0x80};
  const IrTransmit transmit = PulsioTransmit();

  SetDtrLine(false, iface_.handle);  // as the Send button does first
  peer->ClearCapture();
  const int64_t start = clock_.NowNs();
  EXPECT_EQ(transmit(bytes, 2, 500, kOutputDtr), 1);
  const auto light = platform::sim::DtrLight(peer->Captured(), clock_.NowNs());
  ASSERT_EQ(light.size(), 2u);
  EXPECT_NEAR(static_cast<double>(light[0].startNs - start), 0, 1000);
  EXPECT_NEAR(static_cast<double>(light[0].endNs - light[0].startNs), 4 * 500'000, 4 * 1000);
  EXPECT_NEAR(static_cast<double>(light[1].startNs - light[0].startNs), 8 * 500'000, 8 * 1000);

  SetPortMode(115200, 6, iface_.handle);
  peer->ClearCapture();
  EXPECT_EQ(transmit(bytes, 2, 500, kOutputTxd), 1);
  size_t characters = 0;
  for (const auto& event : peer->Captured()) {
    characters += event.kind == platform::sim::TxEvent::Kind::Character;
  }
  EXPECT_EQ(characters, 5u * 5u);  // 5 light slots of 6 carrier units: 5 characters and a wait
  EXPECT_EQ(transmit(bytes, 1001, 500, kOutputDtr), 0);
}

}  // namespace
}  // namespace qvx::ircode::test
