// The port map: its lines, and the devices it gives the ports beside QVX_COMn and the system's.

#include "qvx/config/portmap.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "tests/support/env.h"
#include "tests/support/support.h"

namespace qvx {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

// The port map beside the configuration decides a port's device, QVX_COMn still wins, and a
// port in neither is the system's. Nothing is opened.
TEST(PortMap, MapsThePortsBesideTheConfiguration) {
  TempDir dir;
  WriteFile(dir / "ports.cfg", "COM1=sim:mapped-ir\nCOM2 = /dev/ttyUSB7\nCOM 3=/dev/x\n");
  ScopedEnv com1("QVX_COM1", "");
  ScopedEnv com2("QVX_COM2", "sim:from-env");
  ScopedEnv com4("QVX_COM4", "");

  const std::vector<std::string> problems = UsePortMapBeside(dir / "pelgrin.cfg");

  EXPECT_EQ(platform::PortTarget(1), "sim:mapped-ir");
  EXPECT_EQ(platform::PortTarget(2), "sim:from-env");
  EXPECT_EQ(platform::PortTarget(4), "/dev/ttyS3");
  EXPECT_EQ(problems, std::vector<std::string>{(dir / "ports.cfg").string() +
                                               " line 3: COM 3 is no port (COM1 to COM9999)"});

  // Another configuration without a port map leaves no mapping behind.
  TempDir other;
  EXPECT_TRUE(UsePortMapBeside(other / "pelgrin.cfg").empty());
  EXPECT_EQ(platform::PortTarget(1), "/dev/ttyS0");
}

struct PortMapCase {
  const char* text;
  std::map<int32_t, std::string> targets;
  std::vector<std::string> problems;
};

TEST(PortMap, ReadsMappingsAndReportsTheLinesItSkips) {
  const std::vector<PortMapCase> cases = {
      {"COM1=/dev/ttyUSB0\n", {{1, "/dev/ttyUSB0"}}, {}},
      {"# comment\r\n\r\n  com12 =  /dev/rfcomm0 \r\nCom9999=sim:ir",
       {{12, "/dev/rfcomm0"}, {9999, "sim:ir"}},
       {}},
      {"\tCOM3=/dev/serial/by-id/usb-My Adapter-port0\t\n",
       {{3, "/dev/serial/by-id/usb-My Adapter-port0"}},
       {}},
      {"COM5=/dev/lirc0+/dev/lirc1\n", {{5, "/dev/lirc0+/dev/lirc1"}}, {}},
      {"COM1=/dev/a\nCOM1=/dev/b\n", {{1, "/dev/a"}}, {"line 2: COM1 is mapped on line 1 already"}},
      {"COM01=/dev/a\nCOM1=/dev/b\n",
       {{1, "/dev/a"}},
       {"line 2: COM1 is mapped on line 1 already"}},
      {"/dev/ttyUSB0\n", {}, {"line 1: expected COMn=DEVICE, found \"/dev/ttyUSB0\""}},
      {"COM=/dev/a\nLPT1=/dev/b\n",
       {},
       {"line 1: expected COMn=DEVICE, found \"COM=/dev/a\"",
        "line 2: expected COMn=DEVICE, found \"LPT1=/dev/b\""}},
      {"COM0=/dev/a\nCOM10000=/dev/b\nCOM2x=/dev/c\nCOM-1=/dev/d\n",
       {},
       {"line 1: COM0 is no port (COM1 to COM9999)",
        "line 2: COM10000 is no port (COM1 to COM9999)",
        "line 3: COM2x is no port (COM1 to COM9999)",
        "line 4: COM-1 is no port (COM1 to COM9999)"}},
      {"COM4=\nCOM5 =   \n", {}, {"line 1: COM4 names no device", "line 2: COM5 names no device"}},
      {"", {}, {}},
  };
  for (const PortMapCase& c : cases) {
    const PortMapReading reading = ParsePortMap(c.text);
    EXPECT_EQ(reading.targets, c.targets) << c.text;
    EXPECT_EQ(reading.problems, c.problems) << c.text;
  }
}

}  // namespace
}  // namespace qvx
