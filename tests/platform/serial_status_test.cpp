// Why a port call failed: the kind of failure and the system's words, for opening and for
// every system call of the termios port, made to fail through its system-call seam.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

#include "platform/posix/serial_syscalls.h"
#include "platform/serial.h"
#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "tests/support/terminal.h"

namespace {

using namespace platform;
using qvx::test::PseudoTerminal;
using qvx::test::ScopedEnv;

// Whether a break reaches a pseudo-terminal here: qemu's user-mode emulation, which runs the
// ARM build's tests, answers TIOCSBRK with ENOSYS.
bool BreakWorksOnATerminal() {
  PseudoTerminal pty;
  const int fd = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY);
  const bool works = fd >= 0 && ::ioctl(fd, TIOCSBRK) == 0 && ::ioctl(fd, TIOCCBRK) == 0;
  if (fd >= 0) ::close(fd);
  return works;
}

TEST(OpenStatus, TellsAPortInUseFromOneThatIsMissing) {
  PseudoTerminal pty;
  ASSERT_FALSE(pty.Path().empty());
  sim::VirtualClock clock;
  auto peer = sim::InstallIrPeer("status-ir", clock);
  ScopedEnv pty3("QVX_COM3", pty.Path());
  ScopedEnv missing4("QVX_COM4", "/dev/qvx-no-such-port");
  ScopedEnv peer5("QVX_COM5", "sim:status-ir");
  ScopedEnv unknown6("QVX_COM6", "sim:status-nobody");

  Status why;
  const PortHandle pty3Handle = OpenSerialPort(3, &why);
  ASSERT_GT(pty3Handle, 0);
  EXPECT_TRUE(why.ok());
  const PortHandle peer5Handle = OpenSerialPort(5, &why);
  ASSERT_GT(peer5Handle, 0);

  struct Case {
    int32_t port;
    StatusCode code;
    const char* osText;  // part of the system's words
  } cases[] = {
      {3, StatusCode::InUse, "lock "},
      {4, StatusCode::NotFound, "open /dev/qvx-no-such-port: No such file or directory"},
      {5, StatusCode::InUse, "open already"},
      {6, StatusCode::NotFound, "sim:status-nobody"},
      {0, StatusCode::BadArgument, "COM0"},
      {10000, StatusCode::BadArgument, "COM10000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    EXPECT_EQ(OpenSerialPort(c.port, &why), kPortFailed);
    EXPECT_EQ(why.code(), c.code) << why.osText();
    EXPECT_NE(why.osText().find(c.osText), std::string::npos) << why.osText();
  }
  EXPECT_TRUE(ClosePort(pty3Handle));
  EXPECT_TRUE(ClosePort(peer5Handle));
  EXPECT_EQ(ClosePort(peer5Handle).code(), StatusCode::BadArgument);
}

// The real system calls, except the one a test names, which fails with the errno it gives.
class FailingSyscalls : public SerialSyscalls {
 public:
  std::string failing;
  int error = EIO;
  unsigned long failingIoctl = 0;

  int Open(const char* path, int flags) override {
    return Fails("open") ? -1 : SerialSyscalls::Open(path, flags);
  }
  int Close(int fd) override {
    const int result = SerialSyscalls::Close(fd);
    return Fails("close") ? -1 : result;  // closed all the same, as close(2) does on EIO
  }
  int Flock(int fd, int operation) override {
    return Fails("flock") ? -1 : SerialSyscalls::Flock(fd, operation);
  }
  int Ioctl(int fd, unsigned long request, void* argument) override {
    if (failing == "ioctl" && request == failingIoctl) {
      errno = error;
      return -1;
    }
    return SerialSyscalls::Ioctl(fd, request, argument);
  }
  int TcSetAttr(int fd, int when, const termios* tio) override {
    return Fails("tcsetattr") ? -1 : SerialSyscalls::TcSetAttr(fd, when, tio);
  }
  ssize_t Read(int fd, void* buffer, std::size_t size) override {
    return Fails("read") ? -1 : SerialSyscalls::Read(fd, buffer, size);
  }
  ssize_t Write(int fd, const void* bytes, std::size_t size) override {
    return Fails("write") ? -1 : SerialSyscalls::Write(fd, bytes, size);
  }

 private:
  bool Fails(const char* call) {
    if (failing != call) return false;
    errno = error;
    return true;
  }
};

class SyscallFailure : public ::testing::Test {
 protected:
  std::unique_ptr<SerialPort> Open() {
    Status why;
    auto port = OpenSerialDevice(pty_.Path(), why, calls_);
    EXPECT_TRUE(why.ok()) << why.osText();
    return port;
  }

  PseudoTerminal pty_;
  FailingSyscalls calls_;
};

TEST_F(SyscallFailure, OpeningReportsTheCallThatFailed) {
  struct Case {
    const char* call;
    int error;
    StatusCode code;
  } cases[] = {
      {"open", EBUSY, StatusCode::InUse},
      {"open", EACCES, StatusCode::AccessDenied},
      {"open", ENOENT, StatusCode::NotFound},
      {"flock", EWOULDBLOCK, StatusCode::InUse},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " " + std::to_string(c.error));
    calls_.failing = c.call;
    calls_.error = c.error;
    Status why;
    EXPECT_EQ(OpenSerialDevice(pty_.Path(), why, calls_), nullptr);
    EXPECT_EQ(why.code(), c.code);
    EXPECT_NE(why.osText().find(pty_.Path()), std::string::npos) << why.osText();
  }
  // Nothing stays locked behind a failed opening.
  calls_.failing.clear();
  EXPECT_NE(Open(), nullptr);
}

TEST_F(SyscallFailure, EveryCallOfAnOpenPortReportsTheSystemsError) {
  auto port = Open();
  ASSERT_NE(port, nullptr);
  PortSettings settings;
  ASSERT_TRUE(port->GetSettings(settings));
  uint8_t byte = 0x55;
  size_t count = 99;
  uint32_t lines = 0xFF;
  struct Case {
    const char* call;
    unsigned long ioctl;
    std::function<Status()> run;
    const char* words;
    bool ptyHasIt;  // a pseudo-terminal has no modem lines, so these fail there anyway
  } cases[] = {
      {"tcsetattr", 0, [&] { return port->SetSettings(settings); }, "tcsetattr", true},
      {"ioctl", TIOCMBIS, [&] { return port->SetLine(OutputLine::Dtr, true); }, "DTR on", false},
      {"ioctl", TIOCSBRK, [&] { return port->SetLine(OutputLine::Break, true); }, "break on",
       BreakWorksOnATerminal()},
      {"ioctl", TIOCMGET, [&] { return port->GetModemStatus(lines); }, "modem lines of", false},
      {"write", 0, [&] { return port->Write(std::span(&byte, 1), count); }, "write to", true},
      {"write", 0, [&] { return port->TransmitChar(byte); }, "write to", true},
      {"read", 0, [&] { return port->Read(std::span(&byte, 1), count); }, "read from", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words);
    calls_.failing = c.call;
    calls_.failingIoctl = c.ioctl;
    calls_.error = EIO;
    const Status status = c.run();
    EXPECT_EQ(status.code(), StatusCode::SystemFailure);
    EXPECT_EQ(status.osText(), std::string(c.words) + " " + pty_.Path() + ": Input/output error");
    calls_.failing.clear();
    if (c.ptyHasIt) {
      EXPECT_TRUE(c.run()) << c.words;
    }
  }
  // The out-parameters of a failed call are set all the same.
  calls_.failing = "ioctl";
  calls_.failingIoctl = TIOCMGET;
  lines = 0xFF;
  EXPECT_FALSE(port->GetModemStatus(lines));
  EXPECT_EQ(lines, 0u);
  calls_.failing = "read";
  count = 99;
  EXPECT_FALSE(port->Read(std::span(&byte, 1), count));
  EXPECT_EQ(count, 0u);
  calls_.failing.clear();

  // A format or driver behaviour termios cannot take is refused before any system call.
  for (bool PortSettings::*unavailable :
       {&PortSettings::dsrFlow, &PortSettings::dsrSensitivity, &PortSettings::errorChar,
        &PortSettings::discardNulls, &PortSettings::abortOnError}) {
    settings.*unavailable = true;
    EXPECT_EQ(port->SetSettings(settings).code(), StatusCode::NotSupported);
    settings.*unavailable = false;
  }
  settings.baudRate = 12345;
  EXPECT_EQ(port->SetSettings(settings).code(), StatusCode::BadArgument);

  // Close reports the system's error; the port is closed all the same.
  calls_.failing = "close";
  const Status closed = port->Close();
  EXPECT_EQ(closed.osText(), "close " + pty_.Path() + ": Input/output error");
  calls_.failing.clear();
  EXPECT_TRUE(port->Close());
  EXPECT_EQ(port->GetModemStatus(lines).code(), StatusCode::BadArgument);
  EXPECT_NE(Open(), nullptr);
}

}  // namespace
