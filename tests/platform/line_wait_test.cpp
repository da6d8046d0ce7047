// The termios port's wait for a change of its input lines, on a pseudo-terminal whose modem
// lines a driver stand-in drives: the wait sleeps in the kernel's call, ends at the change or
// at its time-out, and says so where the driver cannot wait.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>

#include "platform/posix/serial_syscalls.h"
#include "platform/serial.h"
#include "tests/support/terminal.h"

namespace {

using namespace platform;

// A UART's driver as the port sees it: DCD on until TIOCMIWAIT's sleep sees the light.
class DrivenLines : public SerialSyscalls {
 public:
  int dcd = TIOCM_CAR;
  int changeAfterMs = -1;  // the light arrives this long into a wait; -1: never
  int waitError = 0;       // what the driver answers TIOCMIWAIT with instead
  int waits = 0;

  int Ioctl(int fd, unsigned long request, void* argument) override {
    if (request == TIOCMGET) {
      *static_cast<int*>(argument) = dcd;
      return 0;
    }
    if (request != TIOCMIWAIT) return SerialSyscalls::Ioctl(fd, request, argument);
    ++waits;
    if (waitError != 0) {
      errno = waitError;
      return -1;
    }
    // Sleeps as the driver does, until the change or a signal.
    if (::poll(nullptr, 0, changeAfterMs) < 0) return -1;
    dcd = 0;
    return 0;
  }
};

TEST(LineWait, SleepsUntilTheLineChangesOrTheTimeOutAndSaysWhereItCannot) {
  struct Case {
    const char* name;
    int dcd;
    int changeAfterMs;
    int waitError;
    int64_t timeoutUs;
    StatusCode code;
    bool dcdAfter;
    int waits;  // calls of TIOCMIWAIT, over two waits
  };
  const Case cases[] = {
      {"dark line, time-out", TIOCM_CAR, -1, 0, 30'000, StatusCode::Ok, true, 2},
      {"the light arrives", TIOCM_CAR, 20, 0, 60'000'000, StatusCode::Ok, false, 1},
      {"light already", 0, -1, 0, 60'000'000, StatusCode::Ok, false, 0},
      // Said at once, and remembered: the driver is not asked again.
      {"driver without the wait", TIOCM_CAR, -1, ENOTTY, 60'000'000, StatusCode::NotSupported,
       false, 1},
      {"adapter unplugged", TIOCM_CAR, -1, EIO, 60'000'000, StatusCode::SystemFailure, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qvx::test::PseudoTerminal pty;
    DrivenLines driver;
    driver.dcd = c.dcd;
    driver.changeAfterMs = c.changeAfterMs;
    driver.waitError = c.waitError;
    Status why;
    auto port = OpenSerialDevice(pty.Path(), why, driver);
    ASSERT_NE(port, nullptr) << why.osText();
    for (int wait = 0; wait < 2; ++wait) {
      uint32_t lines = 0xFF;
      const auto start = std::chrono::steady_clock::now();
      const Status waited = port->WaitModemChange(kStatusDcd, kStatusDcd, c.timeoutUs, lines);
      const auto tookUs = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - start).count();
      EXPECT_EQ(waited.code(), c.code) << waited.osText();
      EXPECT_EQ((lines & kStatusDcd) != 0, c.dcdAfter);
      if (c.code == StatusCode::Ok && c.dcdAfter) {
        EXPECT_GE(tookUs, c.timeoutUs);
      }
      if (c.code == StatusCode::SystemFailure) {
        EXPECT_NE(waited.osText().find("line changes of"), std::string::npos) << waited.osText();
      }
    }
    EXPECT_EQ(driver.waits, c.waits);
  }
}

}  // namespace
