#include "qvx/ircode/learning.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "qvx/config/devices.h"
#include "qvx/config/editing.h"
#include "qvx/config/store.h"
#include "qvx/ircode/pulsetext.h"
#include "qvx/ircode/runanalysis.h"
#include "qvx/ircode/sim/remotesim.h"
#include "runs.h"
#include "tests/support/support.h"

namespace qvx::ircode {
namespace {

using testing::Repeat;
using testing::Runs;

const std::string kNecCode = sim::NecBits(0x04, 0x08);
const std::string kOtherNecCode = sim::NecBits(0x04, 0x09);

std::vector<uint8_t> Padded(const std::string& sampleText) {
  std::vector<uint8_t> bytes = PackSlotBytes(sampleText);
  bytes.resize(kRecordBytes, 0);
  return bytes;
}

std::vector<uint8_t> Record(const sim::Light& light) {
  std::mt19937 rng(42);
  return sim::RecordLight(light, sim::ReceiverModel{}, rng);
}

// The NEC preset: the frame and four full repeats, so the remote "repeats" its frame.
std::vector<uint8_t> NecRepeated(const std::string& bits) {
  bool toggle = false;
  return Record(sim::PulseTextToLight(BuildPulseString(bits, PresetParams(0), toggle), 550));
}

// A NEC remote: one frame and repeat codes.
std::vector<uint8_t> NecSingle(const std::string& bits) { return Record(sim::NecPress(bits, 2)); }

// The window's side of learning: stored codes, beeps heard, codes searched.
struct Window {
  LearnContext context;
  std::map<std::string, StoredCommand> stored;
  std::vector<std::string> beeps;
  std::vector<std::string> searched;

  LearnEnv Env(bool beepOn = true) {
    LearnEnv env;
    env.beepOn = beepOn;
    env.beep = [this](int freqHz, int ms) {
      beeps.push_back(std::to_string(freqHz) + "/" + std::to_string(ms));
    };
    env.findCode = [this](const std::string& bits) -> std::optional<StoredCommand> {
      searched.push_back(bits);
      const auto found = stored.find(bits);
      if (found == stored.end()) return std::nullopt;
      return found->second;
    };
    return env;
  }
  LearnResult Learn(const std::optional<std::vector<uint8_t>>& buffer) {
    beeps.clear();
    return LearnFromRecording(context, buffer, Env());
  }
};

TEST(RecordCommand, RefusesOrPicksTheRecordingByReceiverType) {
  struct Case {
    int receiverType;
    bool monitoring;
    const char* message;
    bool cleared;
  };
  const Case cases[] = {
      {0, true, "You cannot record a command when monitoring function is activated!", false},
      {3, false, "Creative Infra record is not yet implemented!", true},
      {4, false, "No Rec interface selected!", true},
      {9, false, "No Rec interface selected!", true},
  };
  for (const Case& c : cases) {
    Window window;
    bool recorded = false;
    RecordSource source;
    source.record = [&](bool) -> std::optional<std::vector<uint8_t>> {
      recorded = true;
      return std::nullopt;
    };
    const LearnResult result =
        RecordCommand(window.context, c.receiverType, c.monitoring, source, window.Env());
    EXPECT_EQ(result.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(result.fieldsCleared, c.cleared);
    EXPECT_FALSE(recorded);
    EXPECT_FALSE(result.plot.has_value());
    EXPECT_EQ(window.beeps.size(), c.cleared ? 1u : 0u);
  }

  for (const int type : {0, 1}) {
    Window window;
    std::optional<bool> polarity;
    RecordSource source;
    source.record = [&](bool dcdOnIsActive) -> std::optional<std::vector<uint8_t>> {
      polarity = dcdOnIsActive;
      return NecRepeated(kNecCode);
    };
    const LearnResult result = RecordCommand(window.context, type, false, source, window.Env());
    EXPECT_EQ(polarity, type == 1);
    EXPECT_EQ(result.codeStr, "G" + kNecCode);
    EXPECT_EQ(window.beeps.front(), "5000/50");
  }
}

TEST(LearnFromRecording, FailureMessages) {
  struct Case {
    const char* name;
    std::optional<std::vector<uint8_t>> buffer;
    const char* message;
  };
  std::vector<uint8_t> earlyOnly(kRecordBytes, 0);
  earlyOnly[10] = 0xF0;
  std::vector<uint8_t> glitches(kRecordBytes, 0);
  std::fill(glitches.begin(), glitches.begin() + 100, 0xAA);
  const std::string nonsense = Repeat(Runs({10, 10, 30, 10, 10, 20}), 5) + std::string(500, '0');
  const Case cases[] = {
      {"39 bytes", std::vector<uint8_t>(39, 0xFF), "Recorded signal to short!"},
      {"no signal", std::nullopt, "No signal received for 5 seconds!"},
      {"silence", std::vector<uint8_t>(kRecordBytes, 0),
       "Not enough information recorded to decode the signal!"},
      {"activity before byte 40", earlyOnly,
       "Not enough information recorded to decode the signal!"},
      {"runs of one sample", glitches, "Recorded signal is invalid or unknown!"},
      {"equal runs only", Padded(Repeat(Runs({10, 10}), 40)), "Unknown protocol!"},
      {"bi-phase coding error", Padded(nonsense), "Command cannot be extracted!"},
      {"five bits, one frame", NecSingle("01101"), "Invalid command (less than 8 bit)!"},
      {"five bits, repeated", NecRepeated("01101"), "Invalid command (less than 8 bit)!"},
  };
  for (const bool literalOnly : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (literalOnly ? " (literal analysis)" : ""));
      Window window;
      LearnEnv env = window.Env();
      if (literalOnly) env.decode = LiteralDecodeSampleText;
      const LearnResult result = LearnFromRecording(window.context, c.buffer, env);
      EXPECT_EQ(result.messages, std::vector<std::string>{c.message});
      EXPECT_EQ(result.codeStr, "");
      EXPECT_FALSE(result.validated);
      EXPECT_FALSE(window.context.validated);
      ASSERT_TRUE(result.plot.has_value());
      EXPECT_EQ(result.plot->trace, Colour::Red);
    }
  }
}

TEST(LearnFromRecording, NoSignalBeepsAndPlotsTheEmptyBuffer) {
  Window window;
  const LearnResult result = window.Learn(std::nullopt);
  EXPECT_EQ(window.beeps, std::vector<std::string>{"600/1000"});
  EXPECT_EQ(result.codeStrBack, Colour::ButtonFace);
  EXPECT_EQ(result.plot->samples, std::string(4800, '0'));
  EXPECT_EQ(result.plot->scrollMin, (2 - 600) * 8);
  EXPECT_EQ(result.plot->scrollMax, 15);
  EXPECT_EQ(result.plot->scrollValue, 15);
}

TEST(LearnFromRecording, UnknownProtocolShowsUnk) {
  Window window;
  const LearnResult result = window.Learn(Padded(Repeat(Runs({10, 10}), 40)));
  EXPECT_EQ(result.gProt, "UNK");
  EXPECT_EQ(result.gProtColour, Colour::Red);
  EXPECT_EQ(result.frame1, "");
  EXPECT_EQ(result.gType, "");
  EXPECT_EQ(result.codeStrBack, Colour::ButtonFace);
  EXPECT_EQ(result.sendPulse, "495");  // unit 9 samples
}

TEST(LearnFromRecording, ShortCodesAreNeverValidated) {
  Window window;
  LearnEnv literalEnv = window.Env();
  literalEnv.decode = LiteralDecodeSampleText;
  const LearnResult result = LearnFromRecording(window.context, NecRepeated("01101"), literalEnv);
  EXPECT_EQ(result.rpt, "Y");
  EXPECT_EQ(result.gProt, "");
  EXPECT_EQ(result.gProtColour, Colour::Red);
  EXPECT_EQ(result.codeStrBack, Colour::ButtonFace);
  EXPECT_TRUE(window.beeps.empty());
  EXPECT_TRUE(window.searched.empty());
}

// SONY 12 frames whose header lasts 3.3 units and whose fourth mark lasts 3.5, longer than any
// mark of the protocol: no whole frame is found, and the run analysis takes the header for a bit
// and reads every frame alike. What it alone reads needs a second recording.
TEST(LearnFromRecording, TheRunAnalysisAloneNeverValidatesAtOnce) {
  const std::string bits = "101101001100";
  std::vector<int> frame = {33};
  for (size_t bit = 0; bit < bits.size(); ++bit) {
    frame.push_back(9);
    frame.push_back(bit == 3 ? 35 : bits[bit] == '1' ? 21 : 11);
  }
  const std::vector<uint8_t> press = Padded(Repeat(Runs(frame) + std::string(300, '0'), 3));
  Window window;
  const LearnResult first = window.Learn(press);
  EXPECT_EQ(first.codeStr, "G1" + bits);
  EXPECT_EQ(first.rpt, "N");
  EXPECT_FALSE(first.validated);
  EXPECT_EQ(first.codeStrBack, Colour::Red);
  const LearnResult second = window.Learn(press);
  EXPECT_EQ(second.codeStr, first.codeStr);
  EXPECT_TRUE(second.validated);
}

TEST(LearnFromRecording, ValidationStateMachine) {
  struct Step {
    std::vector<uint8_t> buffer;
    bool stored;
    Colour colour;
    const char* irCommand;
    bool validated;
    std::vector<std::string> beeps;
  };
  const StoredCommand tvPower{"TV", "Power"};
  const std::vector<std::vector<Step>> scenarios = {
      // A single frame needs a second identical press.
      {{NecSingle(kNecCode), false, Colour::Red, "", false, {"2000/300"}},
       {NecSingle(kNecCode), false, Colour::Green, "", true, {"5000/50"}}},
      // A different second press starts over; the attempt after it needs two presses again.
      {{NecSingle(kNecCode), false, Colour::Red, "", false, {"2000/300"}},
       {NecSingle(kOtherNecCode), false, Colour::Red, "", false, {"2000/300"}},
       {NecSingle(kOtherNecCode), false, Colour::Red, "", false, {"2000/300"}},
       {NecSingle(kOtherNecCode), false, Colour::Green, "", true, {"5000/50"}}},
      // A repeated frame validates at once.
      {{NecRepeated(kNecCode), false, Colour::Green, "?", true, {"5000/50"}}},
      // A stored code is named; the repeated rule leaves the flag, the single rule sets it.
      {{NecRepeated(kNecCode), true, Colour::ButtonFace, "TV&Power", false, {"2000/50", "5000/50"}},
       {NecSingle(kNecCode), true, Colour::ButtonFace, "TV&Power", true, {"2000/50", "5000/50"}}},
  };
  for (size_t s = 0; s < scenarios.size(); ++s) {
    Window window;
    for (size_t i = 0; i < scenarios[s].size(); ++i) {
      SCOPED_TRACE("scenario " + std::to_string(s) + " step " + std::to_string(i));
      const Step& step = scenarios[s][i];
      window.stored.clear();
      if (step.stored) window.stored["" + kNecCode] = tvPower;
      const LearnResult result = window.Learn(step.buffer);
      EXPECT_EQ(result.codeStrBack, step.colour);
      EXPECT_EQ(window.context.codeStrBack, step.colour);
      EXPECT_EQ(result.irCommand, step.irCommand);
      EXPECT_EQ(result.validated, step.validated);
      EXPECT_EQ(window.beeps, step.beeps);
      EXPECT_EQ(result.plot->trace, step.colour == Colour::Red ? Colour::Red : Colour::Green);
      EXPECT_EQ(result.stored.has_value(), step.stored);
      EXPECT_TRUE(result.selectStored);
    }
  }
}

// A key is stored once: where the literal analysis reads a recording otherwise than the
// canonical one, a key stored under either code is "already stored" for learning and for Save.
TEST(SaveCommand, AKeyStoredUnderEitherCodeIsNotSavedTwice) {
  // SONY 1-bits only: the histograms take the two-unit marks for the unit.
  const std::vector<uint8_t> recording = Record(sim::SonyPress("111111111111", 3));
  LearnContext literalOnly;
  LearnEnv literalEnv;
  literalEnv.decode = LiteralDecodeSampleText;
  const std::string literal = LearnFromRecording(literalOnly, recording, literalEnv).codeStr;
  const std::string canonical = "G111111111111";
  ASSERT_NE(literal, canonical);

  const std::string other = "G" + kNecCode;
  const struct {
    std::string storedCode;
    bool saved;
  } cases[] = {{literal, false}, {canonical, false}, {other, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.storedCode);
    qvx::test::TempDir dir;
    ConfigStore store;
    store.path = dir / "pelgrin.cfg";
    store.text = qvx::test::Crlf(
        "[General]\nCOMPORT= 1\n\n[TV]\n# TV\nGPROTO= 1\nSENDPLS= 550\nREPEAT= 40\nBITG= 1111\n"
        "BIT0= 01\nBIT1= 011\nGREPEAT= 40\n" + c.storedCode + ",Power\n\n[End]\n");
    qvx::test::WriteFile(store.path, store.text);
    store.fileText = store.text;
    const std::string before = store.text;

    LearnContext context;
    context.validated = true;  // a key learned before; a repeated stored key leaves the flag
    LearnEnv env;
    env.findCode = [&store](const std::string& bits) -> std::optional<StoredCommand> {
      if (!FindCodeInConfig(store, bits, 0)) return std::nullopt;
      return StoredCommand{store.currentDevice, store.currentCommand};
    };
    const LearnResult result = LearnFromRecording(context, recording, env);
    EXPECT_EQ(result.codeStr, canonical);
    EXPECT_EQ(result.irCommand, c.saved ? "?" : "TV&Power");

    store.codeValidated = context.validated;
    store.currentDevice = "TV";
    qvx::test::ScriptedPrompter prompter;
    prompter.textAnswers = {"Power again"};
    const auto saved =
        SaveCommand(store, prompter, result.codeStr, EarlierCodeOf(context, result.codeStr));
    EXPECT_EQ(saved.has_value(), c.saved);
    const std::string expected =
        c.saved ? before.substr(0, before.find("\r\n\r\n[End]")) + "\r\n" + canonical +
                      ",Power again" + before.substr(before.find("\r\n\r\n[End]"))
                : before;
    EXPECT_EQ(qvx::test::ReadFile(store.path), expected);
    EXPECT_EQ(store.text, expected);
    EXPECT_EQ(prompter.statuses, c.saved ? std::vector<std::string>()
                                         : std::vector<std::string>{"This command exist as Power"});
  }
}

// The window's colour has one record: after the window reset it (a save), a failed recording
// shows the reset colour, not the one of the recording before.
TEST(LearnFromRecording, AFailedRecordingShowsTheColourTheWindowShows) {
  Window window;
  EXPECT_EQ(window.Learn(NecRepeated(kNecCode)).codeStrBack, Colour::Green);
  window.context.codeStrBack = Colour::Default;
  const LearnResult failed = window.Learn(std::vector<uint8_t>(kRecordBytes, 0));
  EXPECT_EQ(failed.Status(), "Not enough information recorded to decode the signal!");
  EXPECT_EQ(failed.codeStrBack, Colour::Default);
  EXPECT_EQ(failed.plot->trace, Colour::Red);
}

TEST(LearnFromRecording, NoBeepsWhenBeepsAreOff) {
  Window window;
  LearnFromRecording(window.context, NecSingle(kNecCode), window.Env(false));
  LearnFromRecording(window.context, std::nullopt, window.Env(false));
  EXPECT_TRUE(window.beeps.empty());
}

// The Recorded device sends its repeats with the leader exactly when GType is "2".
TEST(LearnFromRecording, NecSyncTypeSaysWhetherTheRepeatsCarryTheLeader) {
  DeviceParams leaderRepeats = PresetParams(0);
  leaderRepeats.grepeatSlots = 50;
  bool toggle = false;
  const struct {
    const char* name;
    std::vector<uint8_t> buffer;
    const char* gType;
    const char* rpt;
  } cases[] = {
      {"frame and repeat codes", NecSingle(kNecCode), "2", "N"},
      {"frames repeated without leader", NecRepeated(kNecCode), "1", "Y"},
      {"frames repeated with leader",
       Record(sim::PulseTextToLight(BuildPulseString(kNecCode, leaderRepeats, toggle), 550)), "2", "Y"},
      {"one frame", Record(sim::NecPress(kNecCode, 0)), "1", "N"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool literalOnly : {true, false}) {
      Window window;
      LearnEnv env = window.Env();
      if (literalOnly) env.decode = LiteralDecodeSampleText;
      const LearnResult result = LearnFromRecording(window.context, c.buffer, env);
      EXPECT_EQ(result.codeStr, "G" + kNecCode);
      EXPECT_EQ(result.gType, c.gType);
      EXPECT_EQ(result.rpt, c.rpt);
    }
  }
}

TEST(LearnFromRecording, NecChecks) {
  Window window;
  const LearnResult nec = window.Learn(NecSingle(kNecCode));
  EXPECT_EQ(nec.gProt, "NEC");
  EXPECT_EQ(nec.gProtColour, Colour::Green);
  EXPECT_EQ(nec.frame1, "NEC params");
  EXPECT_EQ(nec.rpt, "N");
  EXPECT_EQ(nec.bitNr, "32");
  EXPECT_EQ(nec.toggleVal, "N");
  EXPECT_FALSE(nec.toggleVisible);
  EXPECT_EQ(nec.Status(), "A valid NEC type command has been received.");
  EXPECT_FALSE(nec.plen1.empty());
  EXPECT_EQ(nec.plen1.front(), '-');

  const LearnResult odd = window.Learn(NecSingle("10110011001110001011"));
  EXPECT_EQ(odd.codeStr, "G10110011001110001011");
  EXPECT_EQ(odd.bitNrColour, Colour::Red);
  EXPECT_EQ(odd.Status(), "A possible invalid NEC type command has been received.");
}

TEST(LearnFromRecording, SonyChecksShowAddressAndCommand) {
  struct Case {
    int command, address, addressBits;
    const char* message;
  };
  const Case cases[] = {{21, 1, 5, "A valid SONY type command has been received."},
                        {100, 200, 8, "A valid 15 bits SONY type command has been received."}};
  for (const Case& c : cases) {
    Window window;
    const std::string bits = sim::SonyBits(static_cast<uint8_t>(c.command),
                                           static_cast<uint8_t>(c.address), c.addressBits);
    const LearnResult result = window.Learn(Record(sim::SonyPress(bits, 3)));
    EXPECT_EQ(result.codeStr, "G" + bits);
    EXPECT_EQ(result.addrVal, std::to_string(c.address));
    EXPECT_EQ(result.cmdVal, std::to_string(c.command));
    EXPECT_EQ(result.gType, "2");
    EXPECT_EQ(result.rpt, "Y");
    EXPECT_EQ(result.toggleVal, "N");
    EXPECT_FALSE(result.toggleVisible);
    EXPECT_EQ(result.Status(), c.message);
  }
}

TEST(LearnFromRecording, Rc5ShowsToggleAndStoresItCleared) {
  struct Case {
    int address, command;
  };
  for (const Case c : {Case{5, 12}, Case{0, 1}, Case{20, 70}}) {
    Window window;
    const std::string bits = sim::Rc5Bits(true, static_cast<uint8_t>(c.address),
                                          static_cast<uint8_t>(c.command));
    std::string cleared = bits;
    cleared[2] = '0';
    window.stored[cleared] = {"Amp", "Mute"};
    const LearnResult result = window.Learn(Record(sim::Rc5Press(bits, 2)));
    EXPECT_EQ(result.toggleVal, "1");
    EXPECT_TRUE(result.toggleVisible);
    EXPECT_EQ(result.codeStr, "G" + cleared);
    EXPECT_EQ(result.addrVal, std::to_string(c.address));
    EXPECT_EQ(result.cmdVal, std::to_string(c.command));
    EXPECT_EQ(result.gType, "0");
    EXPECT_EQ(result.rpt, "Y");
    EXPECT_EQ(result.irCommand, "Amp&Mute");
    EXPECT_EQ(window.searched, std::vector<std::string>{cleared});
    EXPECT_EQ(result.Status(), "A valid RC5 type command has been received.");
  }
}

TEST(LearnFromRecording, Rc5SinglePressesValidateAcrossTheToggle) {
  Window window;
  const LearnResult first = window.Learn(Record(sim::Rc5Press(sim::Rc5Bits(true, 3, 9), 1)));
  EXPECT_EQ(first.rpt, "N");
  EXPECT_EQ(first.codeStrBack, Colour::Red);
  const LearnResult second = window.Learn(Record(sim::Rc5Press(sim::Rc5Bits(false, 3, 9), 1)));
  EXPECT_EQ(second.codeStrBack, Colour::Green);
  EXPECT_EQ(second.codeStr, first.codeStr);
  EXPECT_TRUE(second.validated);
}

TEST(LearnFromRecording, Rc5LengthChecks) {
  Window window;
  const LearnResult shorter = window.Learn(Record(sim::Rc5Press("1101001011", 2)));
  EXPECT_EQ(shorter.Status(),
            "A possible invalid RC5 type command has been received(less than 14 bits)!");
  EXPECT_EQ(shorter.codeStr, "G1101001011");
  EXPECT_FALSE(shorter.selectStored);
  const LearnResult longer = window.Learn(Record(sim::Rc5Press("1100110011001100", 2)));
  EXPECT_EQ(longer.Status(), "A possible valid command has been received (more than 14 bits).");
  EXPECT_EQ(longer.bitNrColour, Colour::Red);
  EXPECT_TRUE(longer.selectStored);
}

TEST(LearnFromIRMan, TakesSixBytesAsAValidatedCode) {
  Window window;
  const std::array<uint8_t, 6> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  const LearnResult result = LearnFromIRMan(window.context, bytes, window.Env());
  const std::string bits = "000100100011010001010110011110001001101010111100";
  EXPECT_EQ(result.codeStr, "G" + bits);
  EXPECT_EQ(result.bitNr, "48");
  EXPECT_EQ(result.rpt, "Y");
  EXPECT_EQ(result.messages,
            (std::vector<std::string>{"No graph available for IRMan type IR input interface.",
                                      "A valid NEC type command has been received."}));
  EXPECT_TRUE(result.validated);
  EXPECT_EQ(result.plot->samples, std::string(2400, '0'));
  EXPECT_EQ(result.plot->trace, Colour::Green);

  // The checks follow the coding type of the last analysis.
  window.context.codingType = 2;
  const LearnResult afterRc5 = LearnFromIRMan(window.context, bytes, window.Env());
  EXPECT_EQ(afterRc5.Status(), "A possible valid command has been received (more than 14 bits).");
  EXPECT_EQ(afterRc5.codeStr, "G00" "0" + bits.substr(3));

  const LearnResult none = LearnFromIRMan(window.context, std::nullopt, window.Env());
  EXPECT_EQ(none.messages, std::vector<std::string>{"No signal received for 5 seconds!"});
}

TEST(RecordCommand, IRManReceiverReadsItsBytes) {
  Window window;
  RecordSource source;
  int reads = 0;
  source.irman = [&]() -> std::optional<std::array<uint8_t, 6>> {
    ++reads;
    return std::array<uint8_t, 6>{1, 2, 3, 4, 5, 6};
  };
  const LearnResult result = RecordCommand(window.context, 2, false, source, window.Env());
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(result.bitNr, "48");
}

}  // namespace
}  // namespace qvx::ircode
