#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "platform/input.h"
#include "platform/sim/standard_peers.h"
#include "qvx/ctl/verbs.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

struct CtlRun {
  int status;
  std::string out, err;
};

// qvxctl over a copy of the delivered configuration, with the simulated devices on a virtual
// clock so that transmissions and X10 polls take no time.
class QvxctlExec : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(test::DeliveredConfig(), config_);
    ::setenv("QVX_SIM_CLOCK", "virtual", 1);
    ::setenv("QVX_AUDIO_DEVICE", "none", 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QVX_UINPUT", "none", 1);
  }
  CtlRun Exec(const std::string& output) { return Ctl({"exec", output}); }
  CtlRun Ctl(std::vector<std::string> args) {
    std::ostringstream out, err;
    args.insert(args.begin(), {"--config", config_.string()});
    const int status = RunQvxctl(args, out, err);
    return {status, out.str(), err.str()};
  }
  test::TempDir dir_;
  std::filesystem::path config_ = dir_ / "pelgrin.cfg";
};

TEST_F(QvxctlExec, RunsOutputCommandsAndReportsFailures) {
  ::setenv("QVX_COM1", "sim:ir", 1);
  CtlRun run = Exec("TV&Power");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "TV Power executed.\n");

  run = Ctl({"send", "Amp", "Standby"});  // every verb reaches the simulated devices
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Amp Standby executed.\n");

  run = Exec("Application&Missing");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "Error handling application!\n");

  // On Linux there is no display here and no uinput device, and the mouse says so; wine's
  // desktop takes the input.
  int x = 0, y = 0;
  const bool inputReachable =
      platform::SystemInput().GetCursorPos(x, y).code() != platform::StatusCode::NotFound;
  run = Exec("Mouse&LEFTUP");
  EXPECT_EQ(run.status, inputReachable ? 0 : 1);
  EXPECT_EQ(run.out, inputReachable
                         ? "Mouse LEFTUP\n"
                         : "Mouse and keyboard need an X display, or write access to /dev/uinput!\n");

  run = Exec("nothing to split");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "qvxctl: nothing to split is not an output command (DEVICE&COMMAND)\n");
}

// The exit status is 0 only for a text of success: a refusal that ends in "." fails too.
TEST_F(QvxctlExec, ExitStatusFollowsWhatTheTextReports) {
  ::setenv("QVX_COM1", "sim:ir", 1);
  std::string text = test::ReadFile(config_);
  text.replace(text.find("G000110011010,Stop"), 18, "G00011001101x,Stop");
  test::WriteFile(config_, text);
  struct Case {
    const char* output;
    int status;
    const char* out;
  };
  const Case cases[] = {
      {"VCR&Play", 0, "VCR Play executed.\n"},
      {"VCR&Stop", 1, "Please use only 1's and 0's for the code.\n"},
      {"Recorded&Recorded", 1, "Information about received command is not complete!\n"},
      {"Keyboard&F1", 1, "Error sending infrared command!\n"},
  };
  for (const Case& c : cases) {
    const CtlRun run = Exec(c.output);
    EXPECT_EQ(run.status, c.status) << c.output;
    EXPECT_EQ(run.out, c.out);
  }
}

TEST_F(QvxctlExec, SwitchesAnX10ModuleThroughTheSharedPort) {
  ::setenv("QVX_COM1", "sim:cm11", 1);
  const CtlRun run = Exec("X10&Lamp&Off");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "X10-lamp Off.\n");
}

TEST_F(QvxctlExec, SaysSoWhenTheInfraredPortCannotBeOpened) {
  ::setenv("QVX_COM1", (dir_ / "no-such-device").string().c_str(), 1);
  const CtlRun run = Exec("VCR&Play");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "qvxctl: cannot open COM1 for the infrared interface\n");
}

}  // namespace
}  // namespace qvx
