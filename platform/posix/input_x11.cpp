#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// Xlib names its result type Status with a macro; the one used here is platform::Status.
#undef Status

#include <iterator>
#include <memory>

#include "platform/posix/input_devices.h"
#include "platform/posix/shared_library.h"

namespace platform {
namespace {

#define QVX_X11_FUNCTIONS(X) \
  X(XOpenDisplay)            \
  X(XCloseDisplay)           \
  X(XQueryPointer)           \
  X(XKeysymToKeycode)        \
  X(XSync)

#define QVX_XTST_FUNCTIONS(X) \
  X(XTestQueryExtension)      \
  X(XTestFakeMotionEvent)     \
  X(XTestFakeButtonEvent)     \
  X(XTestFakeKeyEvent)

// The Xlib and XTest functions, from libX11 and libXtst (QVX_LIBX11 and QVX_LIBXTST name
// other files). Programs that never move the mouse or press a key do not load them.
struct XFunctions : FunctionTable {
  QVX_X11_FUNCTIONS(QVX_FUNCTION_POINTER)
  QVX_XTST_FUNCTIONS(QVX_FUNCTION_POINTER)

  XFunctions() {
    Open("libX11.so.6", "QVX_LIBX11");
    QVX_X11_FUNCTIONS(QVX_RESOLVE_FUNCTION)
    Open("libXtst.so.6", "QVX_LIBXTST");
    QVX_XTST_FUNCTIONS(QVX_RESOLVE_FUNCTION)
  }
};

// Loaded on the first call, once for all threads.
const XFunctions& Xlib() {
  static const XFunctions functions;
  return functions;
}

// One display connection per call: each action is a few requests, and a fresh connection
// follows the display the session runs on now.
struct DisplayCloser {
  void operator()(Display* display) const { Xlib().XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// The display with its XTest extension; null when there is none, or no X library to reach it.
DisplayPtr OpenDisplay() {
  const XFunctions& x = Xlib();
  if (!x.loaded()) return nullptr;
  DisplayPtr display(x.XOpenDisplay(nullptr));
  if (!display) return display;
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!x.XTestQueryExtension(display.get(), &eventBase, &errorBase, &major, &minor))
    display.reset();
  return display;
}

// X keysym of each key, in the order of platform::Key. The punctuation keys are those of the
// US layout; the keypad's "/" and "*" sit beside Num Lock.
constexpr KeySym kKeySyms[] = {
    XK_Escape, XK_F1, XK_F2, XK_F3, XK_F4, XK_F5, XK_F6, XK_F7, XK_F8, XK_F9, XK_F10, XK_F11,
    XK_F12, XK_Print, XK_Scroll_Lock, XK_Pause,
    XK_grave, XK_1, XK_2, XK_3, XK_4, XK_5, XK_6, XK_7, XK_8, XK_9, XK_0, XK_minus, XK_equal,
    XK_BackSpace,
    XK_Insert, XK_Home, XK_Prior, XK_Num_Lock, XK_KP_Divide, XK_KP_Multiply,
    XK_Tab, XK_q, XK_w, XK_e, XK_r, XK_t, XK_y, XK_u, XK_i, XK_o, XK_p, XK_bracketleft,
    XK_bracketright, XK_Return,
    XK_Caps_Lock, XK_a, XK_s, XK_d, XK_f, XK_g, XK_h, XK_j, XK_k, XK_l, XK_semicolon,
    XK_apostrophe, XK_backslash,
    XK_Shift_L, XK_z, XK_x, XK_c, XK_v, XK_b, XK_n, XK_m, XK_comma, XK_period,
    XK_Control_L, XK_Super_L, XK_Alt_L, XK_space, XK_ISO_Level3_Shift, XK_Menu,
    XK_Left, XK_Right, XK_Down, XK_Up,
    XK_KP_1, XK_KP_2, XK_KP_3, XK_KP_4, XK_KP_5, XK_KP_6, XK_KP_7, XK_KP_8, XK_KP_9, XK_KP_0,
    XK_KP_Decimal, XK_KP_Add, XK_KP_Enter,
};
static_assert(std::size(kKeySyms) == static_cast<size_t>(Key::kNumEnter) + 1);

unsigned int ButtonNumber(MouseButton button) {
  switch (button) {
    case MouseButton::kLeft: return Button1;
    case MouseButton::kMiddle: return Button2;
    case MouseButton::kRight: return Button3;
  }
  return Button1;
}

Status NoDisplay() {
  if (!Xlib().loaded()) return Status(StatusCode::NotFound, "no X library: " + Xlib().error());
  return Status(StatusCode::NotFound, "no X display with XTest is reachable");
}

class XInput final : public Input {
 public:
  Status GetCursorPos(int& x, int& y) override {
    x = y = 0;
    DisplayPtr display = OpenDisplay();
    if (!display) return NoDisplay();
    Window root = 0, child = 0;
    int windowX = 0, windowY = 0;
    unsigned int mask = 0;
    if (!Xlib().XQueryPointer(display.get(), DefaultRootWindow(display.get()), &root, &child, &x,
                              &y, &windowX, &windowY, &mask))
      return Status(StatusCode::SystemFailure, "the pointer is on another screen");
    return {};
  }

  Status SetCursorPos(int x, int y) override {
    DisplayPtr display = OpenDisplay();
    if (!display) return NoDisplay();
    Xlib().XTestFakeMotionEvent(display.get(), DefaultScreen(display.get()), x, y, CurrentTime);
    Xlib().XSync(display.get(), False);
    return {};
  }

  Status SendMouseButton(MouseButton button, bool down) override {
    DisplayPtr display = OpenDisplay();
    if (!display) return NoDisplay();
    Xlib().XTestFakeButtonEvent(display.get(), ButtonNumber(button), down ? True : False,
                                CurrentTime);
    Xlib().XSync(display.get(), False);
    return {};
  }

  Status SendKey(Key key, bool down) override {
    DisplayPtr display = OpenDisplay();
    if (!display) return NoDisplay();
    KeyCode code = Xlib().XKeysymToKeycode(display.get(), kKeySyms[static_cast<size_t>(key)]);
    if (code == 0) return Status(StatusCode::NotSupported, "the keyboard map has no such key");
    Xlib().XTestFakeKeyEvent(display.get(), code, down ? True : False, CurrentTime);
    Xlib().XSync(display.get(), False);
    return {};
  }
};

}  // namespace

Input& XTestInput() {
  static XInput input;
  return input;
}

}  // namespace platform
