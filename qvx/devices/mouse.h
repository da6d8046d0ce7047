#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/input.h"

namespace qvx::devices {

// The status of a mouse or keyboard command while no input device can be reached.
inline constexpr std::string_view kInputUnreachable =
    "Mouse and keyboard need an X display, or write access to /dev/uinput!";

// Button codes of clsMouse.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

// The screen pointer and its buttons; holds no state, every call reads or sets the pointer
// through the desktop's input. Calls do nothing while no input device is reachable; the getters
// then answer 0, and the actions report what the input said.
class clsMouse {
 public:
  // Drives `input`, which must outlive the mouse.
  explicit clsMouse(platform::Input& input) : input_(input) {}

  // x of the pointer.
  int CurrentX();
  // Moves the pointer to (x, current y).
  void SetCurrentX(int x);
  // y of the pointer.
  int CurrentY();
  // Moves the pointer to (current x, y).
  void SetCurrentY(int y);
  // Moves the pointer to (x, y).
  platform::Status MoveTo(int x, int y);
  // Moves the pointer by (dx, dy) from where it is.
  platform::Status MoveRelative(int dx, int dy);
  // Two clicks in a row without a pause.
  platform::Status DblClick(int button);
  // Presses and releases button (1 left, 2 right, 4 middle; anything else does nothing).
  platform::Status Click(int button);
  // Presses button where the pointer is.
  platform::Status MouseDown(int button);
  // Releases button where the pointer is.
  platform::Status MouseUp(int button);

 private:
  platform::Input& input_;
};

// The words themselves, as the lists offer them, are kMouseCommands and kKeyboardKeys of
// qvx/config/devices.h.

// Carries out one mouse word (case ignored); returns the status text, empty for an unknown word,
// kInputUnreachable when no input device can be reached.
std::string ExecuteMouseCommand(clsMouse& mouse, std::string_view command);
// The key of a key name (case ignored); nothing for a name outside the keyboard vocabulary.
std::optional<platform::Key> KeyFromName(std::string_view name);
// Presses and releases the named key on `input`; returns the status text: empty, or
// kInputUnreachable when no input device can be reached.
std::string ExecuteKeyboardCommand(platform::Input& input, std::string_view command);

}  // namespace qvx::devices
