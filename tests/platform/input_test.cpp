// Synthetic input on a POSIX desktop without the machine's own devices: the uinput device behind
// fake system calls (what it sets up, the events it writes, how it fails), and the choice
// between XTest and uinput by the session.

#include <errno.h>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/input_devices.h"
#include "tests/support/env.h"
#include "tests/support/fake_services.h"

namespace platform {
namespace {

using qvx::test::ScopedEnv;

std::string Event(int type, int code, int value) {
  return std::to_string(type) + " " + std::to_string(code) + " " + std::to_string(value);
}
const std::string kReport = Event(EV_SYN, SYN_REPORT, 0);

// A uinput device file that records what is done to it; `openError` and `writeError` make
// those calls fail with that errno.
class FakeUinput final : public UinputSyscalls {
 public:
  int openError = 0;
  int writeError = 0;
  std::vector<std::string> opened;
  std::vector<std::pair<unsigned long, std::uintptr_t>> settings;  // UI_SET_* requests
  std::string name;
  int created = 0;
  int destroyed = 0;
  int pausedMs = 0;
  std::vector<std::string> events;

  int Open(const char* path, int flags) override {
    opened.push_back(path);
    EXPECT_EQ(flags & O_ACCMODE, O_WRONLY);
    if (openError != 0) {
      errno = openError;
      return -1;
    }
    return 42;
  }
  int Close(int) override { return 0; }
  int Ioctl(int, unsigned long request, std::uintptr_t argument) override {
    if (request == UI_DEV_SETUP) {
      name = reinterpret_cast<const uinput_setup*>(argument)->name;
    } else if (request == UI_DEV_CREATE) {
      ++created;
    } else if (request == UI_DEV_DESTROY) {
      ++destroyed;
    } else {
      settings.emplace_back(request, argument);
    }
    return 0;
  }
  ssize_t Write(int, const void* bytes, std::size_t size) override {
    if (writeError != 0) {
      errno = writeError;
      return -1;
    }
    const auto* records = static_cast<const input_event*>(bytes);
    for (std::size_t i = 0; i < size / sizeof(input_event); ++i)
      events.push_back(Event(records[i].type, records[i].code, records[i].value));
    return static_cast<ssize_t>(size);
  }
  void PauseMs(int ms) override { pausedMs += ms; }

  bool Set(unsigned long request, unsigned int value) const {
    return std::count(settings.begin(), settings.end(), std::pair{request, std::uintptr_t{value}}) == 1;
  }
};

// Each action writes its events and the report that ends them; the device is made once, with
// every button, key and axis the actions use, and given time before its first event.
TEST(UinputInput, WritesEachActionAsInputEvents) {
  struct Case {
    const char* name;
    std::function<Status(Input&)> action;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"left button down", [](Input& in) { return in.SendMouseButton(MouseButton::kLeft, true); },
       {Event(EV_KEY, BTN_LEFT, 1), kReport}},
      {"right button up", [](Input& in) { return in.SendMouseButton(MouseButton::kRight, false); },
       {Event(EV_KEY, BTN_RIGHT, 0), kReport}},
      {"middle button down", [](Input& in) { return in.SendMouseButton(MouseButton::kMiddle, true); },
       {Event(EV_KEY, BTN_MIDDLE, 1), kReport}},
      {"a step left and down", [](Input& in) { return in.MoveCursorBy(-5, 5); },
       {Event(EV_REL, REL_X, -5), Event(EV_REL, REL_Y, 5), kReport}},
      {"key A down", [](Input& in) { return in.SendKey(Key::kA, true); },
       {Event(EV_KEY, KEY_A, 1), kReport}},
      {"keypad Enter up", [](Input& in) { return in.SendKey(Key::kNumEnter, false); },
       {Event(EV_KEY, KEY_KPENTER, 0), kReport}},
      {"Print Screen down", [](Input& in) { return in.SendKey(Key::kPrintScreen, true); },
       {Event(EV_KEY, KEY_SYSRQ, 1), kReport}},
  };
  FakeUinput device;
  {
    std::unique_ptr<Input> input = OpenUinputInput("/run/fake-uinput", device);
    EXPECT_TRUE(device.opened.empty());  // nothing is made before it is used
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      device.events.clear();
      EXPECT_TRUE(c.action(*input).ok());
      EXPECT_EQ(device.events, c.events);
    }
    int x = 7, y = 7;
    EXPECT_EQ(input->GetCursorPos(x, y).code(), StatusCode::NotSupported);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(input->SetCursorPos(10, 10).code(), StatusCode::NotSupported);
  }
  EXPECT_EQ(device.opened, std::vector<std::string>{"/run/fake-uinput"});
  EXPECT_EQ(device.created, 1);
  EXPECT_EQ(device.destroyed, 1);
  EXPECT_EQ(device.pausedMs, 200);
  EXPECT_EQ(device.name, "qvx remote control input");
  for (const auto& [request, value] :
       {std::pair{UI_SET_EVBIT, EV_KEY}, {UI_SET_EVBIT, EV_REL}, {UI_SET_RELBIT, REL_X},
        {UI_SET_RELBIT, REL_Y}, {UI_SET_KEYBIT, BTN_LEFT}, {UI_SET_KEYBIT, BTN_MIDDLE},
        {UI_SET_KEYBIT, KEY_ESC}, {UI_SET_KEYBIT, KEY_KPENTER}})
    EXPECT_TRUE(device.Set(request, static_cast<unsigned int>(value))) << request << " " << value;
}

TEST(UinputInput, ADeviceThatCannotBeHadIsNoInputAndAFailedWriteIsAFailure) {
  for (const int error : {EACCES, ENOENT}) {
    FakeUinput device;
    device.openError = error;
    std::unique_ptr<Input> input = OpenUinputInput("/run/fake-uinput", device);
    const Status status = input->SendKey(Key::kA, true);
    EXPECT_EQ(status.code(), StatusCode::NotFound);
    EXPECT_TRUE(status.osText().starts_with("open /run/fake-uinput: ")) << status.osText();
    EXPECT_TRUE(device.events.empty());
  }
  FakeUinput device;
  device.writeError = EIO;
  std::unique_ptr<Input> input = OpenUinputInput("/run/fake-uinput", device);
  EXPECT_EQ(input->MoveCursorBy(1, 1).code(), StatusCode::SystemFailure);
}

// The session decides: XTest where X11 reaches a display, the uinput device in a Wayland
// session or without X, and NotFound naming both where neither is there.
TEST(SessionInput, TakesXTestOnX11AndUinputElsewhere) {
  struct Case {
    const char* name;
    const char* waylandDisplay;  // null: unset
    const char* sessionType;
    bool xReachable;
    const char* uinputDevice;    // QVX_UINPUT
    int openError;
    const char* used;            // "x11", "uinput" or "none"
    std::vector<std::string> reasons;  // parts of the NotFound text
  };
  const Case cases[] = {
      {"X11", nullptr, "x11", true, "/run/fake-uinput", 0, "x11", {}},
      {"no X display", nullptr, nullptr, false, "/run/fake-uinput", 0, "uinput", {}},
      {"Wayland with XWayland", "wayland-0", "wayland", true, "/run/fake-uinput", 0, "uinput", {}},
      {"Wayland announced by its session type", nullptr, "wayland", true, "/run/fake-uinput", 0,
       "uinput", {}},
      {"Wayland, uinput not writable", "wayland-0", nullptr, true, "/run/fake-uinput", EACCES,
       "none", {"Wayland", "open /run/fake-uinput: Permission denied"}},
      {"neither", nullptr, nullptr, false, "none", 0, "none", {"no display", "QVX_UINPUT=none"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<ScopedEnv> wayland, session;
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("XDG_SESSION_TYPE");
    if (c.waylandDisplay) wayland.emplace("WAYLAND_DISPLAY", c.waylandDisplay);
    if (c.sessionType) session.emplace("XDG_SESSION_TYPE", c.sessionType);
    ScopedEnv device{"QVX_UINPUT", c.uinputDevice};
    qvx::test::FakeInput x11;
    x11.displayReachable = c.xReachable;
    FakeUinput uinput;
    uinput.openError = c.openError;
    std::unique_ptr<Input> input = OpenSessionInput(x11, uinput);

    const Status status = input->SendMouseButton(MouseButton::kLeft, true);
    EXPECT_EQ(status.ok(), std::string(c.used) != "none");
    EXPECT_EQ(x11.events.empty(), std::string(c.used) != "x11");
    EXPECT_EQ(uinput.events.empty(), std::string(c.used) != "uinput");
    for (const std::string& reason : c.reasons)
      EXPECT_NE(status.osText().find(reason), std::string::npos) << status.osText();
    if (!status.ok()) {
      EXPECT_EQ(status.code(), StatusCode::NotFound);
    }
  }
}

}  // namespace
}  // namespace platform
