// X10 output against the simulated CM11/CM12: the byte exchange, its replies and retries, the
// port rules, the name table and both variants of the command. Waits run on a virtual clock.

#include "qvx/devices/x10.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <map>
#include <vector>

#include "platform/sim/cm11_peer.h"
#include "platform/sim/virtual_clock.h"
#include "qvx/config/store.h"
#include "qvx/devices/x10_config.h"
#include "qvx/ircode/port/serialport.h"
#include "tests/support/env.h"
#include "tests/support/support.h"

namespace qvx::devices {
namespace {

using platform::sim::Cm11Fault;
using platform::sim::PeerOperation;
using platform::sim::X10Transmission;
using Bytes = std::vector<uint8_t>;
using qvx::test::ScopedEnv;

constexpr int kCm11Com = 3;

const std::string kConfig = test::Crlf(
    "[General]\n"
    "X10COM=3\n"
    "[TV]\n"
    "/X10/*p16,NotInTheSection\n"
    "[X10]\n"
    "# X10 modules\n"
    "/X10/*a1,Lamp\n"
    "/X10/*A2,  Heater  \n"
    "/X10/*b3,Porch Light\n"
    "\n"
    "[Application]\n");

class X10Test : public ::testing::Test {
 protected:
  void SetUp() override {
    cm11_ = platform::sim::InstallCm11Peer("x10-cm11", clock_);
    store_.text = kConfig;
    store_.general.x10Ena = true;
    store_.general.x10Com = kCm11Com;
    store_.general.beepOn = true;
    LoadX10Section(state_.names, store_.text);
  }

  void TearDown() override {
    CloseX10Port(state_);
    platform::UnregisterSimPeer("x10-cm11");
  }

  // Runs a command of the main program with the given function position and dim amount.
  std::string Run(const std::string& device, const std::string& command, int function, int dimPercent = 50) {
    X10Request request;
    request.device = device;
    request.command = command;
    request.selectedFunction = function;
    request.dimPercent = dimPercent;
    return ExecuteX10Command(state_, store_, request, clock_, Beeper());
  }

  std::string RunGateway(const std::string& device, const std::string& command) {
    X10Request request;
    request.device = device;
    request.command = command;
    request.variant = Variant::Gateway;
    request.selectedFunction = kX10AllUnitsOff;  // never used by a gateway
    request.dimPercent = 100;
    return ExecuteX10Command(state_, store_, request, clock_, Beeper());
  }

  ircode::Beeper Beeper() {
    return [this](int hz, int ms) { beeps_.push_back(std::to_string(hz) + "/" + std::to_string(ms)); };
  }

  int64_t ElapsedMs() { return (clock_.NowNs() - startNs_) / 1'000'000; }

  platform::sim::VirtualClock clock_;
  platform::ScopedClock scoped_{clock_};
  ScopedEnv com_{"QVX_COM3", "sim:x10-cm11"};
  std::shared_ptr<platform::sim::Cm11Peer> cm11_;
  ConfigStore store_;
  X10State state_;
  std::vector<std::string> beeps_;
  int64_t startNs_ = 0;
};

TEST(X10CodeBits, MapsIndexesOneToSixteenAndNothingElse) {
  const char* patterns[] = {"0110", "1110", "0010", "1010", "0001", "1001", "0101", "1101",
                            "0111", "1111", "0011", "1011", "0000", "1000", "0100", "1100"};
  const int values[] = {6, 14, 2, 10, 1, 9, 5, 13, 7, 15, 3, 11, 0, 8, 4, 12};
  for (int index = 1; index <= 16; ++index) {
    EXPECT_EQ(X10CodeBits(index), patterns[index - 1]) << index;
    EXPECT_EQ(X10CodeValue(index), values[index - 1]) << index;
  }
  for (int outside : {-1, 0, 17, 100}) {
    EXPECT_EQ(X10CodeBits(outside), "") << outside;
    EXPECT_EQ(X10CodeValue(outside), std::nullopt) << outside;
  }
}

TEST(X10FunctionFromWord, FollowsTheCommandListIgnoringCase) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"All-U-Off", 0}, {"ALL-L-ON", 1}, {"on", 2}, {"Off", 3}, {"dim", 4}, {"BRI", 5},
      {"all-l-off", 6}, {"toggle", std::nullopt}, {"", std::nullopt}, {" on", std::nullopt},
  };
  for (const auto& [word, function] : cases) EXPECT_EQ(X10FunctionFromWord(word), function) << word;
}

TEST(LoadX10Section, StoresTwentyCharacterFieldsAndNothingOutsideTheTable) {
  const std::string text = test::Crlf(
      "/X10/*c1,BeforeTheHeader\n"
      "[x10]\n"
      "# modules\n"
      "/X10/*a1,First\n"
      "/X10/*q1,HouseQ\n"
      "/X10/*a17,Unit17\n"
      "/X10/*a0,Unit0\n"
      "/X10/*,NoAddress\n"
      "/X10/*P16,  Last One  \n"
      "/X10/*c02,ABCDEFGHIJKLMNOPQRSTUVWXYZ\n"
      "/X10/*a1,Replaced\n"
      "\n"
      "[Monitoring]\n"
      "/X10/*d4,AfterTheSection\n");
  X10NameTable names = BlankX10NameTable();
  names[5][5] = "stale entry         ";
  LoadX10Section(names, text);

  std::map<std::pair<int, int>, std::string> stored;
  for (int house = 0; house < kX10Houses; ++house) {
    for (int unit = 0; unit < kX10Units; ++unit) {
      const std::string& field = names[house][unit];
      ASSERT_EQ(field.size(), kX10NameChars);
      if (field != std::string(kX10NameChars, ' ')) stored[{house, unit}] = field;
    }
  }
  auto field = [](std::string name) {
    name.resize(20, ' ');
    return name;
  };
  const std::map<std::pair<int, int>, std::string> expected = {
      {{0, 0}, field("Replaced")},
      {{15, 15}, field("Last One")},
      {{2, 1}, "ABCDEFGHIJKLMNOPQRST"},
      // The search is not bounded by the next section header.
      {{3, 3}, field("AfterTheSection")},
  };
  EXPECT_EQ(stored, expected);

  LoadX10Section(names, "[General]\r\n/X10/*a1,Lamp\r\n");
  EXPECT_EQ(names, BlankX10NameTable());
}

TEST(FindX10Module, MatchesTrimmedNamesIgnoringCaseInHouseThenUnitOrder) {
  X10NameTable names = BlankX10NameTable();
  names[1][0] = "Lamp                ";
  names[0][5] = " LAMP               ";
  names[2][2] = "Porch Light         ";
  EXPECT_EQ(FindX10Module(names, "lamp"), (std::pair{0, 5}));
  EXPECT_EQ(FindX10Module(names, "  porch LIGHT "), (std::pair{2, 2}));
  EXPECT_EQ(FindX10Module(names, "porch"), std::nullopt);
  // A free field must not answer to an empty name.
  EXPECT_EQ(FindX10Module(names, ""), std::nullopt);
  EXPECT_EQ(FindX10Module(names, "   "), std::nullopt);
}

// The exchange of SendX10Code, with the interface misbehaving on one reply or more. The time
// spent on the virtual clock counts the 200 ms polls.
TEST_F(X10Test, SendX10CodeExchangesRetriesAndPollCounts) {
  const Bytes onAttempt = {0x04, 0x66, 0x00, 0x06, 0x62, 0x00};
  auto twice = [](const Bytes& a) {
    Bytes both = a;
    both.insert(both.end(), a.begin(), a.end());
    return both;
  };
  struct Case {
    const char* name;
    int normalRepliesFirst;  // replies answered properly before the fault
    Cm11Fault fault;
    int faultyReplies;
    int64_t lateUs;
    bool ok;
    Bytes received;
    int64_t elapsedMs;
  };
  const Case cases[] = {
      {"prompt", 0, Cm11Fault::None, 0, 0, true, onAttempt, 800},
      {"checksum at the ninth poll", 0, Cm11Fault::Late, 1, 1'700'000, true, onAttempt, 2400},
      {"last ready at the 18th poll", 3, Cm11Fault::Late, 1, 3'500'000, true, onAttempt, 4200},
      {"doubled checksum", 0, Cm11Fault::Twice, 1, 0, true, {0x04, 0x66, 0x04, 0x66, 0x00, 0x06, 0x62, 0x00}, 1000},
      {"wrong ready", 1, Cm11Fault::Wrong, 1, 0, true,
       {0x04, 0x66, 0x00, 0x04, 0x66, 0x00, 0x06, 0x62, 0x00}, 1200},
      {"doubled function checksum", 2, Cm11Fault::Twice, 1, 0, true,
       {0x04, 0x66, 0x00, 0x06, 0x62, 0x04, 0x66, 0x00, 0x06, 0x62, 0x00}, 1400},
      {"silent last ready", 3, Cm11Fault::Silent, 1, 0, true, twice(onAttempt), 5400},
      {"silent", 0, Cm11Fault::Silent, 100, 0, false, {0x04, 0x66, 0x04, 0x66}, 4000},
      {"wrong checksum twice", 0, Cm11Fault::Wrong, 2, 0, false, {0x04, 0x66, 0x04, 0x66}, 400},
      // The stale late byte is still waiting when the retry reads its function checksum.
      {"checksum after the window", 0, Cm11Fault::Late, 1, 2'500'000, false,
       {0x04, 0x66, 0x04, 0x66, 0x00, 0x06, 0x62}, 2600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto handle = ircode::OpenPort(kCm11Com);
    ASSERT_GT(handle, 0);
    // Stray replies of the case before arrive and are read away.
    clock_.AdvanceNs(10'000'000'000);
    ircode::ReadPort(handle);
    auto& cm11 = cm11_->Interface();
    cm11.ClearRecord();
    cm11.SetLateDelayUs(c.lateUs);
    if (c.normalRepliesFirst > 0) cm11.InjectFault(Cm11Fault::None, c.normalRepliesFirst);
    if (c.faultyReplies > 0) cm11.InjectFault(c.fault, c.faultyReplies);
    startNs_ = clock_.NowNs();
    EXPECT_EQ(SendX10Code(handle, 1, 1, kX10On, 50, clock_), c.ok);
    EXPECT_EQ(cm11.Received(), c.received);
    EXPECT_EQ(ElapsedMs(), c.elapsedMs);
    ircode::ClosePort(handle);
    cm11.SetFault(Cm11Fault::None);
  }
}

TEST_F(X10Test, SendX10CodeRefusesArgumentsOutsideTheirRanges) {
  auto handle = ircode::OpenPort(kCm11Com);
  ASSERT_GT(handle, 0);
  const int arguments[][3] = {{0, 1, 2}, {17, 1, 2}, {1, 0, 2}, {1, 17, 2}, {1, 1, -1}, {1, 1, 7}};
  for (const auto& a : arguments) EXPECT_FALSE(SendX10Code(handle, a[0], a[1], a[2], 50, clock_));
  EXPECT_TRUE(cm11_->Interface().Received().empty());
  EXPECT_EQ(clock_.NowNs(), 0);
  ircode::ClosePort(handle);
}

// Reply streams no fault describes, scripted byte for byte: a reply counts only when it is the
// first thing a poll reads and exactly the one expected byte.
TEST_F(X10Test, SendX10CodeTakesOnlyTheExactReplyOfEachStep) {
  using platform::sim::TimedReply;
  const Bytes onAttempt = {0x04, 0x66, 0x00, 0x06, 0x62, 0x00};
  struct Case {
    const char* name;
    std::vector<TimedReply> script;  // one reply per byte the host sends
    bool ok;
    Bytes received;
  };
  const TimedReply none{};
  const Case cases[] = {
      {"replies after the second byte of each pair",
       {none, {{0x6A}, 0}, {{0x55}, 0}, none, {{0x68}, 0}, {{0x55}, 0}}, true, onAttempt},
      // The checksum arrives while the second byte is still on the wire: it is read all the same.
      {"checksum after the first byte", {{{0x6A}, 0}, none, {{0x55}, 0}, none, {{0x68}, 0}, {{0x55}, 0}},
       true, onAttempt},
      {"checksum and ready together", {none, {{0x6A, 0x55}, 0}}, false, {0x04, 0x66, 0x04, 0x66}},
      // A poll where the checksum is due: answered with 0xC3, the upload read, and the attempt
      // made again without counting.
      {"a poll byte before the checksum",
       {none, {{0x5A}, 0}, {{0x02, 0x00, 0x66}, 0}, none, {{0x6A}, 0}, {{0x55}, 0}, none,
        {{0x68}, 0}, {{0x55}, 0}},
       true, {0x04, 0x66, 0xC3, 0x04, 0x66, 0x00, 0x06, 0x62, 0x00}},
      {"a foreign byte before the checksum", {none, {{0x5B}, 0}, none, {{0x6A}, 0}, {{0x55}, 0},
                                              none, {{0x68}, 0}, {{0x55}, 0}},
       true, {0x04, 0x66, 0x04, 0x66, 0x00, 0x06, 0x62, 0x00}},
      {"no ready after the function", {none, {{0x6A}, 0}, {{0x55}, 0}, none, {{0x68}, 0}}, false,
       {0x04, 0x66, 0x00, 0x06, 0x62, 0x00, 0x04, 0x66}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto scripted = platform::sim::InstallCm11Peer("x10-scripted", clock_);
    scripted->Interface().ScriptReplies(c.script);
    ScopedEnv com{"QVX_COM4", "sim:x10-scripted"};
    auto handle = ircode::OpenPort(4);
    ASSERT_GT(handle, 0);
    ASSERT_TRUE(ircode::SetPortMode(4800, 8, handle));
    EXPECT_EQ(SendX10Code(handle, 1, 1, kX10On, 50, clock_), c.ok);
    EXPECT_EQ(scripted->Interface().Received(), c.received);
    EXPECT_TRUE(scripted->Interface().Transmissions().empty());
    ircode::ClosePort(handle);
    platform::UnregisterSimPeer("x10-scripted");
  }
}

TEST_F(X10Test, OnOfTheFirstModuleSendsTheDocumentedBytesAtFourThousandEightHundredBaud) {
  EXPECT_EQ(Run("X10&Lamp", "On", kX10On), "X10-lamp On.");
  EXPECT_EQ(cm11_->Interface().Received(), (Bytes{0x04, 0x66, 0x00, 0x06, 0x62, 0x00}));
  EXPECT_EQ(cm11_->Interface().Transmissions(), (std::vector<X10Transmission>{{0x04, 0x66}, {0x06, 0x62}}));
  EXPECT_EQ(cm11_->Settings().baudRate, 4800u);
  EXPECT_EQ(cm11_->Settings().dataBits, 8);
  EXPECT_EQ(beeps_, (std::vector<std::string>{"5000/50", "2000/50"}));
  // The port stays open for the next command.
  EXPECT_TRUE(cm11_->IsOpen());
  EXPECT_GT(state_.port, 0);
}

TEST_F(X10Test, DimAndBrightAmountsAreSplitIntoStepsOfAtMostThirtyNinePercent) {
  struct Case {
    int function;
    int percent;
    std::vector<uint8_t> addressHeaders;
    const char* text;
  };
  const Case cases[] = {
      {kX10Dim, 50, {0x44, 0x14}, "X10-lamp Dim."},
      {kX10Dim, 33, {0x3C}, "X10-lamp Dim."},
      {kX10Dim, 39, {0x44}, "X10-lamp Dim."},
      {kX10Dim, 100, {0x44, 0x44, 0x24}, "X10-lamp Dim."},
      {kX10Bright, 40, {0x44, 0x04}, "X10-lamp Bri."},
      {kX10Bright, 0, {0x04}, "X10-lamp Bri."},
      // Amounts matter only to dim and brighten.
      {kX10Off, 100, {0x04}, "X10-lamp Off."},
  };
  const char* words[] = {"All-U-Off", "All-L-On", "On", "Off", "Dim", "Bri", "All-L-Off"};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.function) + " " + std::to_string(c.percent));
    cm11_->Interface().ClearRecord();
    EXPECT_EQ(Run("X10&Lamp", words[c.function], c.function, c.percent), c.text);
    std::vector<X10Transmission> expected;
    for (uint8_t header : c.addressHeaders) {
      expected.push_back({header, 0x66});
      expected.push_back({static_cast<uint8_t>(header + 2), static_cast<uint8_t>(0x60 + c.function)});
    }
    EXPECT_EQ(cm11_->Interface().Transmissions(), expected);
  }
}

TEST_F(X10Test, TheDocumentedDimExampleChecksumsMatch) {
  auto handle = ircode::OpenPort(kCm11Com);
  ASSERT_GT(handle, 0);
  EXPECT_TRUE(SendX10Code(handle, 1, 1, kX10Dim, 50, clock_));
  EXPECT_EQ(cm11_->Interface().Received(), (Bytes{0x5C, 0x66, 0x00, 0x5E, 0x64, 0x00}));
  ircode::ClosePort(handle);
}

TEST_F(X10Test, ADimStepThatFailsFailsTheCommandAlthoughTheLastStepArrived) {
  // Both attempts of the first 39 % step go unanswered; the later steps are answered.
  cm11_->Interface().InjectFault(Cm11Fault::Silent, 2);
  beeps_.clear();
  EXPECT_EQ(Run("X10&Lamp", "Dim", kX10Dim, 100), "Error sending X10 command!");
  EXPECT_EQ(cm11_->Interface().Transmissions().size(), 4u);
  EXPECT_EQ(beeps_, (std::vector<std::string>{"5000/50"}));
}

TEST_F(X10Test, ASilentInterfaceGivesTheErrorTextWithoutTheClosingBeep) {
  cm11_->Interface().SetFault(Cm11Fault::Silent);
  EXPECT_EQ(Run("X10&Lamp", "On", kX10On), "Error sending X10 command!");
  EXPECT_EQ(cm11_->Interface().Received(), (Bytes{0x04, 0x66, 0x04, 0x66}));
  EXPECT_EQ(beeps_, (std::vector<std::string>{"5000/50"}));
  EXPECT_EQ(clock_.NowNs(), 4'000'000'000);
}

TEST_F(X10Test, ModuleNamesMatchIgnoringCaseAndSurroundingBlanks) {
  struct Case {
    const char* device;
    const char* text;
    uint8_t address;  // 0 when nothing may be sent
  };
  const Case cases[] = {
      {"X10&Lamp", "X10-lamp On.", 0x66},
      {"x10&LAMP", "X10-lamp On.", 0x66},
      {"X10&  lamp  ", "X10-lamp On.", 0x66},
      {"X10&HEATER", "X10-heater On.", 0x6E},
      {"X10&porch light", "X10-porch light On.", 0xE2},
      {"X10&Porch", "Error sending X10 command!", 0},
      {"X10&NotInTheSection", "Error sending X10 command!", 0},
      {"X10&", "Error sending X10 command!", 0},
      {"X10", "Error sending X10 command!", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    cm11_->Interface().ClearRecord();
    EXPECT_EQ(Run(c.device, "On", kX10On), c.text);
    const auto sent = cm11_->Interface().Transmissions();
    if (c.address == 0) {
      EXPECT_TRUE(sent.empty());
    } else {
      ASSERT_EQ(sent.size(), 2u);
      EXPECT_EQ(sent[0].code, c.address);
    }
  }
}

TEST_F(X10Test, TheMainProgramSendsTheSelectedFunctionUnlessToldToReadTheWord) {
  EXPECT_EQ(Run("X10&Lamp", "On", kX10Off), "X10-lamp On.");
  EXPECT_EQ(cm11_->Interface().Transmissions().back(), (X10Transmission{0x06, 0x63}));

  X10Request request{"X10&Lamp", "all-l-on", Variant::MainProgram, kX10Off, 50, true, 0};
  EXPECT_EQ(ExecuteX10Command(state_, store_, request, clock_, Beeper()), "X10-lamp all-l-on.");
  EXPECT_EQ(cm11_->Interface().Transmissions().back(), (X10Transmission{0x06, 0x61}));

  // A command that names Dim moves the lamp by the fixed step, whatever DIMScroll says.
  request.command = "Dim";
  request.dimPercent = 100;
  EXPECT_EQ(ExecuteX10Command(state_, store_, request, clock_, Beeper()), "X10-lamp Dim.");
  EXPECT_EQ(cm11_->Interface().Transmissions().back(), (X10Transmission{0x3E, 0x64}));

  cm11_->Interface().ClearRecord();
  request.command = "Toggle";
  EXPECT_EQ(ExecuteX10Command(state_, store_, request, clock_, Beeper()), "Error sending X10 command!");
  request.functionFromWord = false;
  request.selectedFunction = 7;
  EXPECT_EQ(ExecuteX10Command(state_, store_, request, clock_, Beeper()), "Error sending X10 command!");
  EXPECT_TRUE(cm11_->Interface().Received().empty());
}

TEST_F(X10Test, GatewaysTakeTheFunctionFromTheWordWithAThirtyThreePercentAmount) {
  struct Case {
    const char* word;
    const char* text;
    std::vector<X10Transmission> sent;
  };
  const Case cases[] = {
      {"on", "X10-lamp on.", {{0x04, 0x66}, {0x06, 0x62}}},
      {"OFF", "X10-lamp OFF.", {{0x04, 0x66}, {0x06, 0x63}}},
      {"Dim", "X10-lamp Dim.", {{0x3C, 0x66}, {0x3E, 0x64}}},
      {"bri", "X10-lamp bri.", {{0x3C, 0x66}, {0x3E, 0x65}}},
      {"All-U-Off", "X10-lamp All-U-Off.", {{0x04, 0x66}, {0x06, 0x60}}},
      {"all-l-on", "X10-lamp all-l-on.", {{0x04, 0x66}, {0x06, 0x61}}},
      {"ALL-L-OFF", "X10-lamp ALL-L-OFF.", {{0x04, 0x66}, {0x06, 0x66}}},
      {"toggle", "Cannot open COM port for X10 interface (CM11/12)!", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    // A gateway starts with nothing and reads the [X10] section for every command.
    state_.names = BlankX10NameTable();
    cm11_->Interface().ClearRecord();
    EXPECT_EQ(RunGateway("X10&Lamp", c.word), c.text);
    EXPECT_EQ(cm11_->Interface().Transmissions(), c.sent);
  }
}

TEST_F(X10Test, DisabledX10TouchesNoPort) {
  store_.general.x10Ena = false;
  EXPECT_EQ(Run("X10&Lamp", "On", kX10On), "X10 is disabled!");
  EXPECT_FALSE(cm11_->IsOpen());
  EXPECT_EQ(state_.port, 0);
  EXPECT_TRUE(beeps_.empty());
}

TEST_F(X10Test, APortThatCannotBeOpenedIsTriedAgainOnTheNextCommand) {
  store_.general.x10Com = 5;
  ScopedEnv com5{"QVX_COM5", "sim:x10-absent"};
  EXPECT_EQ(Run("X10&Lamp", "On", kX10On), "Cannot open COM port for X10 interface (CM11/12)!");
  EXPECT_EQ(state_.port, -1);
  EXPECT_TRUE(beeps_.empty());

  auto late = platform::sim::InstallCm11Peer("x10-absent", clock_);
  EXPECT_EQ(Run("X10&Lamp", "On", kX10On), "X10-lamp On.");
  EXPECT_GT(state_.port, 0);
  EXPECT_EQ(late->Interface().Transmissions().size(), 2u);
  CloseX10Port(state_);
  EXPECT_FALSE(late->IsOpen());
  EXPECT_EQ(state_.port, 0);
  platform::UnregisterSimPeer("x10-absent");
}

TEST_F(X10Test, APortThatRefusesItsTimeoutsIsClosedAndReported) {
  cm11_->SetFailing(PeerOperation::GetTimeouts, true);
  EXPECT_EQ(Run("X10&Lamp", "On", kX10On), "Cannot open COM port for X10 interface (CM11/12)!");
  EXPECT_FALSE(cm11_->IsOpen());
  EXPECT_EQ(state_.port, -1);
  cm11_->SetFailing(PeerOperation::GetTimeouts, false);
  EXPECT_EQ(Run("X10&Lamp", "On", kX10On), "X10-lamp On.");
}

TEST_F(X10Test, DefaultPortSharesTheInfraredHandle) {
  store_.general.x10Com = 0;
  const auto irPort = ircode::OpenPort(kCm11Com);  // the interface hangs on the infrared port
  ASSERT_GT(irPort, 0);
  ASSERT_TRUE(ircode::SetPortMode(115200, 6, irPort));
  X10Request request{"X10&Lamp", "On", Variant::MainProgram, kX10On, 50, false, irPort};
  EXPECT_EQ(ExecuteX10Command(state_, store_, request, clock_, Beeper()), "X10-lamp On.");
  EXPECT_EQ(state_.port, platform::kPortClosed);  // the handle stays the infrared port's
  EXPECT_EQ(cm11_->Settings().baudRate, 4800u);
  EXPECT_EQ(cm11_->Settings().dataBits, 8);
  EXPECT_EQ(cm11_->Interface().Transmissions().size(), 2u);
  // Closing X10 leaves the shared infrared port alone.
  CloseX10Port(state_);
  EXPECT_TRUE(cm11_->IsOpen());

  // An infrared port that is not open fails the exchange, not the opening.
  request.irPort = platform::kPortClosed;
  EXPECT_EQ(ExecuteX10Command(state_, store_, request, clock_, Beeper()), "Error sending X10 command!");
  platform::ClosePort(irPort);
}

// X10 follows its port at once: from sharing the infrared port to a port of its own chosen in
// the dialog, and back when the infrared port is moved onto the X10 port. X10 never closes the
// infrared port.
TEST_F(X10Test, APortChangeTakesEffectAtOnceAndNeverClosesTheInfraredPort) {
  auto shared = platform::sim::InstallCm11Peer("x10-on-ir", clock_);
  ScopedEnv com1{"QVX_COM1", "sim:x10-on-ir"};
  test::TempDir dir;
  store_.path = dir / "pelgrin.cfg";
  store_.text = test::Crlf("[General]\nX10COM= 0\nX10ENA= 1\n\n[X10]\n# modules\n/X10/*a1,Lamp\n\n[End]\n");
  store_.general.x10Com = 0;
  const auto irPort = ircode::OpenPort(1);
  ASSERT_GT(irPort, 0);
  X10Request request{"X10&Lamp", "On", Variant::MainProgram, kX10On, 50, false, irPort};
  const auto send = [&] { return ExecuteX10Command(state_, store_, request, clock_, Beeper()); };

  EXPECT_EQ(send(), "X10-lamp On.");
  EXPECT_EQ(shared->Interface().Transmissions().size(), 2u);
  ASSERT_TRUE(SaveX10Config(store_, state_, state_.names, "COM3", false));
  EXPECT_EQ(send(), "X10-lamp On.");
  EXPECT_EQ(shared->Interface().Transmissions().size(), 2u);
  EXPECT_EQ(cm11_->Interface().Transmissions().size(), 2u);
  // Selecting an infrared device closes X10's own port, not the infrared one.
  CloseX10Port(state_);
  EXPECT_FALSE(cm11_->IsOpen());
  EXPECT_TRUE(shared->IsOpen());
  EXPECT_EQ(send(), "X10-lamp On.");
  EXPECT_EQ(cm11_->Interface().Transmissions().size(), 4u);

  // COM3 chosen as the infrared port: X10 lets go of it, and shares it from then on.
  YieldX10PortToInfrared(state_, store_.general.x10Com, "COM4");
  EXPECT_TRUE(cm11_->IsOpen());
  YieldX10PortToInfrared(state_, store_.general.x10Com, "COM3");
  EXPECT_FALSE(cm11_->IsOpen());
  platform::ClosePort(irPort);
  request.irPort = ircode::OpenPort(3);
  ASSERT_GT(request.irPort, 0);
  store_.general.x10Com = 0;
  EXPECT_EQ(send(), "X10-lamp On.");
  EXPECT_EQ(cm11_->Interface().Transmissions().size(), 6u);
  CloseX10Port(state_);
  EXPECT_TRUE(cm11_->IsOpen());
  platform::ClosePort(request.irPort);
  platform::UnregisterSimPeer("x10-on-ir");
}

// The interface asks for the PC of its own accord: polls while it holds powerline traffic,
// and 0xA5 after a power failure. Each request is served (0xC3 and the upload read; the clock
// set to the time of day) before, during and between the exchanges, and the command still
// goes out whole.
TEST_F(X10Test, TheInterfacesPollsAndPowerFailuresAreServed) {
  const Bytes upload = {0x03, 0x02, 0x66, 0x62};  // A1 On heard on the powerline
  const Bytes on = {0x04, 0x66, 0x00, 0x06, 0x62, 0x00};
  // Tuesday 5 March 2024, 13:47:09: seconds, minutes of the two-hour period, hours / 2, the day
  // of the year from 0, and the day mask with Sunday in bit 0.
  const Bytes clockSetting = {9, 47 + 60, 13 / 2, 64, 0x04, 0x00};
  Bytes setClock = {0x9B};
  setClock.insert(setClock.end(), clockSetting.begin(), clockSetting.end());
  setClock.push_back(0x00);
  const auto join = [](std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  const auto dimStep = [](uint8_t header) {
    return Bytes{header, 0x66, 0x00, static_cast<uint8_t>(header + 2), 0x64, 0x00};
  };
  struct Case {
    const char* name;
    std::function<void(platform::sim::Cm11Interface&)> script;
    int function;
    int dimPercent;
    Bytes received;
    std::size_t transmissions;
    std::size_t clockSettings;
  };
  const Case cases[] = {
      {"a poll before the command", [&](auto& cm11) { cm11.HoldData(upload); }, kX10On, 0,
       join({{0xC3}, on}), 2, 0},
      {"a power failure before the command", [](auto& cm11) { cm11.FailPower(); }, kX10On, 0,
       join({setClock, on}), 2, 1},
      // The interface starts asking on hearing the header: it ignores the address and never
      // answers its checksum.
      {"a poll during the address", [&](auto& cm11) { cm11.HoldData(upload, 1); }, kX10On, 0,
       join({{0x04, 0x66, 0xC3}, on}), 2, 0},
      {"a power failure during the function", [](auto& cm11) { cm11.FailPower(4); }, kX10On, 0,
       join({{0x04, 0x66, 0x00, 0x06, 0x62}, setClock, on}), 3, 1},
      {"a poll between the steps of a dim", [&](auto& cm11) { cm11.HoldData(upload, 6); }, kX10Dim,
       100, join({dimStep(0x44), {0xC3}, dimStep(0x44), dimStep(0x24)}), 6, 0},
      {"both, one after the other",
       [&](auto& cm11) {
         cm11.FailPower();
         cm11.HoldData(upload);
       },
       kX10On, 0, join({setClock, {0xC3}, on}), 2, 1},
  };
  ::setenv("TZ", "UTC", 1);
  tzset();
  const char* words[] = {"All-U-Off", "All-L-On", "On", "Off", "Dim", "Bri", "All-L-Off"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CloseX10Port(state_);
    // Each case starts on a whole second of the same time of day.
    clock_.AdvanceNs(1'000'000'000 - clock_.NowNs() % 1'000'000'000);
    clock_.SetCalendarStartS(1'709'646'429 - clock_.NowNs() / 1'000'000'000);  // 2024-03-05 13:47:09 UTC
    auto& cm11 = cm11_->Interface();
    cm11.ClearRecord();
    c.script(cm11);
    EXPECT_EQ(Run("X10&Lamp", words[c.function], c.function, c.dimPercent),
              std::string("X10-lamp ") + words[c.function] + ".");
    EXPECT_EQ(cm11.Received(), c.received);
    EXPECT_EQ(cm11.Transmissions().size(), c.transmissions);
    EXPECT_EQ(cm11.ClockSettings(), std::vector<Bytes>(c.clockSettings, clockSetting));
    EXPECT_FALSE(cm11.Asking());
  }
  ::unsetenv("TZ");
  tzset();
}

// An interface that never stops asking is served a few times, then the command fails in bounded
// time.
TEST_F(X10Test, AnInterfaceThatKeepsAskingFailsTheCommand) {
  for (int i = 0; i < 50; ++i) cm11_->Interface().HoldData({0x01, 0x00});
  EXPECT_EQ(Run("X10&Lamp", "On", kX10On), "Error sending X10 command!");
  EXPECT_TRUE(cm11_->Interface().Transmissions().empty());
  EXPECT_LT(clock_.NowNs(), 10'000'000'000);
}

TEST_F(X10Test, BeepsFollowBeepOn) {
  store_.general.beepOn = false;
  EXPECT_EQ(Run("X10&Lamp", "On", kX10On), "X10-lamp On.");
  EXPECT_TRUE(beeps_.empty());
}

TEST_F(X10Test, ResetWritesTheSetClockCommandWithoutAwaitingAReply) {
  EXPECT_EQ(ResetX10Interface(state_, kCm11Com, platform::kPortClosed), "CM11/12 interface reset OK.");
  EXPECT_EQ(cm11_->Interface().Received(), (Bytes{0x9B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07}));
  EXPECT_EQ(cm11_->Interface().ClockSettings(), (std::vector<Bytes>{{0x00, 0x00, 0x00, 0x00, 0x00, 0x07}}));
  EXPECT_EQ(cm11_->Settings().baudRate, 4800u);
  EXPECT_EQ(clock_.NowNs(), 0);
  EXPECT_GT(state_.port, 0);

  X10State other;
  ScopedEnv com6{"QVX_COM6", "sim:x10-absent"};
  EXPECT_EQ(ResetX10Interface(other, 6, platform::kPortClosed),
            "Cannot open COM port for X10 interface (CM11/12)!");
  EXPECT_EQ(other.port, -1);
}

}  // namespace
}  // namespace qvx::devices
