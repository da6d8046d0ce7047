// The phone remote end to end: the simulated phone on a pseudo-terminal, reached through the
// real termios code (or, where modem lines matter, behind a simulated port), monitoring's real
// dispatch and the executor, all on a virtual clock.
#include "qvx/bluetooth/phoneremote.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "platform/sim/cm11_peer.h"
#include "platform/sim/phone_peer.h"
#include "platform/sim/pty_bridge.h"
#include "platform/sim/virtual_clock.h"
#include "qvx/config/general.h"
#include "qvx/monitor/monitoring.h"
#include "tests/support/env.h"
#include "tests/support/fake_services.h"
#include "tests/support/support.h"
#include "tests/support/terminal.h"

namespace qvx::bluetooth {
namespace {

using platform::sim::PhoneAnswers;
using platform::sim::PhoneScriptLine;
using Events = std::vector<std::string>;

constexpr const char* kEvents =
    "BT0&5,X10&Lamp&On\n"
    "BT&CONNECTED,X10&Lamp&Off\n"
    "BT&FLIP OPEN,X10&Lamp&Bright\n"
    "BT0&6,X10&Lamp&On\nBT0&6,X10&Lamp&On\nBT0&6,X10&Lamp&On\nBT0&6,X10&Lamp&On\n"
    "BT0&6,Winamp&PLAY\n";

std::string Config(const std::map<std::string, std::string>& values) {
  return test::Crlf(test::GeneralSection(values, "0") + "\n[X10]\n# modules\n/X10/*a1,Lamp\n\n[Monitoring]\n# events\n" +
                    kEvents + "\n[End]\n");
}

// A virtual clock whose sleeps let the phone on the pseudo-terminal answer, while there is one.
class PhoneClock final : public platform::Clock {
 public:
  int64_t Counter() override { return time.Counter(); }
  int64_t Frequency() override { return time.Frequency(); }
  int64_t NowNs() override { return time.NowNs(); }
  void WaitUntilNs(int64_t ns) override { time.WaitUntilNs(ns); }
  void SleepMs(uint32_t ms) override {
    time.SleepMs(ms);
    if (bridge) bridge->Settle(time.NowNs());
  }
  bool RaisePriority() override { return true; }
  void RestorePriority() override {}

  platform::sim::VirtualClock time;
  platform::sim::PtyBridge* bridge = nullptr;
};

// Monitoring as the phone sees it, with every event it was handed recorded.
class RecordingInput final : public monitor::EventInput {
 public:
  explicit RecordingInput(monitor::Monitoring& monitoring) : monitoring_(monitoring) {}
  std::string ReceiveEvent(std::string_view event) override {
    events.emplace_back(event);
    return monitoring_.ReceiveEvent(event);
  }
  void ShowStatus(std::string_view text) override { monitoring_.ShowStatus(text); }
  bool MonitoringOn() const override { return monitoring_.MonitoringOn(); }
  Events events;

 private:
  monitor::Monitoring& monitoring_;
};

class PhoneRemoteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("QVX_AUDIO_DEVICE", "none", 1);
    store_.path = dir_.path() / "pelgrin.cfg";
    Load({});
    monitoring_.SetPhoneLink(remote_);
  }
  void TearDown() override {
    monitoring_.Stop();
    platform::UnregisterSimPeer("bt-phone");
  }
  void Load(std::map<std::string, std::string> values) {
    values.emplace("BTENA", "1");
    values.emplace("BTCOM", "5");
    values.emplace("X10ENA", "0");
    for (int n = 0; n < 10; ++n) values.emplace("BT" + std::to_string(n), "Room" + std::to_string(n));
    test::WriteFile(store_.path, Config(values));
    ASSERT_TRUE(LoadGeneral(store_).ok);
  }
  // The phone on a pseudo-terminal mapped to COM5.
  void OnPseudoTerminal() {
    bridge_ = std::make_unique<platform::sim::PtyBridge>(phone_);
    ASSERT_TRUE(bridge_->Ok());
    clock_.bridge = bridge_.get();
    port_.emplace("QVX_COM5", bridge_->PortPath());
  }
  // The phone behind a simulated port with modem lines, mapped to COM5.
  platform::sim::PhonePeer& BehindSimulatedPort() {
    peer_ = platform::sim::InstallPhonePeer("bt-phone", clock_);
    port_.emplace("QVX_COM5", "sim:bt-phone");
    return *peer_;
  }
  platform::sim::PhoneInterface& Phone() { return peer_ ? peer_->Phone() : phone_; }
  // Runs BTMonTimer for `ms` of virtual time.
  void RunTicks(int ms) {
    const int64_t endNs = clock_.NowNs() + int64_t{ms} * 1'000'000;
    while (clock_.NowNs() < endNs) {
      if (remote_.Controls().btMonTimer) remote_.BTMonTick();
      clock_.SleepMs(kBtMonTimerIntervalMs);
    }
  }
  std::string FileValue(const std::string& key) {
    const std::string text = test::ReadFile(store_.path);
    const std::size_t at = text.find(key + "= ") + key.size() + 2;
    return text.substr(at, text.find('\r', at) - at);
  }
  bool Displayed(const std::string& text) {
    const auto shown = Phone().Displayed();
    return std::find(shown.begin(), shown.end(), text) != shown.end();
  }
  bool Sent(const std::string& command) {
    const auto commands = Phone().Commands();
    return std::find(commands.begin(), commands.end(), command) != commands.end();
  }
  bool StatusShown(const std::string& text) {
    return std::find(prompter_.statuses.begin(), prompter_.statuses.end(), text) !=
           prompter_.statuses.end();
  }

  test::TempDir dir_;
  PhoneClock clock_;
  platform::sim::PhoneInterface phone_;
  std::unique_ptr<platform::sim::PtyBridge> bridge_;
  std::shared_ptr<platform::sim::PhonePeer> peer_;
  std::optional<test::ScopedEnv> port_;
  ConfigStore store_;
  test::FakeServices fakes_;
  monitor::ExecutorContext executor_{
      store_, Variant::MainProgram,
      {clock_, fakes_.input, fakes_.programs, fakes_.media, fakes_.player}};
  test::ScriptedPrompter prompter_;
  monitor::Monitoring monitoring_{executor_, prompter_, {.rememberState = false}};
  RecordingInput input_{monitoring_};
  PhoneRemote remote_{store_, input_, clock_};
};

TEST(PhoneTables, ModelsKeysAndReports) {
  const std::pair<const char*, const char*> models[] = {
      {"\r\nT39m\r\nOK\r\n", "Ericsson T39m"}, {"t39", "Ericsson T39"},
      {"AAB T68i R1", "Ericsson T68i"},        {"T68", "Ericsson T68"},
      {"R520m", "Ericsson R520"},              {"Nokia 6310", "Unknown"},
  };
  for (const auto& [reply, model] : models) EXPECT_EQ(PhoneModel(reply), model) << reply;

  const std::pair<const char*, std::optional<std::string>> keys[] = {
      {"l,0", "FLIP OPEN"}, {"L,1", "FLIP CLOSED"}, {"u,1", "UP"},  {"D,1", "DOWN"},
      {"s,1", "YES"},       {"e,1", "NO"},          {"c,1", "C"},   {"<,1", "LEFT"},
      {">,1", "RIGHT"},     {"5,1", "5"},           {"#,1", "#"},   {"a,1", "a"},
      {"5,0", std::nullopt}, {"*,1", std::nullopt}, {"u,0", std::nullopt},
      {"K\r\n", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& [report, name] : keys) EXPECT_EQ(KeyEventName(report), name) << report;

  EXPECT_EQ(KeyReport("+CKEV: 5,1\r\n"), "5,1");
  EXPECT_EQ(KeyReport("\r\nOK\r\n+ckev: u,1\r\n"), "u,1");
  EXPECT_EQ(KeyReport(": 7,1\r\n"), " 7,");
  EXPECT_EQ(KeyReport("+CKEV"), "");
}

// A silent or babbling phone gives up at the first command after about a second, with the port
// closed and BT&DISCONNECTED fired once.
TEST_F(PhoneRemoteTest, APhoneThatDoesNotAnswerIsUnavailable) {
  OnPseudoTerminal();
  for (const PhoneAnswers answers : {PhoneAnswers::Silent, PhoneAnswers::Garbage}) {
    Phone().SetAnswers(answers);
    const int64_t startNs = clock_.NowNs();
    EXPECT_FALSE(remote_.StartPhoneLink());
    const int64_t tookMs = (clock_.NowNs() - startNs) / 1'000'000;
    EXPECT_GE(tookMs, 800);
    EXPECT_LE(tookMs, 1100);
    EXPECT_EQ(prompter_.statuses.back(), "Bluetoth unavailable!");
    EXPECT_EQ(remote_.PortHandle(), platform::kPortClosed);
    EXPECT_FALSE(remote_.Controls().btMonTimer);
    EXPECT_EQ(remote_.Controls().recCmdColour, kDisconnectedColour);
  }
  EXPECT_EQ(Phone().Commands(), (std::vector<std::string>{"ATZ", "ATZ"}));
  EXPECT_EQ(input_.events, Events{"BT&DISCONNECTED"});
}

TEST_F(PhoneRemoteTest, StartRunsTheDialogueInOrder) {
  OnPseudoTerminal();
  Load({{"BTCURRENT", "2"}});
  monitoring_.Start();
  EXPECT_TRUE(remote_.Connected());
  clock_.SleepMs(kWaitSliceMs);  // the phone takes in the echo
  EXPECT_EQ(Phone().Commands(),
            (std::vector<std::string>{"ATZ", "AT+CGMM", "AT+CSCS=\"8859-1\"",
                                      "AT*EAM=\"Zarvel Manager\"", "AT+CMER=0,0,0,0",
                                      "AT*EAID=1,2,\"Welcome to Orrin's Zarvel Manager\"",
                                      "AT*EAID=1,2,\"Current device is Room2\"",
                                      "AT+CMER=3,2,0,0",
                                      // the echo of the connection's actions
                                      "AT*EAID=1,2,\"X10 is disabled!\""}));
  EXPECT_TRUE(Phone().KeyReporting());
  EXPECT_EQ(input_.events, Events{"BT&CONNECTED"});
  EXPECT_EQ(monitoring_.Controls().execCmd, "X10&Lamp&Off;");
  EXPECT_TRUE(StatusShown("Ericsson T68i is now connected."));
  EXPECT_EQ(remote_.Controls().recCmdColour, kConnectedColour);
  EXPECT_EQ(remote_.Controls().startupLabel, "");
  EXPECT_TRUE(remote_.Controls().btMonTimer);
  EXPECT_EQ(monitoring_.Controls().icon, "qvxbtmon.ico");
}

// Key scripts played once key reporting is on, through the pseudo-terminal; each runs twice,
// the second time with a window pump that enters the phone tick again from every reply wait.
TEST_F(PhoneRemoteTest, KeyReportsBecomeEventsOrSelectOrSwitchOff) {
  struct Case {
    const char* name;
    std::vector<PhoneScriptLine> script;
    Events events;             // after BT&CONNECTED
    std::string btCurrent;     // in the file afterwards
    std::vector<std::string> shown;  // texts the phone displayed, among others
  };
  // Five outputs: the accumulated result outgrows one port write and is shown cut.
  std::string fiveResults;
  for (int n = 0; n < 4; ++n) fiveResults += "X10 is disabled!;";
  fiveResults += "Winamp is disabled!";
  const Case cases[] = {
      {"a key", {{100, "+CKEV: 5,1"}, {300, "+CKEV: 5,0"}}, {"BT0&5"}, "0", {"X10 is disabled!"}},
      {"a key with a long result", {{100, "+CKEV: 6,1"}}, {"BT0&6"}, "0",
       {fiveResults.substr(0, 84)}},
      {"a report split over two reads",
       {{100, "+CKEV: 5", false}, {150, ",1"}, {300, "+CKEV: 5,0"}}, {"BT0&5"}, "0", {}},
      {"star and 3 select device 3",
       {{100, "+CKEV: *,1"}, {400, "+CKEV: 3,1"}, {700, "+CKEV: 3,0"}, {900, "+CKEV: *,0"},
        {1500, "+CKEV: 5,1"}},
       {"BT3&5"}, "3", {"Room0", "Selected device is Room3"}},
      {"star and # switch the remote off",
       {{100, "+CKEV: *,1"}, {400, "+CKEV: #,1"}}, {}, "0",
       {"Zarvel Remote Disabled"}},
      {"the flip, also under the star",
       {{100, "+CKEV: *,1"}, {400, "+CKEV: l,0"}, {700, "+CKEV: *,0"}}, {"BT&FLIP OPEN"}, "0",
       {}},
      {"lines that are no key reports", {{100, "RING"}, {300, "+CKEV: 5"}, {500, "ERROR"}}, {},
       "0", {}},
      // Reports that pile up while the timers are held arrive in one read, each a key.
      {"keys in one read", {{100, "+CKEV: 5,1"}, {100, "+CKEV: 5,0"}, {100, "+CKEV: 7,1"}},
       {"BT0&5", "BT0&7"}, "0", {}},
      {"star and 3 in one read",
       {{100, "+CKEV: *,1"}, {100, "+CKEV: 3,1"}, {100, "+CKEV: 3,0"}, {100, "+CKEV: *,0"},
        {100, "+CKEV: 5,1"}},
       {"BT3&5"}, "3", {"Room0", "Selected device is Room3"}},
      // Keys without events, so that no echo of a result comes between the two parts.
      {"a read that ends inside a report",
       {{100, "+CKEV: 8,1\r\n+CKEV: 9", false}, {150, ",1"}}, {"BT0&8", "BT0&9"}, "0", {}},
  };
  OnPseudoTerminal();
  for (const bool reentered : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (reentered ? ", re-entered" : ""));
      Load({});
      Phone().SetScript(c.script);
      remote_.SetEventPump(nullptr);
      ASSERT_TRUE(remote_.StartPhoneLink());
      if (reentered) {
        // Timers that fell due while time passed run before the wait reads again.
        remote_.SetEventPump([&] {
          clock_.SleepMs(kWaitSliceMs);
          if (clock_.NowNs() / 1'000'000 % kSecondTimerIntervalMs < kWaitSliceMs)
            remote_.SecondTick();
          remote_.BTMonTick();
          remote_.BTAutoTick();
        });
      }
      input_.events.clear();
      RunTicks(4000);
      EXPECT_EQ(input_.events, c.events);
      EXPECT_EQ(FileValue("BTCURRENT"), c.btCurrent);
      for (const std::string& text : c.shown) EXPECT_TRUE(Displayed(text)) << text;
      EXPECT_TRUE(remote_.Connected());
      EXPECT_EQ(remote_.ShiftState(), "");
      remote_.Stop();
    }
  }
  EXPECT_TRUE(Sent("AT*EAID=0"));
  EXPECT_TRUE(Sent("AT+CMER =0,0,0,0"));
}

// The start entered again from its own reply waits (the menu's Start while the phone answers)
// leaves the dialogue under way alone.
TEST_F(PhoneRemoteTest, TheStartIsNotEnteredAgainFromItsReplyWaits) {
  OnPseudoTerminal();
  int entered = 0;
  remote_.SetEventPump([&] {
    clock_.SleepMs(kWaitSliceMs);
    if (clock_.NowNs() / 1'000'000 % kSecondTimerIntervalMs < kWaitSliceMs) remote_.SecondTick();
    ++entered;
    EXPECT_FALSE(remote_.StartPhoneLink());
  });
  EXPECT_TRUE(remote_.StartPhoneLink());
  EXPECT_GT(entered, 0);
  const auto commands = Phone().Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "ATZ"), 1);
  EXPECT_EQ(input_.events, Events{"BT&CONNECTED"});
}

// The connection event may switch X10 modules: their names are loaded before the phone connects.
TEST_F(PhoneRemoteTest, TheConnectionEventReachesX10Modules) {
  OnPseudoTerminal();
  auto cm11 = platform::sim::InstallCm11Peer("bt-cm11", clock_);
  test::ScopedEnv com6{"QVX_COM6", "sim:bt-cm11"};
  Load({{"X10ENA", "1"}, {"X10COM", "6"}});
  monitoring_.Start();
  EXPECT_TRUE(StatusShown("X10-lamp Off.")) << prompter_.statuses.back();
  EXPECT_EQ(cm11->Interface().Transmissions(),
            (std::vector<platform::sim::X10Transmission>{{0x04, 0x66}, {0x06, 0x63}}));
  monitoring_.Stop();
  devices::CloseX10Port(executor_.x10);
  platform::UnregisterSimPeer("bt-cm11");
}

// Choosing the menu entry after the remote was switched off turns key reporting on again.
TEST_F(PhoneRemoteTest, TheMenuEntryTurnsTheRemoteOnAgain) {
  OnPseudoTerminal();
  Phone().SetScript({{100, "+CKEV: *,1"}, {400, "+CKEV: #,1"}});
  ASSERT_TRUE(remote_.StartPhoneLink());
  RunTicks(3000);
  EXPECT_FALSE(Phone().KeyReporting());
  Phone().Send("*EAAI");
  RunTicks(500);
  EXPECT_TRUE(Phone().KeyReporting());
  EXPECT_TRUE(Sent("AT+CMER =3,2,0,0"));
  EXPECT_TRUE(remote_.Connected());
}

// A pseudo-terminal has no CTS; the link holds until the far end goes away.
TEST_F(PhoneRemoteTest, OnAPseudoTerminalTheLinkIsLostWhenTheFarEndGoes) {
  OnPseudoTerminal();
  ASSERT_TRUE(remote_.StartPhoneLink());
  RunTicks(1000);
  EXPECT_TRUE(remote_.Connected());
  clock_.bridge = nullptr;
  bridge_.reset();
  RunTicks(500);
  EXPECT_FALSE(remote_.Connected());
  EXPECT_EQ(prompter_.statuses.back(), "BT disconnected!");
  EXPECT_EQ(input_.events, (Events{"BT&CONNECTED", "BT&DISCONNECTED"}));
}

// Out of range CTS drops: one BT&DISCONNECTED; in Auto mode the link comes back once the phone
// is in range again, with one BT&CONNECTED; in Manual mode it stays down.
TEST_F(PhoneRemoteTest, LosingCtsAndReconnectingInAutoMode) {
  auto& peer = BehindSimulatedPort();
  monitoring_.Start();
  ASSERT_TRUE(remote_.Connected());
  peer.SetInRange(false);
  RunTicks(500);
  EXPECT_FALSE(remote_.Connected());
  EXPECT_TRUE(StatusShown("BT disconnected!"));
  EXPECT_EQ(remote_.Controls().recCmdColour, kDisconnectedColour);

  for (int tick = 0; tick < 2; ++tick) remote_.BTAutoTick();  // out of range: no answer
  EXPECT_EQ(prompter_.statuses.back(), "Bluetoth unavailable!");
  EXPECT_EQ(input_.events, (Events{"BT&CONNECTED", "BT&DISCONNECTED"}));

  Load({{"BTMODE", "1"}});
  peer.SetInRange(true);
  remote_.BTAutoTick();
  EXPECT_FALSE(remote_.Connected());

  Load({{"BTMODE", "0"}});
  remote_.BTAutoTick();
  EXPECT_TRUE(remote_.Connected());
  remote_.BTAutoTick();
  EXPECT_EQ(input_.events, (Events{"BT&CONNECTED", "BT&DISCONNECTED", "BT&CONNECTED"}));
}

// A star held while a text is shown is waited for no longer than a reply.
TEST_F(PhoneRemoteTest, AHeldStarDoesNotHoldTheDisplayForever) {
  auto& peer = BehindSimulatedPort();
  ASSERT_TRUE(remote_.StartPhoneLink());
  peer.Send("+CKEV: *,1");
  const int64_t startNs = clock_.NowNs();
  EXPECT_FALSE(remote_.ShowOnPhone("Room4").empty());
  EXPECT_LE((clock_.NowNs() - startNs) / 1'000'000, 1200);
  EXPECT_FALSE(Displayed("Zarvel Manager"));

  peer.Send("+CKEV: *,1");
  peer.Send("+CKEV: *,0", 300);
  remote_.ShowOnPhone("Room4");
  EXPECT_TRUE(Displayed("Zarvel Manager"));
}

}  // namespace
}  // namespace qvx::bluetooth
