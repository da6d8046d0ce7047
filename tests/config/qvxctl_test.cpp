#include "qvx/ctl/verbs.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/support.h"

namespace qvx {
namespace {

struct CtlRun {
  int status;
  std::string out, err;
};

CtlRun Qvxctl(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = RunQvxctl(args, out, err);
  return {status, out.str(), err.str()};
}

class QvxctlTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::copy_file(test::DeliveredConfig(), config); }
  CtlRun Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"--config", config.string()});
    return Qvxctl(args);
  }
  test::TempDir dir;
  std::filesystem::path config = dir / "pelgrin.cfg";
};

TEST_F(QvxctlTest, ListsDevicesCommandsCodesAndParameters) {
  CtlRun run = Ctl({"devices"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "TV\nVCR\nAmp\nX10&Lamp\nX10&Heater\nWinamp\nApplication\nMouse\nRecorded\n");
  EXPECT_EQ(Ctl({"commands", "tv"}).out, "Power\nVol+\nVol-\nCh+\nCh-\n");
  EXPECT_EQ(Ctl({"commands", "X10&Lamp"}).out, "All-U-Off\nAll-L-On\nOn\nOff\nDim\nBri\nAll-L-Off\n");
  EXPECT_EQ(Ctl({"code", "Amp", "standby"}).out, "G11010000001100\n");
  EXPECT_EQ(Ctl({"params", "VCR"}).out,
            "GPROTO=1\nSENDPLS=550\nREPEAT=40\nBITG=1111\nBIT0=01\nBIT1=011\nGREPEAT=40\n");
}

TEST_F(QvxctlTest, SetChangesOneGeneralKeyInTheFile) {
  const std::string before = test::ReadFile(config);
  CtlRun run = Ctl({"set", "procdelay", "42"});
  EXPECT_EQ(run.status, 0) << run.err;
  std::string expected = before;
  expected.replace(expected.find("PROCDELAY= 10"), 13, "PROCDELAY= 42");
  EXPECT_EQ(test::ReadFile(config), expected);

  // Refused values leave the file byte for byte as it was, and every program can still load it.
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"GPROTO", "1"}, "GPROTO is not a general key."},
      {{"COMPORT", "99999"},
       "COMPORT takes a whole number from -32768 to 32767 (not \"99999\")."},
      {{"BEEPON", "yes"}, "BEEPON is a flag and takes a number, 1 for on and 0 for off (not \"yes\")."},
      {{"WINAMPPATH", "vlc\r\n[Radio]"}, "The value of WINAMPPATH cannot hold a line break."},
      {{"WINAMPPATH", "C:\\x BTCOM= 2"},
       "WINAMPPATH cannot be set to \"C:\\x BTCOM= 2\": the file would read it as part of the "
       "key BTCOM."},
  };
  for (const auto& [keyAndValue, reason] : refused) {
    run = Ctl({"set", keyAndValue[0], keyAndValue[1]});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "qvxctl: cannot set " + keyAndValue[0] + ": " + reason + "\n");
    EXPECT_EQ(test::ReadFile(config), expected);
  }
  EXPECT_EQ(Ctl({"devices"}).status, 0);
}

TEST_F(QvxctlTest, ReportsErrorsOnStandardErrorWithAStatus) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"commands", "Radio"}, 1, "qvxctl: no device Radio in the device list\n"},
      {{"code", "TV", "Mute"}, 1, "qvxctl: device TV has no command Mute\n"},
      {{"params", "Mouse"}, 1, "qvxctl: the protocol parameters of Mouse cannot be found\n"},
      {{"code", "TV"}, 2, "usage: qvxctl code DEVICE COMMAND     the stored code of a command\n"},
  };
  for (const auto& c : cases) {
    const CtlRun run = Ctl(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0];
    EXPECT_EQ(run.err, c.err) << c.args[0];
    EXPECT_EQ(run.out, "") << c.args[0];
  }
  EXPECT_EQ(Qvxctl({"frobnicate"}).status, 2);
  EXPECT_EQ(Qvxctl({"--config"}).err, "qvxctl: --config needs a path\n");

  test::WriteFile(config, "[General]\r\n[End]\r\n");
  const CtlRun broken = Ctl({"devices"});
  EXPECT_EQ(broken.status, 2);
  EXPECT_EQ(broken.err, "qvxctl: There is an error in the configuration file " + config.string() +
                            ": the key COMPORT= is missing after [General] (the general keys must "
                            "appear in their fixed order)\n");
}

TEST_F(QvxctlTest, TheEnvironmentNamesTheFileWhenNoOptionDoes) {
  ::setenv("QVX_CONFIG", config.string().c_str(), 1);
  const CtlRun run = Qvxctl({"code", "TV", "Power"});
  ::unsetenv("QVX_CONFIG");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "G00100000110111110001000011101111\n");
}

// The text of a section of the delivered file, from its header up to the next one.
std::string SectionOf(const std::string& text, const std::string& header) {
  const std::size_t start = text.find(header);
  return text.substr(start, text.find("\r\n[", start + 1) + 2 - start);
}

TEST_F(QvxctlTest, ExportsAndImportsADeviceWithTheQuestionsAnsweredByOptions) {
  const std::string delivered = test::ReadFile(config);
  const std::string tv = SectionOf(delivered, "[TV]");
  const auto backup = dir / "backup";

  CtlRun run = Ctl({"export", backup.string(), "living room tv"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "The following devices has been exported successfully:\n[General]\n"
                     " Living room TV\n\n");
  EXPECT_EQ(test::ReadFile(dir / "backup.cfg"),
            test::Crlf("# Zarvel Rezoru Zazudaz configuration file\n"
                       "# Exported devices and sections\n\n") +
                SectionOf(delivered, "[General]") + tv + "[End]\r\n");
  run = Ctl({"export", backup.string(), "Video recorder"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "qvxctl: nothing was written to " + backup.string() +
                         ".cfg (an existing file is replaced only with --replace)\n");
  EXPECT_EQ(Ctl({"export", backup.string(), "Kitchen"}).err,
            "qvxctl: no section is described as Kitchen\n");

  const std::string file = (dir / "backup.cfg").string();
  run = Ctl({"import", file, "Living room TV", "--name", "Telly"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "qvxctl: the device exists; --replace overrides it\n");
  run = Ctl({"import", file, "Living room TV", "--replace"});
  EXPECT_EQ(run.err, "qvxctl: a device needs --name NAME\n");
  run = Ctl({"import", file, "Living room TV", "--name", "Tel\r\n[ly", "--replace"});
  EXPECT_EQ(run.err, "A device name cannot hold a line break.\n"
                     "qvxctl: Living room TV was not imported\n");
  run = Ctl({"export", config.string(), "living room tv", "--replace"});
  EXPECT_EQ(run.err, "The file " + config.string() +
                         " is the configuration file in use; export to another file.\n"
                         "qvxctl: nothing was written to " + config.string() + "\n");
  EXPECT_EQ(test::ReadFile(config), delivered);

  run = Ctl({"import", file, "Living room TV", "--name", "Telly", "--replace"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string expected = delivered;
  expected.erase(expected.find(tv), tv.size());
  expected.insert(expected.find("[X10]"), "[Telly]" + tv.substr(4));
  EXPECT_EQ(test::ReadFile(config), expected);
  EXPECT_EQ(Ctl({"commands", "telly"}).out, "Power\nVol+\nVol-\nCh+\nCh-\n");

  test::WriteFile(dir / "other.cfg", "[General]\r\n[End]\r\n");
  run = Ctl({"import", (dir / "other.cfg").string(), "[General]"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "This is not a valid configuration file!\n");
}

}  // namespace
}  // namespace qvx
