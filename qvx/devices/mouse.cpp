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

// The status text of an input action: its own text, unless no input device could be reached.
// Other failures (a key the keyboard map lacks) pass as the action's text, as the system's
// error mode has it.
std::string Reported(const std::optional<platform::Status>& done, std::string status) {
  if (done && done->code() == platform::StatusCode::NotFound) return std::string(kInputUnreachable);
  return status;
}

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

platform::Status clsMouse::MoveTo(int x, int y) { return input_.SetCursorPos(x, y); }

platform::Status clsMouse::MoveRelative(int dx, int dy) { return input_.MoveCursorBy(dx, dy); }

platform::Status clsMouse::DblClick(int button) {
  if (platform::Status first = Click(button); !first) return first;
  return Click(button);
}

platform::Status clsMouse::Click(int button) {
  if (platform::Status down = MouseDown(button); !down) return down;
  return MouseUp(button);
}

platform::Status clsMouse::MouseDown(int button) {
  const auto which = ButtonOf(button);
  return which ? input_.SendMouseButton(*which, true) : platform::Status();
}

platform::Status clsMouse::MouseUp(int button) {
  const auto which = ButtonOf(button);
  return which ? input_.SendMouseButton(*which, false) : platform::Status();
}

std::string ExecuteMouseCommand(clsMouse& mouse, std::string_view command) {
  std::optional<platform::Status> done;
  std::string status;
  if (EqualsIgnoreCase(command, "LEFT CLICK")) {
    done = mouse.Click(kLeftButton);
    status = "Mouse left click";
  } else if (EqualsIgnoreCase(command, "RIGHT CLICK")) {
    done = mouse.Click(kRightButton);
    status = "Mouse right click";
  } else if (EqualsIgnoreCase(command, "DOUBLECLICK")) {
    done = mouse.DblClick(kLeftButton);
    status = "Mouse double click";
  }
  for (const MoveWord& move : kMoveWords) {
    if (done || !EqualsIgnoreCase(command, move.word)) continue;
    done = mouse.MoveRelative(move.dx, move.dy);
    status = "Mouse " + std::string(move.word);
  }
  return Reported(done, status);
}

std::optional<platform::Key> KeyFromName(std::string_view name) {
  for (const KeyName& entry : kKeyNames) {
    if (EqualsIgnoreCase(entry.name, name)) return entry.key;
  }
  return std::nullopt;
}

std::string ExecuteKeyboardCommand(platform::Input& input, std::string_view command) {
  std::optional<platform::Status> done;
  if (auto key = KeyFromName(command)) {
    done = input.SendKey(*key, true);
    if (*done) done = input.SendKey(*key, false);
  }
  return Reported(done, "");
}

}  // namespace qvx::devices
