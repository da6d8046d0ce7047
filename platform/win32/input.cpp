#include "platform/input.h"

#include <windows.h>

#include <iterator>

namespace platform {
namespace {

// Virtual-key code of each key, in the order of platform::Key (US layout for punctuation).
constexpr WORD kVirtualKeys[] = {
    VK_ESCAPE, VK_F1, VK_F2, VK_F3, VK_F4, VK_F5, VK_F6, VK_F7, VK_F8, VK_F9, VK_F10, VK_F11,
    VK_F12, VK_SNAPSHOT, VK_SCROLL, VK_PAUSE,
    VK_OEM_3, '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', VK_OEM_MINUS, VK_OEM_PLUS,
    VK_BACK,
    VK_INSERT, VK_HOME, VK_PRIOR, VK_NUMLOCK, VK_DIVIDE, VK_MULTIPLY,
    VK_TAB, 'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', VK_OEM_4, VK_OEM_6, VK_RETURN,
    VK_CAPITAL, 'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', VK_OEM_1, VK_OEM_7, VK_OEM_5,
    VK_SHIFT, 'Z', 'X', 'C', 'V', 'B', 'N', 'M', VK_OEM_COMMA, VK_OEM_PERIOD,
    VK_CONTROL, VK_LWIN, VK_MENU, VK_SPACE, VK_RMENU, VK_APPS,
    VK_LEFT, VK_RIGHT, VK_DOWN, VK_UP,
    VK_NUMPAD1, VK_NUMPAD2, VK_NUMPAD3, VK_NUMPAD4, VK_NUMPAD5, VK_NUMPAD6, VK_NUMPAD7,
    VK_NUMPAD8, VK_NUMPAD9, VK_NUMPAD0,
    VK_DECIMAL, VK_ADD, VK_RETURN,
};
static_assert(std::size(kVirtualKeys) == static_cast<size_t>(Key::kNumEnter) + 1);

// Keys whose scan code carries the extended prefix (the keypad's Enter shares VK_RETURN).
bool Extended(Key key) {
  switch (key) {
    case Key::kInsert: case Key::kHome: case Key::kPageUp: case Key::kNumDivide:
    case Key::kLeft: case Key::kRight: case Key::kDown: case Key::kUp:
    case Key::kWindows: case Key::kAltGr: case Key::kMenu: case Key::kNumEnter:
      return true;
    default:
      return false;
  }
}

DWORD ButtonFlag(MouseButton button, bool down) {
  switch (button) {
    case MouseButton::kRight: return down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    case MouseButton::kMiddle: return down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
    case MouseButton::kLeft: break;
  }
  return down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
}

// SendInput answers 0 when the input desktop is not reachable (a service, a locked session).
Status Send(INPUT& input) {
  if (SendInput(1, &input, sizeof input) == 1) return {};
  return Status(StatusCode::NotFound, "no input desktop is reachable");
}

class Win32Input final : public Input {
 public:
  Status GetCursorPos(int& x, int& y) override {
    x = y = 0;
    POINT point{};
    if (!::GetCursorPos(&point)) return Status(StatusCode::NotFound, "no input desktop is reachable");
    x = point.x;
    y = point.y;
    return {};
  }

  Status SetCursorPos(int x, int y) override {
    if (!::SetCursorPos(x, y)) return Status(StatusCode::NotFound, "no input desktop is reachable");
    return {};
  }

  Status SendMouseButton(MouseButton button, bool down) override {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = ButtonFlag(button, down);
    return Send(input);
  }

  Status SendKey(Key key, bool down) override {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = kVirtualKeys[static_cast<size_t>(key)];
    input.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (Extended(key) ? KEYEVENTF_EXTENDEDKEY : 0);
    return Send(input);
  }
};

}  // namespace

Input& SystemInput() {
  static Win32Input input;
  return input;
}

}  // namespace platform
