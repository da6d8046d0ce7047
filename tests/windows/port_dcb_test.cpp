// What Pulsio and the serial-port procedures write into a port's DCB and time-outs on Windows,
// seen through stand-ins for the driver's calls. The port is left as another program may leave
// it: every flag set, an odd line format and time-outs of its own.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include "platform/win32/comm_calls.h"
#include "pulsio/pulsio.h"
#include "qvx/ircode/port/serialport.h"
#include "tests/support/env.h"

namespace {

using qvx::test::ScopedEnv;

constexpr int32_t kPort = 7;

// The driver's state as the stand-ins keep it.
struct Driver {
  DCB dcb{};
  COMMTIMEOUTS timeouts{};
  int stateWrites = 0;
  int timeoutWrites = 0;
};
Driver driver;

BOOL WINAPI GetState(HANDLE, LPDCB dcb) {
  *dcb = driver.dcb;
  return TRUE;
}
BOOL WINAPI SetState(HANDLE, LPDCB dcb) {
  driver.dcb = *dcb;
  ++driver.stateWrites;
  return TRUE;
}
BOOL WINAPI GetTimeouts(HANDLE, LPCOMMTIMEOUTS timeouts) {
  *timeouts = driver.timeouts;
  return TRUE;
}
BOOL WINAPI SetTimeouts(HANDLE, LPCOMMTIMEOUTS timeouts) {
  driver.timeouts = *timeouts;
  ++driver.timeoutWrites;
  return TRUE;
}

Driver LeftByAnotherProgram() {
  Driver left;
  DCB& d = left.dcb;
  d.DCBlength = sizeof d;
  d.BaudRate = 1200;
  d.ByteSize = 7;
  d.Parity = EVENPARITY;
  d.StopBits = TWOSTOPBITS;
  d.fBinary = d.fParity = d.fOutxCtsFlow = d.fOutxDsrFlow = 1;
  d.fDtrControl = DTR_CONTROL_HANDSHAKE;
  d.fDsrSensitivity = d.fTXContinueOnXoff = d.fOutX = d.fInX = d.fErrorChar = d.fNull = 1;
  d.fRtsControl = RTS_CONTROL_HANDSHAKE;
  d.fAbortOnError = 1;
  left.timeouts = {1, 2, 3, 4, 5};
  return left;
}

// The DCB flags by their Win32 names.
struct Flag {
  const char* name;
  DWORD (*of)(const DCB&);
};
const Flag kFlags[] = {
    {"fBinary", [](const DCB& d) -> DWORD { return d.fBinary; }},
    {"fParity", [](const DCB& d) -> DWORD { return d.fParity; }},
    {"fOutxCtsFlow", [](const DCB& d) -> DWORD { return d.fOutxCtsFlow; }},
    {"fOutxDsrFlow", [](const DCB& d) -> DWORD { return d.fOutxDsrFlow; }},
    {"fDtrControl", [](const DCB& d) -> DWORD { return d.fDtrControl; }},
    {"fDsrSensitivity", [](const DCB& d) -> DWORD { return d.fDsrSensitivity; }},
    {"fTXContinueOnXoff", [](const DCB& d) -> DWORD { return d.fTXContinueOnXoff; }},
    {"fOutX", [](const DCB& d) -> DWORD { return d.fOutX; }},
    {"fInX", [](const DCB& d) -> DWORD { return d.fInX; }},
    {"fErrorChar", [](const DCB& d) -> DWORD { return d.fErrorChar; }},
    {"fNull", [](const DCB& d) -> DWORD { return d.fNull; }},
    {"fRtsControl", [](const DCB& d) -> DWORD { return d.fRtsControl; }},
    {"fAbortOnError", [](const DCB& d) -> DWORD { return d.fAbortOnError; }},
};
constexpr size_t kFlagCount = std::size(kFlags);

class PortDcb : public ::testing::Test {
 protected:
  void SetUp() override {
    // A plain file opens like a port; the stand-ins answer for the driver.
    char folder[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    path_ = std::string(folder) + "qvx_port_dcb_" + std::to_string(GetCurrentProcessId());
    const HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    port_.emplace("QVX_COM" + std::to_string(kPort), path_);
    saved_ = platform::ActiveCommCalls();
    platform::ActiveCommCalls() = {GetState, SetState, GetTimeouts, SetTimeouts};
    driver = LeftByAnotherProgram();
  }
  void TearDown() override {
    CloseCom();
    platform::ActiveCommCalls() = saved_;
    port_.reset();
    DeleteFileA(path_.c_str());
  }

  std::string path_;
  std::optional<ScopedEnv> port_;
  platform::CommCalls saved_;
};

TEST_F(PortDcb, EachOpenAndChangeWritesTheFlagsTheSystemNames) {
  const Driver left = LeftByAnotherProgram();
  struct Row {
    const char* what;
    std::function<bool()> run;
    DWORD flags[kFlagCount];  // in the order of kFlags
    DWORD baudRate;
    BYTE byteSize, parity, stopBits;
    COMMTIMEOUTS timeouts;
  };
  const Row rows[] = {
      // Parity checking, error characters and sending on after XOFF stay as the port had them.
      {"OpenCom",
       [] { return OpenCom(kPort) == 1; },
       {1, 1, 0, 0, DTR_CONTROL_DISABLE, 0, 1, 0, 0, 1, 0, RTS_CONTROL_DISABLE, 0},
       115200, 6, NOPARITY, ONESTOPBIT,
       {100, 100, 100, 4, 5}},
      // SetMode changes the line format alone; JustOpenCom changes nothing.
      {"JustOpenCom and SetMode 2",
       [] { return JustOpenCom(kPort) == 1 && SetMode(2) == 1; },
       {1, 1, 1, 1, DTR_CONTROL_HANDSHAKE, 1, 1, 1, 1, 1, 1, RTS_CONTROL_HANDSHAKE, 1},
       9600, 8, NOPARITY, ONESTOPBIT,
       left.timeouts},
      // fBinary alone; parity and stop bits stay.
      {"OpenPort and SetPortMode",
       [] {
         qvx::ircode::PortHandle handle = qvx::ircode::OpenPort(kPort);
         const bool done = qvx::ircode::SetPortMode(9600, 8, handle);
         qvx::ircode::ClosePort(handle);
         return done;
       },
       {1, 0, 0, 0, DTR_CONTROL_DISABLE, 0, 0, 0, 0, 0, 0, RTS_CONTROL_DISABLE, 0},
       9600, 8, EVENPARITY, TWOSTOPBITS,
       {MAXDWORD, 0, 0, 1, 10}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    driver = left;
    ASSERT_TRUE(row.run());
    EXPECT_EQ(driver.stateWrites, 1);
    for (size_t i = 0; i < kFlagCount; ++i) {
      EXPECT_EQ(kFlags[i].of(driver.dcb), row.flags[i]) << kFlags[i].name;
    }
    EXPECT_EQ(driver.dcb.BaudRate, row.baudRate);
    EXPECT_EQ(driver.dcb.ByteSize, row.byteSize);
    EXPECT_EQ(driver.dcb.Parity, row.parity);
    EXPECT_EQ(driver.dcb.StopBits, row.stopBits);
    const COMMTIMEOUTS& t = driver.timeouts;
    EXPECT_EQ(t.ReadIntervalTimeout, row.timeouts.ReadIntervalTimeout);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, row.timeouts.ReadTotalTimeoutMultiplier);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, row.timeouts.ReadTotalTimeoutConstant);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, row.timeouts.WriteTotalTimeoutMultiplier);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, row.timeouts.WriteTotalTimeoutConstant);
    CloseCom();
  }
}

}  // namespace
