#include "qvx/devices/mouse.h"

#include "qvx/config/text.h"

namespace qvx::devices {
namespace {

constexpr int kMoveStep = 5;

std::optional<platform::MouseButton> ButtonOf(int button) {
  switch (button) {
    case kLeftButton: return platform::MouseButton::kLeft;
    case kRightButton: return platform::MouseButton::kRight;
    case kMiddleButton: return platform::MouseButton::kMiddle;
    default: return std::nullopt;
  }
}

struct MoveWord {
  std::string_view word;  // upper case, as the status text shows it
  int dx;
  int dy;
};
constexpr MoveWord kMoveWords[] = {
    {"LEFT", -kMoveStep, 0},         {"LEFTUP", -kMoveStep, -kMoveStep},
    {"UP", 0, -kMoveStep},           {"RIGHTUP", kMoveStep, -kMoveStep},
    {"RIGHT", kMoveStep, 0},         {"RIGHTDOWN", kMoveStep, kMoveStep},
    {"DOWN", 0, kMoveStep},          {"LEFTDOWN", -kMoveStep, kMoveStep},
};

struct KeyName {
  std::string_view name;
  platform::Key key;
};
// The keyboard vocabulary with its keys. "-" stands once: the vocabulary names it twice (main
// row and keypad) and a name can only mean one key, the first.
using platform::Key;
constexpr KeyName kKeyNames[] = {
    {"ESC", Key::kEscape}, {"F1", Key::kF1}, {"F2", Key::kF2}, {"F3", Key::kF3},
    {"F4", Key::kF4}, {"F5", Key::kF5}, {"F6", Key::kF6}, {"F7", Key::kF7}, {"F8", Key::kF8},
    {"F9", Key::kF9}, {"F10", Key::kF10}, {"F11", Key::kF11}, {"F12", Key::kF12},
    {"PRINTSCR", Key::kPrintScreen}, {"SCROLLOCK", Key::kScrollLock}, {"BREAK", Key::kBreak},
    {"`", Key::kGrave}, {"1", Key::k1}, {"2", Key::k2}, {"3", Key::k3}, {"4", Key::k4},
    {"5", Key::k5}, {"6", Key::k6}, {"7", Key::k7}, {"8", Key::k8}, {"9", Key::k9},
    {"0", Key::k0}, {"-", Key::kMinus}, {"=", Key::kEquals}, {"BCKSPACE", Key::kBackspace},
    {"INSERT", Key::kInsert}, {"HOME", Key::kHome}, {"PAGEUP", Key::kPageUp},
    {"NUMLOCK", Key::kNumLock}, {"/", Key::kNumDivide}, {"*", Key::kNumMultiply},
    {"TAB", Key::kTab}, {"Q", Key::kQ}, {"W", Key::kW}, {"E", Key::kE}, {"R", Key::kR},
    {"T", Key::kT}, {"Y", Key::kY}, {"U", Key::kU}, {"I", Key::kI}, {"O", Key::kO},
    {"P", Key::kP}, {"[", Key::kLeftBracket}, {"]", Key::kRightBracket}, {"ENTER", Key::kEnter},
    {"CAPS", Key::kCapsLock}, {"A", Key::kA}, {"S", Key::kS}, {"D", Key::kD}, {"F", Key::kF},
    {"G", Key::kG}, {"H", Key::kH}, {"J", Key::kJ}, {"K", Key::kK}, {"L", Key::kL},
    {";", Key::kSemicolon}, {"'", Key::kApostrophe}, {"\\", Key::kBackslash},
    {"SHIFT", Key::kShift}, {"Z", Key::kZ}, {"X", Key::kX}, {"C", Key::kC}, {"V", Key::kV},
    {"B", Key::kB}, {"N", Key::kN}, {"M", Key::kM}, {"COMMA", Key::kComma},
    {".", Key::kPeriod}, {"CTRL", Key::kCtrl}, {"WINKEY", Key::kWindows}, {"ALT", Key::kAlt},
    {"SPACE", Key::kSpace}, {"ALTGR", Key::kAltGr}, {"MENU", Key::kMenu},
    {"LEFT", Key::kLeft}, {"RIGHT", Key::kRight}, {"DOWN", Key::kDown}, {"UP", Key::kUp},
    {"NUM1", Key::kNum1}, {"NUM2", Key::kNum2}, {"NUM3", Key::kNum3}, {"NUM4", Key::kNum4},
    {"NUM5", Key::kNum5}, {"NUM6", Key::kNum6}, {"NUM7", Key::kNum7}, {"NUM8", Key::kNum8},
    {"NUM9", Key::kNum9}, {"NUM0", Key::kNum0}, {"NUM.", Key::kNumDecimal},
    {"NUM+", Key::kNumAdd}, {"NUMENTER", Key::kNumEnter},
};

}  // namespace

int clsMouse::CurrentX() {
  int x = 0, y = 0;
  input_.GetCursorPos(x, y);
  return x;
}

void clsMouse::SetCurrentX(int x) { MoveTo(x, CurrentY()); }

int clsMouse::CurrentY() {
  int x = 0, y = 0;
  input_.GetCursorPos(x, y);
  return y;
}

void clsMouse::SetCurrentY(int y) { MoveTo(CurrentX(), y); }

void clsMouse::MoveTo(int x, int y) { input_.SetCursorPos(x, y); }

void clsMouse::MoveRelative(int dx, int dy) {
  int x = 0, y = 0;
  if (input_.GetCursorPos(x, y)) input_.SetCursorPos(x + dx, y + dy);
}

void clsMouse::DblClick(int button) {
  Click(button);
  Click(button);
}

void clsMouse::Click(int button) {
  MouseDown(button);
  MouseUp(button);
}

void clsMouse::MouseDown(int button) {
  if (auto which = ButtonOf(button)) input_.SendMouseButton(*which, true);
}

void clsMouse::MouseUp(int button) {
  if (auto which = ButtonOf(button)) input_.SendMouseButton(*which, false);
}

std::string ExecuteMouseCommand(clsMouse& mouse, std::string_view command) {
  if (EqualsIgnoreCase(command, "LEFT CLICK")) {
    mouse.Click(kLeftButton);
    return "Mouse left click";
  }
  if (EqualsIgnoreCase(command, "RIGHT CLICK")) {
    mouse.Click(kRightButton);
    return "Mouse right click";
  }
  if (EqualsIgnoreCase(command, "DOUBLECLICK")) {
    mouse.DblClick(kLeftButton);
    return "Mouse double click";
  }
  for (const MoveWord& move : kMoveWords) {
    if (!EqualsIgnoreCase(command, move.word)) continue;
    mouse.MoveRelative(move.dx, move.dy);
    return "Mouse " + std::string(move.word);
  }
  return {};
}

std::optional<platform::Key> KeyFromName(std::string_view name) {
  for (const KeyName& entry : kKeyNames) {
    if (EqualsIgnoreCase(entry.name, name)) return entry.key;
  }
  return std::nullopt;
}

std::string ExecuteKeyboardCommand(platform::Input& input, std::string_view command) {
  if (auto key = KeyFromName(command)) {
    input.SendKey(*key, true);
    input.SendKey(*key, false);
  }
  return {};
}

}  // namespace qvx::devices
