#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "platform/posix/input_devices.h"

namespace platform {
namespace {

// Linux key code of each key, in the order of platform::Key (US layout for punctuation; the
// keypad's "/" and "*" sit beside Num Lock).
constexpr uint16_t kKeyCodes[] = {
    KEY_ESC, KEY_F1, KEY_F2, KEY_F3, KEY_F4, KEY_F5, KEY_F6, KEY_F7, KEY_F8, KEY_F9, KEY_F10,
    KEY_F11, KEY_F12, KEY_SYSRQ, KEY_SCROLLLOCK, KEY_PAUSE,
    KEY_GRAVE, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9, KEY_0, KEY_MINUS,
    KEY_EQUAL, KEY_BACKSPACE,
    KEY_INSERT, KEY_HOME, KEY_PAGEUP, KEY_NUMLOCK, KEY_KPSLASH, KEY_KPASTERISK,
    KEY_TAB, KEY_Q, KEY_W, KEY_E, KEY_R, KEY_T, KEY_Y, KEY_U, KEY_I, KEY_O, KEY_P,
    KEY_LEFTBRACE, KEY_RIGHTBRACE, KEY_ENTER,
    KEY_CAPSLOCK, KEY_A, KEY_S, KEY_D, KEY_F, KEY_G, KEY_H, KEY_J, KEY_K, KEY_L, KEY_SEMICOLON,
    KEY_APOSTROPHE, KEY_BACKSLASH,
    KEY_LEFTSHIFT, KEY_Z, KEY_X, KEY_C, KEY_V, KEY_B, KEY_N, KEY_M, KEY_COMMA, KEY_DOT,
    KEY_LEFTCTRL, KEY_LEFTMETA, KEY_LEFTALT, KEY_SPACE, KEY_RIGHTALT, KEY_COMPOSE,
    KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_UP,
    KEY_KP1, KEY_KP2, KEY_KP3, KEY_KP4, KEY_KP5, KEY_KP6, KEY_KP7, KEY_KP8, KEY_KP9, KEY_KP0,
    KEY_KPDOT, KEY_KPPLUS, KEY_KPENTER,
};
static_assert(std::size(kKeyCodes) == static_cast<size_t>(Key::kNumEnter) + 1);

constexpr uint16_t kButtonCodes[] = {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE};

// How long a new device is given before its first event: the compositor adds it
// asynchronously and drops what arrives before.
constexpr int kSettleMs = 200;
constexpr char kDeviceName[] = "qvx remote control input";

uint16_t ButtonCode(MouseButton button) {
  switch (button) {
    case MouseButton::kRight: return BTN_RIGHT;
    case MouseButton::kMiddle: return BTN_MIDDLE;
    case MouseButton::kLeft: break;
  }
  return BTN_LEFT;
}

struct Event {
  uint16_t type;
  uint16_t code;
  int32_t value;
};

class UinputInput final : public Input {
 public:
  UinputInput(std::string path, UinputSyscalls& calls) : path_(std::move(path)), calls_(calls) {}

  ~UinputInput() override {
    if (fd_ < 0) return;
    calls_.Ioctl(fd_, UI_DEV_DESTROY, 0);
    calls_.Close(fd_);
  }

  Status GetCursorPos(int& x, int& y) override {
    x = y = 0;
    if (Status device = Device(); !device) return device;
    return StepsOnly();
  }

  Status SetCursorPos(int, int) override {
    if (Status device = Device(); !device) return device;
    return StepsOnly();
  }

  Status MoveCursorBy(int dx, int dy) override {
    return Emit({{EV_REL, REL_X, dx}, {EV_REL, REL_Y, dy}});
  }

  Status SendMouseButton(MouseButton button, bool down) override {
    return Emit({{EV_KEY, ButtonCode(button), down ? 1 : 0}});
  }

  Status SendKey(Key key, bool down) override {
    return Emit({{EV_KEY, kKeyCodes[static_cast<size_t>(key)], down ? 1 : 0}});
  }

 private:
  static Status StepsOnly() {
    return Status(StatusCode::NotSupported, "a uinput pointer moves by steps only");
  }

  // The device, created on first use.
  Status Device() {
    if (fd_ >= 0) return {};
    const int fd = calls_.Open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      return Unreachable(Status::FromErrno(error, "open " + path_));
    }
    if (Status made = Create(fd); !made) {
      calls_.Close(fd);
      return made;
    }
    fd_ = fd;
    calls_.PauseMs(kSettleMs);
    return {};
  }

  Status Create(int fd) {
    const auto set = [&](unsigned long request, unsigned int value) {
      return calls_.Ioctl(fd, request, value) == 0;
    };
    bool ok = set(UI_SET_EVBIT, EV_KEY) && set(UI_SET_EVBIT, EV_REL) && set(UI_SET_EVBIT, EV_SYN) &&
              set(UI_SET_RELBIT, REL_X) && set(UI_SET_RELBIT, REL_Y);
    for (const uint16_t code : kButtonCodes) ok = ok && set(UI_SET_KEYBIT, code);
    for (const uint16_t code : kKeyCodes) ok = ok && set(UI_SET_KEYBIT, code);
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x1209;  // the shared vendor id for open projects
    setup.id.product = 0x7172;
    std::strncpy(setup.name, kDeviceName, sizeof setup.name - 1);
    ok = ok && calls_.Ioctl(fd, UI_DEV_SETUP, reinterpret_cast<std::uintptr_t>(&setup)) == 0 &&
         calls_.Ioctl(fd, UI_DEV_CREATE, 0) == 0;
    if (ok) return {};
    const int error = errno;
    return Unreachable(Status::FromErrno(error, "set up " + path_));
  }

  // A device that cannot be had is no input at all, whatever the system said about it.
  static Status Unreachable(const Status& why) { return Status(StatusCode::NotFound, why.osText()); }

  // Writes the events and the report that ends them in one write.
  Status Emit(std::initializer_list<Event> events) {
    if (Status device = Device(); !device) return device;
    std::vector<input_event> records;
    for (const Event& event : events) {
      input_event record{};
      record.type = event.type;
      record.code = event.code;
      record.value = event.value;
      records.push_back(record);
    }
    records.push_back(input_event{});  // EV_SYN, SYN_REPORT, 0
    const std::size_t bytes = records.size() * sizeof(input_event);
    const ssize_t written = calls_.Write(fd_, records.data(), bytes);
    if (written == static_cast<ssize_t>(bytes)) return {};
    if (written < 0) {
      const int error = errno;
      return Status::FromErrno(error, "write " + path_);
    }
    return Status(StatusCode::SystemFailure, "write " + path_ + ": short write");
  }

  std::string path_;
  UinputSyscalls& calls_;
  int fd_ = -1;
};

}  // namespace

int UinputSyscalls::Open(const char* path, int flags) { return ::open(path, flags); }
int UinputSyscalls::Close(int fd) { return ::close(fd); }
int UinputSyscalls::Ioctl(int fd, unsigned long request, std::uintptr_t argument) {
  return ::ioctl(fd, request, argument);
}
ssize_t UinputSyscalls::Write(int fd, const void* bytes, std::size_t size) {
  return ::write(fd, bytes, size);
}
void UinputSyscalls::PauseMs(int ms) { ::usleep(static_cast<useconds_t>(ms) * 1000); }

UinputSyscalls& SystemUinputSyscalls() {
  static UinputSyscalls calls;
  return calls;
}

std::unique_ptr<Input> OpenUinputInput(std::string path, UinputSyscalls& calls) {
  return std::make_unique<UinputInput>(std::move(path), calls);
}

}  // namespace platform
