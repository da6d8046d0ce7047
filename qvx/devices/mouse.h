#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/input.h"

namespace qvx::devices {

// Button codes of clsMouse.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

// The screen pointer and its buttons; holds no state, every call reads or sets the pointer
// through the desktop's input. Calls do nothing while no display is reachable; the getters
// then answer 0.
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
  void MoveTo(int x, int y);
  // Moves the pointer by (dx, dy) from where it is.
  void MoveRelative(int dx, int dy);
  // Two clicks in a row without a pause.
  void DblClick(int button);
  // Presses and releases button (1 left, 2 right, 4 middle; anything else does nothing).
  void Click(int button);
  // Presses button where the pointer is.
  void MouseDown(int button);
  // Releases button where the pointer is.
  void MouseUp(int button);

 private:
  platform::Input& input_;
};

// The words themselves, as the lists offer them, are kMouseCommands and kKeyboardKeys of
// qvx/config/devices.h.

// Carries out one mouse word (case ignored); returns the status text, empty for an unknown word.
std::string ExecuteMouseCommand(clsMouse& mouse, std::string_view command);
// The key of a key name (case ignored); nothing for a name outside the keyboard vocabulary.
std::optional<platform::Key> KeyFromName(std::string_view name);
// Presses and releases the named key on `input`; returns the status text, which is empty.
std::string ExecuteKeyboardCommand(platform::Input& input, std::string_view command);

}  // namespace qvx::devices
