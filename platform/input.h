#pragma once

#include "platform/status.h"

namespace platform {

// Mouse buttons the system presses.
enum class MouseButton { kLeft, kRight, kMiddle };

// The keys the system can press, named after the keys of a PC keyboard.
enum class Key {
  kEscape, kF1, kF2, kF3, kF4, kF5, kF6, kF7, kF8, kF9, kF10, kF11, kF12,
  kPrintScreen, kScrollLock, kBreak,
  kGrave, k1, k2, k3, k4, k5, k6, k7, k8, k9, k0, kMinus, kEquals, kBackspace,
  kInsert, kHome, kPageUp, kNumLock, kNumDivide, kNumMultiply,
  kTab, kQ, kW, kE, kR, kT, kY, kU, kI, kO, kP, kLeftBracket, kRightBracket, kEnter,
  kCapsLock, kA, kS, kD, kF, kG, kH, kJ, kK, kL, kSemicolon, kApostrophe, kBackslash,
  kShift, kZ, kX, kC, kV, kB, kN, kM, kComma, kPeriod,
  kCtrl, kWindows, kAlt, kSpace, kAltGr, kMenu,
  kLeft, kRight, kDown, kUp,
  kNum1, kNum2, kNum3, kNum4, kNum5, kNum6, kNum7, kNum8, kNum9, kNum0,
  kNumDecimal, kNumAdd, kNumEnter,
};

// Synthetic pointer and keyboard input on the desktop (mouse_event, SetCursorPos, ...). Every
// call answers NotFound while no input device is reachable, with what was tried in osText().
class Input {
 public:
  virtual ~Input() = default;

  // Reads the pointer position in screen pixels; (0, 0) on failure. NotSupported where the
  // device moves the pointer by steps only.
  virtual Status GetCursorPos(int& x, int& y) = 0;
  // Moves the pointer to (x, y); the display clips it to the screen. NotSupported where the
  // device moves the pointer by steps only.
  virtual Status SetCursorPos(int x, int y) = 0;
  // Moves the pointer by (dx, dy) from where it is; the display clips it to the screen.
  virtual Status MoveCursorBy(int dx, int dy) {
    int x = 0, y = 0;
    if (Status read = GetCursorPos(x, y); !read) return read;
    return SetCursorPos(x + dx, y + dy);
  }
  // Presses (down) or releases a mouse button where the pointer is.
  virtual Status SendMouseButton(MouseButton button, bool down) = 0;
  // Presses (down) or releases a key; NotSupported when the keyboard has no such key.
  virtual Status SendKey(Key key, bool down) = 0;
};

// The desktop's input. On POSIX: the X server of DISPLAY through XTest on X11; in a Wayland
// session, or where no X display is reachable, the kernel's uinput device (QVX_UINPUT names
// another device file than /dev/uinput, "none" none). The X libraries are loaded on the first
// call (QVX_LIBX11 and QVX_LIBXTST name other files than libX11.so.6 and libXtst.so.6).
Input& SystemInput();

}  // namespace platform
