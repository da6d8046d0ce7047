#include <cstdlib>
#include <functional>
#include <string_view>

#include "platform/posix/input_devices.h"

namespace platform {
namespace {

constexpr const char* kDefaultDevice = "/dev/uinput";

// A Wayland compositor takes no input from XTest: what an X client fakes reaches the other X
// clients at most.
bool WaylandSession() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* type = std::getenv("XDG_SESSION_TYPE");
  return (wayland != nullptr && *wayland != '\0') ||
         (type != nullptr && std::string_view(type) == "wayland");
}

class SessionInput final : public Input {
 public:
  SessionInput(Input& x11, UinputSyscalls& calls) : x11_(x11), calls_(calls) {}

  Status GetCursorPos(int& x, int& y) override {
    return Route([&](Input& input) { return input.GetCursorPos(x, y); });
  }
  Status SetCursorPos(int x, int y) override {
    return Route([&](Input& input) { return input.SetCursorPos(x, y); });
  }
  Status MoveCursorBy(int dx, int dy) override {
    return Route([&](Input& input) { return input.MoveCursorBy(dx, dy); });
  }
  Status SendMouseButton(MouseButton button, bool down) override {
    return Route([&](Input& input) { return input.SendMouseButton(button, down); });
  }
  Status SendKey(Key key, bool down) override {
    return Route([&](Input& input) { return input.SendKey(key, down); });
  }

 private:
  // X11 first where it counts, then the kernel's device; the reasons of both when neither works.
  Status Route(const std::function<Status(Input&)>& action) {
    std::string tried;
    if (WaylandSession()) {
      tried = "a Wayland session takes no XTest input";
    } else {
      const Status x11 = action(x11_);
      if (x11.code() != StatusCode::NotFound) return x11;
      tried = x11.osText();
    }
    const Status kernel = Uinput(action);
    if (kernel.code() != StatusCode::NotFound) return kernel;
    return Status(StatusCode::NotFound, tried + "; " + kernel.osText());
  }

  Status Uinput(const std::function<Status(Input&)>& action) {
    const char* named = std::getenv("QVX_UINPUT");
    const std::string path = named != nullptr && *named != '\0' ? named : kDefaultDevice;
    if (path == "none") return Status(StatusCode::NotFound, "no uinput device (QVX_UINPUT=none)");
    // The device follows QVX_UINPUT; one made for another path is let go.
    if (!uinput_ || path != uinputPath_) {
      uinput_ = OpenUinputInput(path, calls_);
      uinputPath_ = path;
    }
    return action(*uinput_);
  }

  Input& x11_;
  UinputSyscalls& calls_;
  std::unique_ptr<Input> uinput_;
  std::string uinputPath_;
};

}  // namespace

std::unique_ptr<Input> OpenSessionInput(Input& x11, UinputSyscalls& calls) {
  return std::make_unique<SessionInput>(x11, calls);
}

Input& SystemInput() {
  static const std::unique_ptr<Input> input = OpenSessionInput(XTestInput(), SystemUinputSyscalls());
  return *input;
}

}  // namespace platform
