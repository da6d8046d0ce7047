// Auto-detection of the receiver on the IR port: each wiring reaches its own outcome through
// the three tests, with the line settings of the detected type applied afterwards.
#include <gtest/gtest.h>

#include <regex>

#include "qvx/ircode/runanalysis.h"

#include "tests/ircode_hw/hw_fixture.h"

namespace qvx::ircode::test {
namespace {

using platform::OutputLine;
using platform::sim::ReceiverWiring;

enum class Box { IrMouse, DcdStandard, IrMan, SelfPowered, Nothing };

class AutoDetect : public HwTest {
 protected:
  std::shared_ptr<platform::sim::Peer> Install(Box box) {
    switch (box) {
      case Box::IrMouse: return InstallReceiver(1, ReceiverWiring::IrMouse);
      case Box::DcdStandard: return InstallReceiver(1, ReceiverWiring::DcdStandard);
      case Box::SelfPowered: return InstallReceiver(1, ReceiverWiring::AlwaysPowered);
      case Box::IrMan: return platform::sim::InstallIrManPeer(PeerName(1), clock_);
      case Box::Nothing: {
        // A port with nothing on it: no input line ever comes on, nothing is answered.
        auto peer = std::make_shared<platform::sim::Peer>(clock_);
        peer->RegisterAs(PeerName(1));
        return peer;
      }
    }
    return nullptr;
  }
};

TEST_F(AutoDetect, EachWiringIsFoundByItsTest) {
  struct Case {
    Box box;
    const char* status;
    int type;
    const char* itype;
    const char* caption;
    bool rts, dtr;  // lines of the detected type, applied afterwards
    bool irManReady;
  };
  const Case cases[] = {
      {Box::IrMouse, "IRMouse interface autodetected.", 1, " 1", "IRMouse", true, true, false},
      {Box::DcdStandard, "DCD Standard interface autodetected.", 0, " 0", "DCDStd", true, false, false},
      {Box::IrMan, "IRMan interface autodetected and initialized OK.", 2, " 2", "IRMan", true, true, true},
      {Box::SelfPowered, "Cannot detect interface or no interface connected to COM1.", 9, " 9", "", true, true, false},
      {Box::Nothing, "Cannot detect interface or no interface connected to COM1.", 9, " 9", "", true, true, false},
  };
  for (const Case& c : cases) {
    SetKey("ITYPE", "3");
    auto peer = Install(c.box);
    OpenIrPort(1);
    iface_.irManReady = false;

    EXPECT_EQ(AutoDetectInterface(iface_, store_, prompter_, clock_), c.status);
    EXPECT_EQ(store_.general.receiverType, c.type) << c.status;
    EXPECT_EQ(FileValue("ITYPE"), c.itype) << c.status;
    EXPECT_EQ(iface_.controls.receiverCaption, c.caption) << c.status;
    EXPECT_EQ(peer->LineOn(OutputLine::Rts), c.rts) << c.status;
    EXPECT_EQ(peer->LineOn(OutputLine::Dtr), c.dtr) << c.status;
    EXPECT_EQ(iface_.irManReady, c.irManReady) << c.status;
    // Detection gives its result on the status line only; the IRMan init found it ready.
    EXPECT_TRUE(prompter_.messages.empty()) << c.status;

    CloseIrPort(iface_);
    platform::UnregisterSimPeer(PeerName(1));
  }
}

TEST_F(AutoDetect, TheNumberInTheMessageIsTheIrPort) {
  InstallReceiver(7, ReceiverWiring::AlwaysPowered);
  SetKey("COMPORT", "7");
  OpenIrPort(7);
  EXPECT_EQ(AutoDetectInterface(iface_, store_, prompter_, clock_),
            "Cannot detect interface or no interface connected to COM7.");
}

TEST_F(AutoDetect, WithoutAPortEveryTestFailsSoftly) {
  iface_.handle = kPortFailed;
  EXPECT_EQ(AutoDetectInterface(iface_, store_, prompter_, clock_),
            "Cannot detect interface or no interface connected to COM1.");
  EXPECT_EQ(store_.general.receiverType, 9);
}

TEST_F(AutoDetect, DetectedIrMouseRecordsWithItsPolarity) {
  auto peer = InstallReceiver(1, ReceiverWiring::IrMouse);
  OpenIrPort(1);
  ASSERT_EQ(AutoDetectInterface(iface_, store_, prompter_, clock_), "IRMouse interface autodetected.");
  // The lines left by detection power the receiver, which shows light as DCD on.
  peer->PlayRemote({600, 600, 1200}, 1000);
  std::vector<uint8_t> samples(4);
  clock_.SetLineReadCostNs(100'000);  // one sample every 100 us
  ASSERT_EQ(IRRecordN(samples.data(), 0, 4), 1);
  EXPECT_TRUE(std::regex_match(SamplesToText(samples), std::regex("1{5,6}0{5,7}1{11,13}0+")))
      << SamplesToText(samples);
}

}  // namespace
}  // namespace qvx::ircode::test
