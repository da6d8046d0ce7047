// qvxctl monitor as a program of its own: a simulated remote presses keys of the delivered
// configuration, the printed lines are read back, and SIGTERM ends it with the port released.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <csignal>
#include <sstream>

#include "platform/serial.h"
#include "platform/sim/kernel_ir_device.h"
#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "qvx/config/devices.h"
#include "qvx/config/general.h"
#include "qvx/config/store.h"
#include "qvx/ctl/verbs.h"
#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/pulsetext.h"
#include "qvx/ircode/sim/remotesim.h"
#include "tests/support/env.h"
#include "tests/support/process.h"
#include "tests/support/support.h"
#include "tests/support/terminal.h"

namespace qvx {
namespace {

using ircode::sim::Light;

class QvxctlMonitor : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(test::DeliveredConfig(), config_);
    store_.path = config_;
    ASSERT_TRUE(LoadGeneral(store_).ok);
    // The simulated receiver's line reads cost no time, so the pause alone makes the 55 us.
    for (const auto& [key, value] : {std::pair{"PROCDELAY", "55"}, {"WINAMPENA", "0"}, {"X10COM", "2"}})
      ASSERT_TRUE(SetGeneralParam(store_, key, value));
  }

  // The light this program's transmitter sends for a stored command (a frame and its repeats).
  Light Transmitted(const std::string& device, const std::string& command) {
    const auto texts = FindDeviceParams(store_.text, device, ParamScope::WithinSection);
    const auto params = ircode::DeviceParamsFromTexts(texts->gproto, texts->sendpls, texts->repeat,
                                                      texts->bitg, texts->bit0, texts->bit1,
                                                      texts->grepeat);
    bool toggle = false;
    const std::string code = *FindCommandCode(store_.text, device, command);
    return ircode::sim::PulseTextToLight(ircode::BuildPulseString(code.substr(1), *params, toggle),
                                         params->sendplsUs);
  }

  void WritePresses(const std::vector<std::pair<int, Light>>& presses) {
    std::ostringstream script;
    script << "# at ms, then light and dark in us\n";
    for (const auto& [atMs, light] : presses) {
      script << atMs;
      for (const double us : light.durationsUs) script << ' ' << std::lround(us);
      script << '\n';
    }
    test::WriteFile(presses_, script.str());
  }

  test::ChildProcess Monitor(const std::string& com1, const std::string& args,
                             const std::string& env = "") {
    const std::string command =
        env + " QVX_SIM_CLOCK=virtual QVX_SIM_PRESSES='" + presses_.string() + "' QVX_COM1='" + com1 +
        "' QVX_COM2=sim:cm11 QVX_AUDIO_DEVICE=none exec '" + (test::BinDir() / "qvxctl").string() +
        "' --config '" + config_.string() + "' monitor " + args + " >'" + out_.string() + "' 2>'" +
        err_.string() + "'";
    return test::ChildProcess({"/bin/sh", "-c", command});
  }

  std::vector<std::string> OutLines() {
    std::vector<std::string> lines;
    std::istringstream in(test::ReadFile(out_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  test::TempDir dir_;
  std::filesystem::path config_ = dir_ / "pelgrin.cfg";
  std::filesystem::path presses_ = dir_ / "presses.txt";
  std::filesystem::path out_ = dir_ / "out.txt";
  std::filesystem::path err_ = dir_ / "err.txt";
  ConfigStore store_;
};

TEST_F(QvxctlMonitor, PrintsALinePerPressUntilTerminated) {
  WritePresses({{1000, Transmitted("TV", "Power")},
                {3000, Transmitted("VCR", "Play")},
                // A remote's short press of Standby, toggle bit 1. (A press that a window
                // boundary cuts through both frames is lost and may show UNKNOWN.)
                {5100, ircode::sim::Rc5Press(ircode::sim::Rc5Bits(true, 16, 12), 2)},
                {7000, ircode::sim::SonyPress(ircode::sim::SonyBits(0x33, 0x07, 5), 4)}});
  test::ChildProcess monitor = Monitor("sim:ir", "");
  const std::vector<std::string> expected = {
      "TV&Power\tX10&Lamp&On;\tX10-lamp On.",
      "VCR&Play\tWinamp&PLAY;\tWinamp is disabled!",
      "Amp&Standby\tWinamp&STOP;\tWinamp is disabled!",
      "UNKNOWN\tnone\tCommand received",
  };
  EXPECT_TRUE(test::WaitUntil([&] { return OutLines().size() >= expected.size(); }, 30'000));
  const auto status = monitor.Terminate(10'000);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_EQ(OutLines(), expected);
  EXPECT_EQ(test::ReadFile(err_), "Monitoring started OK.\nMonitoring is stopped.\n");
  // A headless monitor leaves the main program's MONITOR key alone.
  EXPECT_NE(test::ReadFile(config_).find("MONITOR= 0\r\n"), std::string::npos);
}

TEST_F(QvxctlMonitor, OnceEndsAfterTheFirstCommand) {
  WritePresses({{500, Transmitted("VCR", "Play")}, {2000, Transmitted("TV", "Power")}});
  test::ChildProcess monitor = Monitor("sim:ir", "--once");
  const auto status = monitor.Wait(30'000);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_EQ(OutLines(), std::vector<std::string>{"VCR&Play\tWinamp&PLAY;\tWinamp is disabled!"});
}

TEST_F(QvxctlMonitor, RefusesAPortHeldElsewhereAndReleasesItsOwn) {
  test::PseudoTerminal terminal;
  ASSERT_FALSE(terminal.Path().empty());
  WritePresses({});
  platform::PortHandle held = platform::OpenSerialTarget(terminal.Path());
  ASSERT_GT(held, 0);
  auto status = Monitor(terminal.Path(), "").Wait(10'000);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(WEXITSTATUS(*status), 1);
  EXPECT_EQ(test::ReadFile(err_),
            "qvxctl: COM1 (" + terminal.Path() +
                ") is held by another program; the desktop program holds its infrared port while "
                "it runs, so stop it (or the other monitor) first\n");
  platform::ClosePort(held);

  // A simulated receiver shared between processes as a real port is: the monitor holds it
  // until it is terminated.
  const std::filesystem::path locks = dir_ / "locks";
  platform::sim::VirtualClock clock;
  auto peer = std::make_shared<platform::sim::IrPeer>(clock, platform::sim::DcdPolarity::OffWhileLight);
  peer->SetMachineLock(locks / "ir.lock");
  test::ChildProcess monitor = Monitor("sim:ir", "", "QVX_SIM_LOCKS='" + locks.string() + "'");
  EXPECT_TRUE(test::WaitUntil([&] {
    return test::ReadFile(err_).find("Monitoring started OK.") != std::string::npos;
  }, 10'000));
  EXPECT_EQ(peer->OpenPort(), nullptr);
  status = monitor.Terminate(10'000);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_NE(peer->OpenPort(), nullptr);
}

TEST_F(QvxctlMonitor, RefusesWhenItCannotMonitor) {
  struct Case {
    const char* key;
    const char* value;
    const char* err;
  };
  const Case cases[] = {
      {"IRINENA", "0",
       "qvxctl: infrared input (IRINENA) and phone input (BTENA) are off; there is nothing to "
       "monitor\n"},
      {"ITYPE", "2", "IR Man interface is not yet supported for monitoring!\nMonitoring is stopped.\n"},
  };
  WritePresses({});
  for (const Case& c : cases) {
    ASSERT_TRUE(SetGeneralParam(store_, c.key, c.value));
    auto status = Monitor("sim:ir", "").Wait(10'000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(WEXITSTATUS(*status), 1) << c.key;
    EXPECT_EQ(test::ReadFile(err_), c.err);
    ASSERT_TRUE(SetGeneralParam(store_, c.key, c.key == std::string("IRINENA") ? "1" : "0"));
  }
}

// A kernel infrared device: taps of every family are named, a device that cannot receive is
// refused, and one that is unplugged ends the monitor with its reason and a failure status, so
// that a service manager starts it again.
TEST_F(QvxctlMonitor, WatchesAKernelDeviceUntilItGoes) {
  WritePresses({{1000, Transmitted("TV", "Power")},
                {3000, Transmitted("VCR", "Play")},
                {5100, ircode::sim::Rc5Press(ircode::sim::Rc5Bits(true, 16, 12), 1)},
                {7000, ircode::sim::SonyPress(ircode::sim::SonyBits(0x33, 0x07, 5), 3)},
                {9500, Transmitted("TV", "Power")}});
  struct Case {
    const char* com1;
    std::vector<std::string> lines;
    const char* err;
  };
  const Case cases[] = {
      {"sim:lirc:vanish=9000",
       {"TV&Power\tX10&Lamp&On;\tX10-lamp On.", "VCR&Play\tWinamp&PLAY;\tWinamp is disabled!",
        "Amp&Standby\tWinamp&STOP;\tWinamp is disabled!", "UNKNOWN\tnone\tCommand received"},
       "Monitoring started OK.\nqvxctl: The infrared device sim:lirc has gone "
       "(unplugged, or its driver unloaded)!\nMonitoring is stopped.\n"},
      {"sim:lirc:norecv",
       {},
       "COM1 is the kernel infrared device sim:lirc:norecv, which cannot receive remote "
       "controls as pulse and space durations!\nMonitoring is stopped.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.com1);
    const auto status = Monitor(c.com1, "").Wait(30'000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(WEXITSTATUS(*status), 1);
    EXPECT_EQ(OutLines(), c.lines);
    EXPECT_EQ(test::ReadFile(err_), c.err);
  }
}

// qvxctl send through a kernel infrared device: what it wrote, in the capture, is the
// transmitter's light to the microsecond.
TEST_F(QvxctlMonitor, SendsThroughAKernelDeviceIntoTheCapture) {
  const auto capture = dir_ / "capture.txt";
  const std::string command = "QVX_SIM_CLOCK=virtual QVX_COM1=sim:lirc QVX_SIM_CAPTURE='" +
                              capture.string() + "' exec '" + (test::BinDir() / "qvxctl").string() +
                              "' --config '" + config_.string() + "' send TV Power >'" +
                              out_.string() + "'";
  const auto status = test::ChildProcess({"/bin/sh", "-c", command}).Wait(10'000);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_EQ(test::ReadFile(out_), "TV Power executed.\n");
  const auto writes = platform::sim::ReadKernelCapture(capture);
  ASSERT_EQ(writes.size(), 1u);
  const Light light = Transmitted("TV", "Power");
  std::vector<uint32_t> expected;
  for (const double us : light.durationsUs) expected.push_back(static_cast<uint32_t>(std::lround(us)));
  while (expected.size() % 2 == 0) expected.pop_back();  // darkness after the last light
  EXPECT_EQ(writes.front().durationsUs, expected);
  EXPECT_EQ(writes.front().carrierHz, 38'000u);
  EXPECT_EQ(writes.front().dutyCyclePercent, 33u);
}

// With the phone input on, the simulated phone's keys are printed as they are dispatched; star
// and 3 select device 3 without an event, and the phone shows each result.
TEST_F(QvxctlMonitor, PrintsThePhonesKeysAndTheirDispatch) {
  for (const auto& [key, value] : {std::pair{"BTENA", "1"}, {"BTCOM", "5"}, {"IRINENA", "0"}})
    ASSERT_TRUE(SetGeneralParam(store_, key, value));
  std::string text = test::ReadFile(config_);
  text.insert(text.find("[End]"), "BT0&5,X10&Lamp&On\r\nBT3&UP,X10&Lamp&Off\r\n\r\n");
  test::WriteFile(config_, text);
  WritePresses({});
  const auto script = dir_ / "phone.txt";
  // The X10 exchange of a dispatch takes a while; keys pressed meanwhile would share a read.
  test::WriteFile(script, "# ms after key reporting is on, then the line\n"
                          "300 +CKEV: 5,1\n400 +CKEV: 5,0\n3000 +CKEV: *,1\n3300 +CKEV: 3,1\n"
                          "3400 +CKEV: 3,0\n3600 +CKEV: *,0\n4100 +CKEV: u,1\n");
  test::ChildProcess monitor =
      Monitor("sim:ir", "", "QVX_COM5=sim:phone QVX_SIM_PHONE='" + script.string() + "'");
  const std::vector<std::string> expected = {
      "BT&CONNECTED\tnone\t",
      "BT0&5\tX10&Lamp&On;\tX10-lamp On.",
      "BT3&UP\tX10&Lamp&Off;\tX10-lamp Off.",
  };
  EXPECT_TRUE(test::WaitUntil([&] { return OutLines().size() >= expected.size(); }, 30'000));
  const auto status = monitor.Terminate(10'000);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_EQ(OutLines(), expected);
  EXPECT_EQ(test::ReadFile(err_), "Ericsson T68i is now connected.\nMonitoring is stopped.\n");
  EXPECT_NE(test::ReadFile(config_).find("BTCURRENT= 3\r\n"), std::string::npos);
}

// qvxctl monitor in this process, on a virtual clock, with COM1 a standard receiver whose
// remote and whose person act at set times: the port's lines, its failure and the signals a
// service manager sends are seen as the program sees them.
class MonitorVerb : public QvxctlMonitor {
 protected:
  void SetUp() override {
    QvxctlMonitor::SetUp();
    for (const auto& [key, value] : {std::pair{"PROCDELAY", "50"}, {"X10ENA", "0"}})
      ASSERT_TRUE(SetGeneralParam(store_, key, value));
    clock_.SetCounterReadCostNs(250);
    clock_.SetLineReadCostNs(5000);
    peer_ = platform::sim::InstallIrPeer("verb-ir", clock_);
  }
  void TearDown() override { platform::UnregisterSimPeer("verb-ir"); }

  // Plays presses starting at the given milliseconds from now.
  void Play(const std::vector<std::pair<int, Light>>& presses) {
    std::vector<platform::sim::LightMark> marks;
    for (const auto& [atMs, light] : presses) {
      int64_t atNs = atMs * 1'000'000LL;
      for (std::size_t i = 0; i < light.durationsUs.size(); ++i) {
        const auto lengthNs = std::llround(light.durationsUs[i] * 1000);
        if (i % 2 == 0) marks.push_back({atNs, atNs + lengthNs});
        atNs += lengthNs;
      }
    }
    peer_->PlayMarks(marks, presses.front().first * 1000LL);
  }
  // Virtual nanoseconds `ms` from now.
  int64_t In(int ms) { return clock_.NowNs() + ms * 1'000'000LL; }

  struct Run {
    int status;
    std::string out, err;
  };
  Run Monitor(const std::string& args) {
    std::vector<std::string> argv = {"--config", config_.string(), "monitor"};
    if (!args.empty()) argv.push_back(args);
    std::ostringstream out, err;
    const int status = RunQvxctl(argv, out, err);
    return {status, out.str(), err.str()};
  }

  platform::sim::VirtualClock clock_;
  platform::ScopedClock scoped_{clock_};
  test::ScopedEnv com1_{"QVX_COM1", "sim:verb-ir"};
  test::ScopedEnv audio_{"QVX_AUDIO_DEVICE", "none"};
  std::shared_ptr<platform::sim::IrPeer> peer_;
};

TEST_F(MonitorVerb, TheTransmitterStaysDarkWhileItListens) {
  Play({{500, Transmitted("TV", "Power")}});
  const int64_t startNs = clock_.NowNs();
  const Run run = Monitor("--once");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "TV&Power\tX10&Lamp&On;\tX10 is disabled!\n");
  // Opening a port raises DTR; the monitor clears it at once and never lights it, and TxD is
  // out of break, so neither kind of transmitter shines.
  EXPECT_TRUE(platform::sim::DtrLight(peer_->Captured(), clock_.NowNs()).empty());
  for (const platform::sim::TxEvent& event : peer_->Captured()) {
    EXPECT_FALSE(event.kind == platform::sim::TxEvent::Kind::Break && event.on);
  }
  EXPECT_GT(clock_.NowNs() - startNs, 500'000'000);
}

TEST_F(MonitorVerb, EndsInFailureWhenThePortStopsAnsweringAndRunsAgainWhenItIsBack) {
  // The adapter is pulled a second in.
  peer_->At(In(1000), [this] { peer_->SetFailing(platform::sim::PeerOperation::ModemStatus, true); });
  Run run = Monitor("");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "Monitoring started OK.\n"
            "qvxctl: The infrared port stopped answering: the simulated peer fails on purpose\n"
            "Monitoring is stopped.\n");
  EXPECT_FALSE(peer_->IsOpen());

  // Plugged in again, the next start opens it and monitors.
  peer_->SetFailing(platform::sim::PeerOperation::ModemStatus, false);
  Play({{500, Transmitted("VCR", "Play")}});
  run = Monitor("--once");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "VCR&Play\tWinamp&PLAY;\tWinamp is disabled!\n");
}

TEST_F(MonitorVerb, SighupReadsTheEventTableAgain) {
  Play({{500, Transmitted("TV", "Power")}, {3000, Transmitted("TV", "Power")}});
  // Between the presses the event table is edited and the service manager asks for a reload;
  // a SIGTERM ends the monitor after the second press.
  peer_->At(In(2000), [this] {
    std::string text = test::ReadFile(config_);
    const std::string line = "TV&Power,X10&Lamp&On";
    text.replace(text.find(line), line.size(), "TV&Power,Winamp&STOP");
    test::WriteFile(config_, text);
    std::raise(SIGHUP);
  });
  peer_->At(In(5000), [] { std::raise(SIGTERM); });
  const Run run = Monitor("");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "TV&Power\tX10&Lamp&On;\tX10 is disabled!\n"
            "TV&Power\tWinamp&STOP;\tWinamp is disabled!\n");
  EXPECT_EQ(run.err, "Monitoring started OK.\nqvxctl: read " + config_.string() +
                         " again\nMonitoring is stopped.\n");
}

// A watch window as IRMonitor fills it: 4000 samples of 55 us, the remote starting offsetUs in.
std::string WatchWindow(const Light& light, double offsetUs, std::size_t bytes = 500) {
  std::string window(bytes, '\0');
  for (std::size_t sample = 0; sample < bytes * 8; ++sample) {
    double atUs = offsetUs;
    const double t = static_cast<double>(sample) * 55;
    for (std::size_t i = 0; i < light.durationsUs.size() && atUs <= t; ++i) {
      if (i % 2 == 0 && t < atUs + light.durationsUs[i])
        window[sample / 8] = static_cast<char>(window[sample / 8] | (0x80 >> (sample % 8)));
      atUs += light.durationsUs[i];
    }
  }
  return window;
}

TEST_F(QvxctlMonitor, DecodesAWatchWindowAsTheTickDoes) {
  struct Case {
    const char* name;
    std::string window;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {"NEC", WatchWindow(Transmitted("TV", "Power"), 10'000), 0,
       "code=00100000110111110001000011101111\nprotocol=NEC\nevent=TV&Power\n"},
      {"RC5 toggle 1", WatchWindow(ircode::sim::Rc5Press(ircode::sim::Rc5Bits(true, 16, 12), 1), 60'000),
       0, "code=11010000001100\nprotocol=RC5\nevent=Amp&Standby\n"},
      {"not stored", WatchWindow(ircode::sim::SonyPress(ircode::sim::SonyBits(0x33, 0x07, 5), 3), 0),
       0, "code=110011011100\nprotocol=SONY\nevent=UNKNOWN\n"},
      {"dark", std::string(500, '\0'), 1, ""},
      {"activity before byte 40 only", std::string(39, '\xff'), 1, ""},
  };
  for (const Case& c : cases) {
    const auto path = dir_ / "window.bin";
    test::WriteFile(path, c.window);
    std::ostringstream out, err;
    const std::vector<std::string> args = {"--config", config_.string(), "decode", "--window",
                                           path.string()};
    EXPECT_EQ(RunQvxctl(args, out, err), c.status) << c.name;
    EXPECT_EQ(out.str(), c.out) << c.name;
    EXPECT_EQ(err.str(), "") << c.name;
  }
}

}  // namespace
}  // namespace qvx
