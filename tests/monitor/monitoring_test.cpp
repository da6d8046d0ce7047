// Monitoring on a simulated receiver: presses of remotes with public timings are sampled by the
// real Pulsio code on a virtual clock, decoded, named and dispatched through the event table to
// the executor.
#include "qvx/monitor/monitoring.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <stdexcept>

#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "pulsio/pulsio.h"
#include "qvx/config/devices.h"
#include "qvx/config/general.h"
#include "qvx/monitor/watchdecode.h"
#include "qvx/ircode/sim/realremotes.h"
#include "qvx/ircode/sim/remotescenarios.h"
#include "qvx/ircode/sim/remotesim.h"
#include "qvx/ircode/port/serialport.h"
#include "tests/support/fake_services.h"
#include "tests/support/support.h"

namespace qvx::monitor {
namespace {

using ircode::sim::Light;
using platform::sim::DcdPolarity;
using platform::sim::LightMark;
using platform::sim::ReceiverWiring;

const std::string kTvPower = ircode::sim::NecBits(0x04, 0x08);
const std::string kTvVolDown = ircode::sim::NecBits(0x04, 0x09);
const std::string kVcrPlay = ircode::sim::SonyBits(0x1A, 0x01, 5);
const std::string kAmpVolUp = ircode::sim::Rc5Bits(false, 0x10, 0x10);

// A recorded RC5 remote whose marks come out 300 us longer than its spaces: a window that cuts
// its first mark short reads its one frame only where the cut is given back.
const ircode::sim::RecordedRemote& LopsidedRc5Remote() {
  for (const ircode::sim::RecordedRemote& remote : ircode::sim::RecordedRemotes()) {
    if (remote.source == "philips/RC-5.lircd.conf") return remote;
  }
  throw std::logic_error("the table lost philips/RC-5.lircd.conf");
}
// Its third key: Vol- of the amplifier's address.
const std::string kAmpVolDown =
    ircode::sim::ExpectedCode(LopsidedRc5Remote(), LopsidedRc5Remote().codes[2]);

std::string Config(const std::map<std::string, std::string>& values, const std::string& events) {
  return test::Crlf(test::GeneralSection(values, "0") +
                    "\n[TV]\n# NEC\nGPROTO= 0\nSENDPLS= 560\nREPEAT= 0\n"
                    "BITG= 111111111111111100000000\nBIT0= 10\nBIT1= 1000\nGREPEAT= 1\n"
                    "G" + kTvPower + ",Power\nG" + kTvVolDown + ",Vol-\n"
                    "\n[VCR]\n# SONY\nGPROTO= 1\nSENDPLS= 600\nREPEAT= 40\nBITG= 1111\n"
                    "BIT0= 01\nBIT1= 011\nGREPEAT= 40\nG" + kVcrPlay + ",Play\n"
                    "\n[Amp]\n# RC5\nGPROTO= 2\nSENDPLS= 889\nREPEAT= 150\nBITG= 0\n"
                    "BIT0= 10\nBIT1= 01\nGREPEAT= 0\nG11010000001100,Standby\n"
                    "G" + kAmpVolUp + ",Vol+\n" + kAmpVolDown + ",Vol-\n"
                    "\n[X10]\n# modules\n/X10/*a1,Lamp\n"
                    "\n[Monitoring]\n# events\n" + events + "\n[End]\n");
}

const char* kEventTable =
    "TV&Power,Winamp&PLAY\n"
    "XTV&Power,X10&Lamp&On\n"
    "TV&Power,Amp&Standby\n"
    "VCR&Play,resend\n"
    "Amp&Vol+,Winamp&VOLUP\n";

// The marks of a remote's light as a receiver passes them on (stretched a little).
std::vector<LightMark> ReceivedLight(const Light& light, std::mt19937& rng) {
  std::vector<LightMark> marks;
  double atUs = 0;
  for (std::size_t i = 0; i < light.durationsUs.size(); ++i) {
    const double endUs = atUs + light.durationsUs[i];
    if (i % 2 == 0)
      marks.push_back({static_cast<int64_t>(atUs * 1000), static_cast<int64_t>(endUs * 1000)});
    atUs = endUs;
  }
  return platform::sim::DistortLight(marks, {40, 80, 2}, rng);
}

// A press of a NEC remote that repeats its whole frame every 108 ms instead of repeat codes.
Light NecFramesPress(const std::string& bits, int frames) {
  const Light frame = ircode::sim::NecPress(bits, 0);
  Light light;
  for (int i = 0; i < frames; ++i) {
    ircode::sim::PadTo(light, i * 108'000.0);
    for (std::size_t k = 0; k < frame.durationsUs.size(); ++k)
      ircode::sim::AppendLevel(light, k % 2 == 0, frame.durationsUs[k]);
  }
  return light;
}

// A phone link that records what monitoring asks of it.
class RecordingPhone final : public PhoneLink {
 public:
  void Start() override { calls.push_back("start"); }
  void Stop() override { calls.push_back("stop"); }
  bool Connected() const override { return connected; }
  void Write(std::string_view command) override { written.emplace_back(command); }
  std::vector<std::string> calls;
  std::vector<std::string> written;
  bool connected = true;
};

class Monitor : public ::testing::Test {
 protected:
  void SetUp() override {
    // One sample: a line read of 5 us and PROCDELAY 50 us, as a calibrated machine takes it.
    clock_.SetCounterReadCostNs(250);
    clock_.SetLineReadCostNs(5000);
    ::setenv("QVX_AUDIO_DEVICE", "none", 1);
    ::unsetenv("DISPLAY");
    ::setenv("QVX_COM1", "sim:mon-ir", 1);
    peer_ = platform::sim::InstallWiredIrPeer("mon-ir", clock_, ReceiverWiring::DcdStandard);
    store_.path = dir_ / "pelgrin.cfg";
    Load({}, kEventTable);
  }
  void TearDown() override {
    SetHandle(0);
    ircode::ClosePort(executor_.irPort);
    platform::UnregisterSimPeer("mon-ir");
  }
  void Load(std::map<std::string, std::string> values, const std::string& events) {
    values.emplace("COMPORT", "1");
    values.emplace("PROCDELAY", "50");
    values.emplace("IRINENA", "1");
    values.emplace("IROUTENA", "1");
    values.emplace("WINAMPPATH", "none");
    test::WriteFile(store_.path, Config(values, events));
    ASSERT_TRUE(LoadGeneral(store_).ok);
    if (executor_.irPort > 0) return;
    executor_.irPort = ircode::OpenPort(1);
    ASSERT_GT(executor_.irPort, 0);
    ircode::SetPortTimeouts(executor_.irPort);
    SetHandle(executor_.irPort);
  }
  // Stops monitoring and starts it again with a receiver of the type, wired as it is.
  void RestartWith(int receiverType) {
    monitoring_.Stop();
    store_.general.receiverType = static_cast<std::int16_t>(receiverType);
    peer_->SetWiring(receiverType == 1 ? ReceiverWiring::IrMouse : ReceiverWiring::DcdStandard);
    monitoring_.Start();
  }
  // The remote shines from `delayUs` on; at once, the next tick opens its window on the first
  // light.
  void Press(const Light& light, int64_t delayUs = 0) {
    peer_->PlayMarks(ReceivedLight(light, rng_), delayUs);
  }
  // Plays presses starting at the given milliseconds (and `laterUs`) after 10 ms from now, then
  // ticks as a headless monitor does until `forMs` have passed; returns the events fired.
  std::vector<std::string> PlayAndTick(const std::vector<std::pair<int, Light>>& presses, int forMs,
                                       int laterUs = 0) {
    std::vector<LightMark> marks;
    for (const auto& [atMs, light] : presses) {
      for (LightMark mark : ReceivedLight(light, rng_)) {
        mark.startNs += atMs * 1'000'000LL;
        mark.endNs += atMs * 1'000'000LL;
        marks.push_back(mark);
      }
    }
    const int64_t startNs = clock_.NowNs();
    // The line is watched dark for a while first, as it is between presses.
    peer_->PlayMarks(marks, presses.front().first * 1000LL + 10'000 + laterUs);
    std::vector<std::string> fired;
    while (clock_.NowNs() - startNs < forMs * 1'000'000LL) {
      if (const auto received = monitoring_.Tick()) {
        fired.push_back(received->recCmd);
      } else {
        monitoring_.AwaitInput(100'000);
      }
    }
    return fired;
  }
  std::string FileValue(const std::string& key) {
    const std::string text = test::ReadFile(store_.path);
    const std::size_t at = text.find(key + "= ") + key.size() + 2;
    return text.substr(at, text.find('\r', at) - at);
  }

  test::TempDir dir_;
  platform::sim::VirtualClock clock_;
  platform::ScopedClock scoped_{clock_};
  std::shared_ptr<platform::sim::IrPeer> peer_;
  ConfigStore store_;
  test::FakeServices fakes_;
  ExecutorContext executor_{store_, Variant::MainProgram,
                            {clock_, fakes_.input, fakes_.programs, fakes_.media, fakes_.player}};
  test::ScriptedPrompter prompter_;
  Monitoring monitoring_{executor_, prompter_};
  std::mt19937 rng_{7};
};

TEST_F(Monitor, PressesFoundInTheConfigurationRunTheirEventLines) {
  struct Case {
    const char* name;
    int receiverType;
    Light light;
    std::string recCmd, execCmd, status;
  };
  const std::string threeLines = "Winamp&PLAY;X10&Lamp&On;Amp&Standby;";
  const std::string threeStatuses = "Winamp is disabled!;X10 is disabled!;Amp Standby executed.";
  const Case cases[] = {
      // Three lines in file order; the second one matches as a substring (XTV&Power).
      {"NEC", 0, ircode::sim::NecPress(kTvPower, 2), "TV&Power", threeLines, threeStatuses},
      // An output without "&" runs the received device and command.
      {"SONY", 0, ircode::sim::SonyPress(kVcrPlay, 3), "VCR&Play", "resend;", "VCR Play executed."},
      {"RC5 toggle 0", 0, ircode::sim::Rc5Press(kAmpVolUp, 2), "Amp&Vol+", "Winamp&VOLUP;",
       "Winamp is disabled!"},
      {"RC5 toggle 1", 0, ircode::sim::Rc5Press(ircode::sim::Rc5Bits(true, 0x10, 0x10), 2),
       "Amp&Vol+", "Winamp&VOLUP;", "Winamp is disabled!"},
      {"not stored", 0, ircode::sim::NecPress(ircode::sim::NecBits(0x55, 0x01), 2), "UNKNOWN",
       "none", "Command received"},
      {"no event line", 0, ircode::sim::NecPress(kTvVolDown, 1), "TV&Vol-", "none",
       "Command received"},
      {"IR Mouse", 1, ircode::sim::SonyPress(kVcrPlay, 3), "VCR&Play", "resend;",
       "VCR Play executed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RestartWith(c.receiverType);
    // The IR mouse samples while dark, so its window opens before the press.
    Press(c.light, c.receiverType == 1 ? 10'000 : 0);
    const int64_t beforeNs = clock_.NowNs();
    const auto received = monitoring_.Tick();
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->recCmd, c.recCmd);
    EXPECT_EQ(received->execCmd, c.execCmd);
    EXPECT_EQ(received->status, c.status);
    EXPECT_EQ(prompter_.statuses.back(), c.status);
    EXPECT_EQ(monitoring_.Controls().recCmd, c.recCmd);
    EXPECT_EQ(monitoring_.Controls().execCmd, c.execCmd);
    EXPECT_FALSE(monitoring_.Controls().plen1.empty());
    // The 220 ms window, then the 300 ms pause.
    EXPECT_GE(clock_.NowNs() - beforeNs, 520'000'000);
  }
}

TEST_F(Monitor, TheGateSamplesTheStandardReceiverOnlyInLightAndTheIrMouseOnlyInTheDark) {
  struct Case {
    const char* name;
    int receiverType;
    bool light;     // the remote shines as the tick begins
    bool sampled;   // the tick took a watch window
    bool received;  // and named a command
  };
  const Case cases[] = {
      // An idle standard receiver holds DCD active: the tick ends after one read.
      {"standard, idle", 0, false, false, false},
      {"standard, light", 0, true, true, true},
      // The IR mouse turns DCD active for light: it samples while idle.
      {"IR mouse, idle", 1, false, true, false},
      {"IR mouse, light", 1, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RestartWith(c.receiverType);
    clock_.AdvanceNs(1'000'000'000);
    // A key without event lines: nothing is sent, so only the window raises the priority.
    if (c.light) Press(ircode::sim::NecPress(kTvVolDown, 1));
    const int64_t reads = clock_.LineReads();
    const int64_t raises = clock_.PriorityRaises();
    const auto received = monitoring_.Tick();
    EXPECT_EQ(received.has_value(), c.received);
    EXPECT_EQ(clock_.LineReads() - reads, c.sampled ? 1 + 4000 : 1);
    // The priority is raised for the window only, never for a tick that ends at once.
    EXPECT_EQ(clock_.PriorityRaises() - raises, c.sampled ? 1 : 0);
    EXPECT_FALSE(clock_.PriorityRaised());
    peer_->PlayMarks({});
  }
}

TEST_F(Monitor, TicksWithoutACommandEndSilently) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    bool linesRead = false;
  };
  const Case cases[] = {
      {"idle receiver", [] {}, true},
      {"infrared input off", [this] {
         store_.general.irInEna = false;
         Press(ircode::sim::SonyPress(kVcrPlay, 3));
       }},
      {"port closed", [this] {
         executor_.irPort = 0;
         Press(ircode::sim::SonyPress(kVcrPlay, 3));
       }},
      {"IR Man receiver", [this] {
         store_.general.receiverType = 2;
         Press(ircode::sim::SonyPress(kVcrPlay, 3));
       }},
      {"FirM receiver", [this] {
         store_.general.receiverType = 4;
         Press(ircode::sim::SonyPress(kVcrPlay, 3));
       }},
  };
  monitoring_.Start();
  const ircode::PortHandle port = executor_.irPort;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    prompter_.statuses.clear();
    const int64_t reads = clock_.LineReads();
    EXPECT_FALSE(monitoring_.Tick().has_value());
    EXPECT_EQ(clock_.LineReads() > reads, c.linesRead);
    EXPECT_TRUE(prompter_.statuses.empty());
    EXPECT_EQ(monitoring_.Controls().recCmd, "");
    store_.general.irInEna = true;
    store_.general.receiverType = 0;
    executor_.irPort = port;
    clock_.AdvanceNs(1'000'000'000);
  }
}

// A remote keeps sending while its key is down. A tap fires once, even the longer taps of
// remotes that send for half a second or more; a held key repeats once it has been held for
// kRepeatDelayMs, at the rhythm of window and pause; RC5's toggle bit tells a new press.
TEST_F(Monitor, ATapFiresOnceAndAHeldKeyRepeats) {
  using ircode::sim::NecPress;
  using ircode::sim::Rc5Press;
  using ircode::sim::SonyPress;
  const std::string ampVolUpToggled = ircode::sim::Rc5Bits(true, 0x10, 0x10);
  struct Case {
    const char* name;
    std::vector<std::pair<int, Light>> presses;  // start in ms, light
    std::size_t fired;
    std::string event = "TV&Power";
  };
  const Case cases[] = {
      {"NEC tap", {{0, NecPress(kTvPower, 0)}}, 1},
      {"NEC tap with a repeat code", {{0, NecPress(kTvPower, 1)}}, 1},
      // A frame and 18 repeat codes: 2 s held, repeats at about 1.1 and 1.7 s.
      {"NEC held", {{0, NecPress(kTvPower, 18)}}, 3},
      {"NEC tapped twice", {{0, NecPress(kTvPower, 1)}, {650, NecPress(kTvPower, 1)}}, 2},
      {"NEC repeating its frame for 650 ms", {{0, NecFramesPress(kTvPower, 6)}}, 1},
      {"NEC repeating its frame, held", {{0, NecFramesPress(kTvPower, 19)}}, 3},
      {"SONY tap", {{0, SonyPress(kVcrPlay, 3)}}, 1, "VCR&Play"},
      {"SONY press of 450 ms", {{0, SonyPress(kVcrPlay, 10)}}, 1, "VCR&Play"},
      {"SONY held", {{0, SonyPress(kVcrPlay, 44)}}, 3, "VCR&Play"},
      {"SONY tapped twice", {{0, SonyPress(kVcrPlay, 3)}, {650, SonyPress(kVcrPlay, 3)}}, 2, "VCR&Play"},
      {"RC5 tap", {{0, Rc5Press(kAmpVolUp, 1)}}, 1, "Amp&Vol+"},
      {"RC5 press of 700 ms", {{0, Rc5Press(kAmpVolUp, 7)}}, 1, "Amp&Vol+"},
      {"RC5 held", {{0, Rc5Press(kAmpVolUp, 18)}}, 3, "Amp&Vol+"},
      // A new press within the held rhythm: the toggle bit has changed.
      {"RC5 pressed again", {{0, Rc5Press(kAmpVolUp, 5)}, {600, Rc5Press(ampVolUpToggled, 5)}}, 2, "Amp&Vol+"},
  };
  // Outputs that return at once, so that only window and pause set the rhythm.
  Load({}, "TV&Power,Winamp&PLAY\nVCR&Play,Winamp&PLAY\nAmp&Vol+,Winamp&VOLUP\n");
  const Light lopsided =
      ircode::sim::PressLight(LopsidedRc5Remote(), LopsidedRc5Remote().codes[2], 0, true);
  // A port that wakes the monitor when the light arrives, and one that is read now and then.
  for (const bool woken : {true, false}) {
    SCOPED_TRACE(woken ? "woken by the line" : "reading the line");
    peer_->SetLineChangesReported(woken);
    monitoring_.Stop();
    monitoring_.Start();
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      clock_.AdvanceNs(1'000'000'000);
      const std::vector<std::string> fired = PlayAndTick(c.presses, 3000);
      EXPECT_EQ(fired, std::vector<std::string>(c.fired, c.event));
    }
    // A press of one RC5 frame, beginning anywhere between two reads of the line: the first
    // mark, 889 us, is never stepped over, and what a read saw late is given back to it.
    for (int phaseUs = 0; phaseUs < kIrMonPollUs; phaseUs += 25) {
      SCOPED_TRACE(phaseUs);
      clock_.AdvanceNs(1'000'000'000);
      EXPECT_EQ(PlayAndTick({{0, Rc5Press(kAmpVolUp, 1)}}, 600, phaseUs),
                std::vector<std::string>{"Amp&Vol+"});
      clock_.AdvanceNs(1'000'000'000);
      EXPECT_EQ(PlayAndTick({{0, lopsided}}, 600, phaseUs), std::vector<std::string>{"Amp&Vol-"});
    }
  }
}

// Between ticks an idle standard receiver is not read: the monitor sleeps until the light
// arrives, or for as long as it was told. Blocked, it waits at the timing priority, which it
// keeps for the window when the light came and gives back otherwise. Where the port cannot wake
// it, it reads the line every kIrMonPollUs at normal priority.
TEST_F(Monitor, AnIdleMonitorSleepsUntilTheLightArrives) {
  struct Case {
    const char* name;
    bool woken;            // the port wakes a waiter on a line change
    int receiverType;
    int64_t lightInUs;     // the press begins this long after the wait; 0: no press
    int64_t waitedUs;      // how long the wait lasts, a read of the line taking 5 us
    int64_t lineReads;     // reads of the line by the wait
    int raises;            // of the priority
    bool raisedAfter;      // still raised when the wait returns
  };
  const Case cases[] = {
      {"dark line, no press", true, 0, 0, 5 + 100'000, 1, 1, false},
      {"dark line, a press", true, 0, 37'351, 37'351, 1, 1, true},
      // The port says so once; from then on the line is read by the ticks alone.
      {"a port that cannot wake", false, 0, 37'351, 5 + kIrMonPollUs, 1, 1, false},
      // The IR mouse receiver samples while dark: its ticks follow one another.
      {"IR mouse receiver", true, 1, 37'351, kIrMonPollUs, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    peer_->SetLineChangesReported(c.woken);
    RestartWith(c.receiverType);
    clock_.AdvanceNs(1'000'000'000);
    if (c.lightInUs > 0) Press(ircode::sim::NecPress(kTvPower, 0), c.lightInUs);
    const int64_t startNs = clock_.NowNs();
    const int64_t reads = clock_.LineReads();
    const int64_t raises = clock_.PriorityRaises();
    monitoring_.AwaitInput(100'000);
    EXPECT_EQ(clock_.NowNs() - startNs, c.waitedUs * 1000);
    EXPECT_EQ(clock_.LineReads() - reads, c.lineReads);
    EXPECT_EQ(clock_.PriorityRaises() - raises, c.raises);
    EXPECT_EQ(clock_.PriorityRaised(), c.raisedAfter);
    // The tick gives it back, with a window or without.
    monitoring_.Tick();
    EXPECT_FALSE(clock_.PriorityRaised());
    peer_->PlayMarks({});
  }
  // What the wait saw of the darkness lets the tick that follows it read the press whole.
  peer_->SetLineChangesReported(true);
  RestartWith(0);
  clock_.AdvanceNs(1'000'000'000);
  Press(ircode::sim::NecPress(kTvPower, 0), 40'000);
  monitoring_.AwaitInput(100'000);
  const auto received = monitoring_.Tick();
  ASSERT_TRUE(received.has_value());
  EXPECT_EQ(received->recCmd, "TV&Power");
}

TEST_F(Monitor, StartPreparesTheReceiverAndReportsItsState) {
  struct Case {
    const char* name;
    int receiverType;
    ReceiverWiring wiring;
    DcdPolarity polarity;
    std::vector<std::string> statuses;
  };
  using W = ReceiverWiring;
  using P = DcdPolarity;
  const Case cases[] = {
      {"standard receiver", 0, W::DcdStandard, P::OffWhileLight, {"", "Monitoring started OK."}},
      {"standard receiver inactive at idle", 0, W::AlwaysPowered, P::OnWhileLight,
       {"", "Rec Interface invalid. Cannot start monitoring"}},
      {"IR Mouse", 1, W::IrMouse, P::OnWhileLight, {"", "Monitoring started OK."}},
      {"IR Mouse active at idle", 1, W::AlwaysPowered, P::OffWhileLight,
       {"", "Rec Interface invalid. Cannot start monitoring"}},
      {"IR Man", 2, W::DcdStandard, P::OffWhileLight,
       {"", "IR Man interface is not yet supported for monitoring!"}},
      {"Creative", 3, W::DcdStandard, P::OffWhileLight,
       {"", "Creative Infra interface is not yet supported for monitoring!"}},
      {"FirM", 4, W::DcdStandard, P::OffWhileLight,
       {"", "FirM interface is not yet supported for monitoring!"}},
      {"unknown", 9, W::DcdStandard, P::OffWhileLight, {"", "No Record interface selected!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    monitoring_.Stop();
    peer_->SetWiring(c.wiring);
    peer_->SetPolarity(c.polarity);
    store_.general.receiverType = static_cast<std::int16_t>(c.receiverType);
    prompter_.statuses.clear();
    const WindowRequests requests = monitoring_.Start();
    EXPECT_EQ(prompter_.statuses, c.statuses);
    // Every message leaves monitoring formally on.
    EXPECT_TRUE(requests.shrink);
    EXPECT_TRUE(monitoring_.MonitoringOn());
    EXPECT_TRUE(monitoring_.Controls().irMonTimer);
  }
  EXPECT_TRUE(peer_->LineOn(platform::OutputLine::Rts));
}

TEST_F(Monitor, StartAndStopSwitchTheWindowAndRememberTheState) {
  WindowRequests requests = monitoring_.Start();
  const MonitorControls& shown = monitoring_.Controls();
  EXPECT_TRUE(requests.shrink);
  EXPECT_TRUE(shown.startMenuChecked);
  EXPECT_FALSE(shown.stopMenuChecked);
  EXPECT_EQ(shown.caption, "Zarvel Monitor v" + store_.version);
  EXPECT_EQ(shown.label111, "IN");
  EXPECT_EQ(shown.label112, "OUT");
  EXPECT_TRUE(shown.monitorFieldsShown);
  EXPECT_TRUE(shown.irMonTimer);
  EXPECT_FALSE(shown.btAutoTimer);
  EXPECT_EQ(shown.icon, "qvxmon.ico");
  EXPECT_EQ(FileValue("MONITOR"), "1");

  prompter_.statuses.clear();
  EXPECT_FALSE(monitoring_.Start().shrink);  // already running
  EXPECT_TRUE(prompter_.statuses.empty());

  store_.general.receiverType = 4;
  requests = monitoring_.Stop();
  EXPECT_TRUE(requests.refreshSelection);
  EXPECT_FALSE(shown.startMenuChecked);
  EXPECT_TRUE(shown.stopMenuChecked);
  EXPECT_EQ(shown.label111, "Dev.");
  EXPECT_EQ(shown.label112, "Cmd.");
  EXPECT_FALSE(shown.monitorFieldsShown);
  EXPECT_TRUE(shown.zoneShown);
  EXPECT_FALSE(shown.irMonTimer);
  EXPECT_EQ(shown.icon, "qvxnomon.ico");
  EXPECT_EQ(prompter_.statuses, std::vector<std::string>{"Monitoring is stopped."});
  EXPECT_EQ(FileValue("MONITOR"), "0");
  EXPECT_FALSE(monitoring_.Stop().refreshSelection);  // already stopped

  monitoring_.TrayStart();
  EXPECT_TRUE(shown.trayStartChecked);
  EXPECT_FALSE(shown.trayStopChecked);
  monitoring_.TrayStop();
  EXPECT_FALSE(shown.trayStartChecked);
  EXPECT_TRUE(shown.trayStopChecked);
  requests = monitoring_.TrayRestart();
  EXPECT_TRUE(monitoring_.MonitoringOn());
  EXPECT_TRUE(requests.shrink);
}

TEST_F(Monitor, StartRefusesWithoutAnInput) {
  Load({{"IRINENA", "0"}}, kEventTable);
  EXPECT_FALSE(monitoring_.Start().shrink);
  EXPECT_EQ(prompter_.statuses,
            (std::vector<std::string>{"", "There is no input plugin available to monitor!"}));
  EXPECT_FALSE(monitoring_.MonitoringOn());
  EXPECT_FALSE(monitoring_.Controls().startMenuChecked);
  EXPECT_EQ(FileValue("MONITOR"), "0");
}

TEST_F(Monitor, StartSaysOnceWhenTimingGetsNoRealTimePriority) {
  clock_.SetPriorityRefused(true);
  monitoring_.Start();
  EXPECT_EQ(prompter_.statuses,
            (std::vector<std::string>{
                "", "Timing runs without real-time priority, so key presses may be lost while the "
                    "machine is busy. Grant it with LimitRTPRIO=99 in the service's unit, an rtprio "
                    "limit in /etc/security/limits.conf, or the CAP_SYS_NICE capability (setcap "
                    "cap_sys_nice+ep)."}));
  EXPECT_FALSE(clock_.PriorityRaised());
  monitoring_.Stop();
  prompter_.statuses.clear();
  monitoring_.Start();
  EXPECT_EQ(prompter_.statuses, (std::vector<std::string>{"", "Monitoring started OK."}));
}

TEST_F(Monitor, ThePhoneLinkStartsStopsAndShowsTheResults) {
  Load({{"BTENA", "1"}, {"IRINENA", "0"}}, "BT0&UP,Winamp&PLAY\nBT0&UP,X10&Lamp&On\n");
  RecordingPhone phone;
  monitoring_.SetPhoneLink(phone);
  monitoring_.Start();
  EXPECT_EQ(phone.calls, std::vector<std::string>{"start"});
  EXPECT_TRUE(monitoring_.Controls().btAutoTimer);
  EXPECT_FALSE(monitoring_.Controls().irMonTimer);
  EXPECT_EQ(monitoring_.Controls().icon, "qvxbtmon.ico");

  EXPECT_EQ(monitoring_.ReceiveEvent("BT0&UP"), "Winamp&PLAY;X10&Lamp&On;");
  EXPECT_EQ(monitoring_.Controls().recCmd, "BT0&UP");
  EXPECT_EQ(monitoring_.Controls().execCmd, "Winamp&PLAY;X10&Lamp&On;");
  EXPECT_EQ(monitoring_.DispatchEvent(""), "");
  EXPECT_EQ(phone.written, (std::vector<std::string>{
                               "AT*EAID=1,2,\"Winamp is disabled!\"\r\n",
                               "AT*EAID=1,2,\"Winamp is disabled!;X10 is disabled!\"\r\n",
                               "AT*EAID=1,2,\"Zarvel Manager\"\r\n"}));
  EXPECT_EQ(monitoring_.ReceiveEvent("BT1&UP"), "");
  EXPECT_EQ(monitoring_.Controls().execCmd, "none");

  monitoring_.Stop();
  EXPECT_EQ(phone.calls, (std::vector<std::string>{"start", "stop"}));
  EXPECT_FALSE(monitoring_.Controls().btAutoTimer);
}

TEST_F(Monitor, DispatchMatchesSubstringsAndBothFlipSpellings) {
  Load({}, "BT&FLIP OPEN,Winamp&PLAY\n"
           "BT3&FLIP OPEN,Winamp&STOP\n"
           "BT&FLIP CLOSED,Winamp&PAUSE\n"
           "XBT&CONNECTED,Winamp&NEXT\n"
           "TV&1,Winamp&PREV\n"
           "XTV&1,Winamp&REW\n"
           "ABT&FLIP OPEN,Winamp&FFW\n");
  struct Case {
    const char* event;
    const char* outputs;
  };
  const Case cases[] = {
      {"BT&FLIP OPEN", "Winamp&PLAY;Winamp&STOP;Winamp&FFW;"},
      {"BT0&FLIP OPEN", "Winamp&PLAY;Winamp&STOP;Winamp&FFW;"},
      {"bt&flip closed", "Winamp&PAUSE;"},
      {"BT&CONNECTED", "Winamp&NEXT;"},
      {"TV&1", "Winamp&PREV;Winamp&REW;"},
      {"V&1", "Winamp&PREV;Winamp&REW;"},
      {"TV&2", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(monitoring_.DispatchEvent(c.event), c.outputs) << c.event;

  Load({}, "");
  EXPECT_EQ(monitoring_.DispatchEvent("TV&1"), "");
}

// A command stored by an earlier version holds the code the literal analysis read. Where a
// watch window of a held key now decodes to another code, the tick still names that command,
// and a command stored under the decoded code is preferred.
TEST(WatchedCodes, CommandsStoredUnderTheLiteralCodeStillFire) {
  std::mt19937 rng(11);
  int differing = 0;
  for (const ircode::sim::RemoteFamily family : ircode::sim::AllFamilies()) {
    for (int i = 0; i < 8; ++i) {
      const ircode::sim::RealPress press = ircode::sim::MakeRealPress(family, true, 30, rng);
      for (double fromUs = 0; fromUs < ircode::sim::PressLengthUs(press); fromUs += 23'000) {
        const WatchDecode decode = DecodeWatchWindow(ircode::sim::WatchPress(press, fromUs).bytes);
        if (decode.literalCode.empty()) continue;
        ++differing;
        SCOPED_TRACE("literal " + decode.literalCode + ", decoded " + decode.code);
        const std::string old = "[General]\nCOMPORT= 1\n\n[Old]\nG" + decode.literalCode + ",Key\n";
        ConfigStore store;
        store.text = test::Crlf(old);
        ASSERT_TRUE(FindWatchedCode(store, decode));
        EXPECT_EQ(store.currentDevice + "&" + store.currentCommand, "Old&Key");
        store.text = test::Crlf(old + "\n[New]\nG" + StoredCodeBits(decode.code, decode.codingType) + ",Key\n");
        ASSERT_TRUE(FindWatchedCode(store, decode));
        EXPECT_EQ(store.currentDevice, "New");
      }
    }
  }
  EXPECT_GT(differing, 20);
}

}  // namespace
}  // namespace qvx::monitor
