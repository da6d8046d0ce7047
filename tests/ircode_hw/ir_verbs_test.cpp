// qvxctl's infrared verbs, run in-process on a copy of the delivered configuration with COM1
// mapped to simulated hardware on a virtual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "qvx/ctl/verbs.h"
#include "qvx/ircode/sim/remotesim.h"
#include "tests/ircode_hw/hw_fixture.h"

namespace qvx::ircode::test {
namespace {

using platform::sim::ReceiverWiring;

struct CtlRun {
  int status;
  std::string out, err;
};

// The pulse text of a frame and its repeats, written out from the device block's patterns.
std::string Slots(const std::string& bits, const std::string& bitg, const std::string& bit0,
                  const std::string& bit1, const std::string& trailer, int repeatSlots,
                  bool leaderInRepeats) {
  std::string frame;
  for (const char bit : bits) frame += bit == '1' ? bit1 : bit0;
  frame += trailer;
  std::string text = bitg + frame;
  for (int i = 0; i < 4; ++i) {
    text += std::string(static_cast<size_t>(repeatSlots), '0') + (leaderInRepeats ? bitg : "") + frame;
  }
  return text;
}

// The slots a capture shows: the light keyed on DTR, cut into slots of the given length.
std::string CapturedSlots(const platform::sim::IrPeer& peer, int64_t endNs, int slotUs) {
  const auto light = platform::sim::DtrLight(peer.Captured(), endNs);
  std::string text;
  if (light.empty()) return text;
  int64_t atNs = light.front().startNs;
  auto slots = [&](int64_t ns) {
    return static_cast<size_t>(std::llround(static_cast<double>(ns) / (slotUs * 1000.0)));
  };
  for (const auto& mark : light) {
    text.append(slots(mark.startNs - atNs), '0');
    text.append(slots(mark.endNs - mark.startNs), '1');
    atNs = mark.endNs;
  }
  return text;
}

class IrVerbs : public HwTest {
 protected:
  void SetUp() override {
    HwTest::SetUp();
    clock_.SetLineReadCostNs(5'000);  // with PROCDELAY 50 a sample lasts about 55 us
    SetKey("PROCDELAY", "50");
  }

  CtlRun Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"--config", store_.path.string()});
    std::ostringstream out, err;
    const int status = RunQvxctl(args, out, err);
    return {status, out.str(), err.str()};
  }

  // Plays a remote's durations on COM1's receiver, 100 ms from now.
  void Press(platform::sim::IrPeer& peer, const sim::Light& light) {
    peer.PlayRemote(std::vector<int64_t>(light.durationsUs.begin(), light.durationsUs.end()), 100'000);
  }

  std::filesystem::path WriteRecording(const std::vector<uint8_t>& bytes) {
    const auto path = dir_ / "recording.bin";
    qvx::test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
    return path;
  }
};

TEST_F(IrVerbs, EncodePrintsThePulseTextOfTheFirstSend) {
  struct Case {
    const char* device;
    const char* command;
    std::string expected;
  };
  const Case cases[] = {
      {"TV", "Power",
       Slots("00100000110111110001000011101111", "111111111111111100000000", "10", "1000", "1", 50, false)},
      {"vcr", "play", Slots("010110011010", "1111", "01", "011", "", 40, true)},
      // RC5: the first send after start carries toggle bit 1 whatever the stored bit.
      {"Amp", "Standby", Slots("11110000001100", "0", "10", "01", "", 150, false)},
  };
  for (const Case& c : cases) {
    const CtlRun run = Ctl({"encode", c.device, c.command});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.expected + "\n") << c.device;
  }
}

TEST_F(IrVerbs, EncodeNamesWhatIsMissing) {
  struct Case {
    std::vector<std::string> args;
    const char* err;
  };
  const Case cases[] = {
      {{"encode", "TV", "Mute"}, "qvxctl: device TV has no command Mute\n"},
      {{"encode", "Winamp", "Play"}, "qvxctl: the protocol parameters of Winamp cannot be found\n"},
      {{"encode", "Radio", "On"}, "qvxctl: the protocol parameters of Radio cannot be found\n"},
  };
  for (const Case& c : cases) {
    const CtlRun run = Ctl(c.args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
  }
  EXPECT_EQ(Ctl({"encode", "TV"}).status, 2);
}

TEST_F(IrVerbs, SendPutsTheEncodedSlotsOnTheConfiguredPort) {
  auto peer = InstallReceiver(1, ReceiverWiring::DcdStandard);
  const std::string encoded = Ctl({"encode", "VCR", "Power"}).out;
  const CtlRun run = Ctl({"send", "VCR", "Power"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "VCR Power executed.\n");
  EXPECT_EQ(CapturedSlots(*peer, clock_.NowNs(), 550) + "\n", encoded);
  // The port was opened for the transmission only and taken back from Pulsio.
  EXPECT_FALSE(peer->IsOpen());
  EXPECT_EQ(GetHandle(), 0);
}

TEST_F(IrVerbs, SendOnTxdMakesTheCarrierOfCharacters) {
  auto peer = InstallReceiver(1, ReceiverWiring::DcdStandard);
  SetKey("ITYPE", "16");
  const CtlRun run = Ctl({"send", "TV", "Vol+"});
  EXPECT_EQ(run.out, "TV Vol+ executed.\n");
  EXPECT_EQ(peer->Settings().baudRate, 115200u);
  EXPECT_EQ(peer->Settings().dataBits, 6);
  const auto bursts = platform::sim::TxdCarrier(peer->Captured(), 100'000);
  ASSERT_FALSE(bursts.empty());
  // The leader: 16 light slots of 6 characters (69.4 us each at 6 data bits) and a 78 us
  // pause, the last pause not counted, make one mark.
  const double slotNs = 6 * 8e9 / 115200 + 78e3;
  EXPECT_NEAR(static_cast<double>(bursts.front().endNs - bursts.front().startNs), 16 * slotNs - 78e3, 20e3);
}

TEST_F(IrVerbs, SendRefusalsAndPortFailures) {
  auto peer = InstallReceiver(1, ReceiverWiring::DcdStandard);
  struct Case {
    const char* key;
    const char* value;
    std::vector<std::string> args;
    int status;
    const char* out;
    const char* err;
  };
  const Case cases[] = {
      {"IROUTENA", "0", {"send", "TV", "Power"}, 1, "Infrared output is disabled!\n", ""},
      {"IROUTENA", "1", {"send", "Winamp", "Play"}, 1, "", "qvxctl: device Winamp has no command Play\n"},
      {"IROUTENA", "1", {"send", "TV", "Mute"}, 1, "", "qvxctl: device TV has no command Mute\n"},
      {"COMPORT", "2", {"send", "TV", "Power"}, 1, "", "qvxctl: cannot open the infrared port: COM2 (sim:hw-com2) does not exist\n"},
  };
  for (const Case& c : cases) {
    SetKey(c.key, c.value);
    const CtlRun run = Ctl(c.args);
    EXPECT_EQ(run.status, c.status) << c.out << c.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
  }
  EXPECT_TRUE(peer->Captured().empty());  // a refused send never opened the port
}

TEST_F(IrVerbs, LearnPrintsTheDecodeOfOnePress) {
  struct Case {
    const char* name;
    sim::Light light;
    const char* out;
  };
  const Case cases[] = {
      {"SONY", sim::SonyPress(sim::SonyBits(1, 1, 5), 4),
       "protocol=SONY\nunit=11\ncode=G100000010000\nbits=12\nrpt=Y\ngtype=2\naddress=1\n"
       "command=1\npulse=605\nmessage=A valid SONY type command has been received.\n"},
      {"RC5", sim::Rc5Press(sim::Rc5Bits(true, 5, 12), 2),
       "protocol=RC5\nunit=16\ncode=G11000101001100\nbits=14\nrpt=Y\ngtype=0\ntoggle=1\n"
       "address=5\ncommand=12\npulse=880\nmessage=A valid RC5 type command has been received.\n"},
      {"NEC", sim::NecPress(sim::NecBits(0x04, 0x08), 2),
       "protocol=NEC\nunit=10\ncode=G00100000110111110001000011101111\nbits=32\nrpt=N\ngtype=2\n"
       "pulse=550\nmessage=A valid NEC type command has been received.\n"},
  };
  auto peer = InstallReceiver(1, ReceiverWiring::DcdStandard);
  for (const Case& c : cases) {
    Press(*peer, c.light);
    const CtlRun run = Ctl({"learn"});
    EXPECT_EQ(run.out, c.out) << c.name;
    EXPECT_EQ(run.status, 0) << c.name;
    EXPECT_FALSE(peer->IsOpen());
  }
}

TEST_F(IrVerbs, LearnNamesAStoredCodeAndReportsNoSignal) {
  auto peer = InstallReceiver(1, ReceiverWiring::IrMouse);
  SetKey("ITYPE", "1");  // recorded with IRRecordN through the IRMouse wiring
  Press(*peer, sim::SonyPress("101010011010", 4));
  CtlRun run = Ctl({"learn"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("code=G101010011010\n"), std::string::npos) << run.out;

  run = Ctl({"learn"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "message=No signal received for 5 seconds!\n");

  platform::UnregisterSimPeer(PeerName(1));
  run = Ctl({"learn"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "qvxctl: cannot open the infrared port: COM1 (sim:hw-com1) does not exist\n");
}

TEST_F(IrVerbs, LearnFromAnIrMan) {
  auto box = platform::sim::InstallIrManPeer(PeerName(1), clock_);
  peers_.push_back(box);
  SetKey("ITYPE", "2");
  box->PressAfterReady({0xFF, 0x00, 0x81, 0x7E, 0x01, 0x02}, 800'000);
  const CtlRun run = Ctl({"learn"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "IRMan interface initialized OK\n");
  EXPECT_EQ(run.out,
            "code=G111111110000000010000001011111100000000100000010\nbits=48\nrpt=Y\n"
            "message=A valid NEC type command has been received.\n");
}

TEST_F(IrVerbs, DecodeReadsWhatIRRecordDelivers) {
  std::mt19937 rng(3);
  sim::ReceiverModel receiver;
  const auto bytes = sim::RecordLight(sim::SonyPress(sim::SonyBits(21, 3, 8), 3), receiver, rng);
  const CtlRun run = Ctl({"decode", WriteRecording(bytes).string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "protocol=SONY\nunit=11\ncode=G101010011000000\nbits=15\nrpt=Y\ngtype=2\naddress=3\n"
            "command=21\npulse=605\nmessage=A valid 15 bits SONY type command has been received.\n");
}

TEST_F(IrVerbs, DecodeOfRecordingsThatGiveNoCode) {
  // Marks and gaps of 10 samples each: no run is long, so no coding type fits.
  std::vector<uint8_t> evenRuns(600, 0);
  for (size_t k = 0; k < evenRuns.size() * 8; ++k) {
    if ((k / 10) % 2 == 0) evenRuns[k / 8] |= static_cast<uint8_t>(0x80u >> (k % 8));
  }
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* out;
  };
  const Case cases[] = {
      {"empty", {}, "message=Recorded signal to short!\n"},
      {"39 bytes", std::vector<uint8_t>(39, 0xF0), "message=Recorded signal to short!\n"},
      {"silence", std::vector<uint8_t>(600, 0),
       "message=Not enough information recorded to decode the signal!\n"},
      {"one-sample runs", std::vector<uint8_t>(600, 0xAA), "message=Recorded signal is invalid or unknown!\n"},
      {"even runs", evenRuns, "protocol=UNK\nunit=9\npulse=495\nmessage=Unknown protocol!\n"},
  };
  for (const Case& c : cases) {
    const CtlRun run = Ctl({"decode", WriteRecording(c.bytes).string()});
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.out, c.out) << c.name;
  }
}

TEST_F(IrVerbs, DecodeRefusesFilesItCannotUse) {
  CtlRun run = Ctl({"decode", (dir_ / "missing.bin").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "qvxctl: cannot read " + (dir_ / "missing.bin").string() + "\n");
  const auto big = WriteRecording(std::vector<uint8_t>(601, 0x0F));
  run = Ctl({"decode", big.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "qvxctl: " + big.string() + " holds more than 600 bytes; a recording has at most 600\n");
}

}  // namespace
}  // namespace qvx::ircode::test
