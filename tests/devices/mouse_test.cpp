#include "qvx/devices/mouse.h"

// Before Xlib, which defines macros (None, Bool) that clash with gtest and our names.
#include <gtest/gtest.h>

#include "qvx/config/devices.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "desktop_fixtures.h"
#include "tests/support/env.h"

namespace qvx::devices {
namespace {

using qvx::test::VirtualDisplay;
using qvx::test::WaitUntil;

// One Xvfb for the suite, with a focused window over the whole screen that records the
// button and key events the X server delivers to it.
class MouseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    display_ = new VirtualDisplay();
    if (display_->ok()) setenv("DISPLAY", display_->display().c_str(), 1);
    // The X11 session of the virtual display, whatever session runs the tests.
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("XDG_SESSION_TYPE");
  }
  static void TearDownTestSuite() {
    delete display_;
    display_ = nullptr;
    unsetenv("DISPLAY");
  }

  void SetUp() override {
    QVX_SKIP_UNLESS(display_->ok(), "Xvfb could not be started (package xvfb)");
    x_ = XOpenDisplay(display_->display().c_str());
    ASSERT_NE(x_, nullptr);
    Window root = DefaultRootWindow(x_);
    window_ = XCreateSimpleWindow(x_, root, 0, 0, 640, 480, 0, 0, 0);
    XSelectInput(x_, window_,
                 ButtonPressMask | ButtonReleaseMask | KeyPressMask | KeyReleaseMask |
                     StructureNotifyMask);
    XMapRaised(x_, window_);
    XSync(x_, False);
    XEvent event;
    do XNextEvent(x_, &event);
    while (event.type != MapNotify);
    XSetInputFocus(x_, window_, RevertToParent, CurrentTime);
    XSync(x_, False);
    mouse_.MoveTo(100, 100);
    Drain();
  }

  void TearDown() override {
    if (x_ == nullptr) return;
    XDestroyWindow(x_, window_);
    XCloseDisplay(x_);
  }

  void Drain() {
    XSync(x_, False);
    while (XPending(x_)) {
      XEvent event;
      XNextEvent(x_, &event);
    }
  }

  // The button and key events that arrived, as "press 1 release 1 ..." or "key a ...".
  std::string Events(size_t expectedCount) {
    std::vector<std::string> seen;
    WaitUntil(
        [&] {
          while (XPending(x_)) {
            XEvent event;
            XNextEvent(x_, &event);
            if (event.type == ButtonPress)
              seen.push_back("press " + std::to_string(event.xbutton.button));
            else if (event.type == ButtonRelease)
              seen.push_back("release " + std::to_string(event.xbutton.button));
            else if (event.type == KeyPress)
              seen.push_back(std::string("key ") +
                             XKeysymToString(XLookupKeysym(&event.xkey, 0)));
          }
          return seen.size() >= expectedCount;
        },
        1000);
    // Anything more that is on its way is caught as well.
    XSync(x_, False);
    while (XPending(x_)) {
      XEvent event;
      XNextEvent(x_, &event);
      if (event.type == ButtonPress || event.type == ButtonRelease || event.type == KeyPress)
        seen.push_back("unexpected");
    }
    std::ostringstream text;
    for (size_t i = 0; i < seen.size(); ++i) text << (i ? " " : "") << seen[i];
    return text.str();
  }

  void Pointer(int& x, int& y) {
    Window root = 0, child = 0;
    int wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(x_, DefaultRootWindow(x_), &root, &child, &x, &y, &wx, &wy, &mask);
  }

  static VirtualDisplay* display_;
  Display* x_ = nullptr;
  Window window_ = 0;
  clsMouse mouse_{platform::SystemInput()};
};
VirtualDisplay* MouseTest::display_ = nullptr;

struct MoveCase {
  const char* word;
  int dx;
  int dy;
  const char* status;
};

TEST_F(MouseTest, MoveWordsMoveThePointerFivePixelsAndSayWhere) {
  const MoveCase cases[] = {
      {"left", -5, 0, "Mouse LEFT"},         {"leftup", -5, -5, "Mouse LEFTUP"},
      {"up", 0, -5, "Mouse UP"},             {"rightup", 5, -5, "Mouse RIGHTUP"},
      {"right", 5, 0, "Mouse RIGHT"},        {"rightdown", 5, 5, "Mouse RIGHTDOWN"},
      {"DOWN", 0, 5, "Mouse DOWN"},          {"LeftDown", -5, 5, "Mouse LEFTDOWN"},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.word);
    mouse_.MoveTo(200, 200);
    EXPECT_EQ(ExecuteMouseCommand(mouse_, c.word), c.status);
    int x = 0, y = 0;
    Pointer(x, y);
    EXPECT_EQ(x, 200 + c.dx);
    EXPECT_EQ(y, 200 + c.dy);
  }
}

TEST_F(MouseTest, TenRightCommandsMoveFiftyPixelsAndTheEdgeClips) {
  mouse_.MoveTo(300, 50);
  for (int i = 0; i < 10; ++i) ExecuteMouseCommand(mouse_, "right");
  int x = 0, y = 0;
  Pointer(x, y);
  EXPECT_EQ(x, 350);
  EXPECT_EQ(y, 50);

  mouse_.MoveTo(2, 0);
  ExecuteMouseCommand(mouse_, "leftup");
  EXPECT_EQ(mouse_.CurrentX(), 0);
  EXPECT_EQ(mouse_.CurrentY(), 0);
}

TEST_F(MouseTest, PositionPropertiesReadAndSetOneCoordinate) {
  mouse_.MoveTo(40, 60);
  mouse_.SetCurrentX(123);
  EXPECT_EQ(mouse_.CurrentX(), 123);
  EXPECT_EQ(mouse_.CurrentY(), 60);
  mouse_.SetCurrentY(77);
  EXPECT_EQ(mouse_.CurrentX(), 123);
  EXPECT_EQ(mouse_.CurrentY(), 77);
  mouse_.MoveRelative(-23, 3);
  EXPECT_EQ(mouse_.CurrentX(), 100);
  EXPECT_EQ(mouse_.CurrentY(), 80);
}

struct ClickCase {
  const char* word;
  const char* status;
  size_t eventCount;
  const char* events;
};

TEST_F(MouseTest, ClickWordsDeliverButtonEventsToTheWindowUnderThePointer) {
  const ClickCase cases[] = {
      {"left click", "Mouse left click", 2, "press 1 release 1"},
      {"LEFT CLICK", "Mouse left click", 2, "press 1 release 1"},
      {"right click", "Mouse right click", 2, "press 3 release 3"},
      {"doubleclick", "Mouse double click", 4, "press 1 release 1 press 1 release 1"},
      {"middle click", "", 0, ""},
      {"wheel", "", 0, ""},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE(c.word);
    EXPECT_EQ(ExecuteMouseCommand(mouse_, c.word), c.status);
    EXPECT_EQ(Events(c.eventCount), c.events);
  }
}

TEST_F(MouseTest, ButtonCodesOutsideTheThreeButtonsDoNothing) {
  mouse_.Click(4);
  EXPECT_EQ(Events(2), "press 2 release 2");
  mouse_.Click(3);
  mouse_.MouseDown(8);
  EXPECT_EQ(Events(0), "");
  mouse_.MouseDown(2);
  mouse_.MouseUp(2);
  EXPECT_EQ(Events(2), "press 3 release 3");
}

struct KeyCase {
  const char* name;
  const char* keysym;
};

TEST_F(MouseTest, KeyboardCommandsPressTheNamedKey) {
  const KeyCase cases[] = {
      {"A", "a"},           {"esc", "Escape"},       {"F12", "F12"},
      {"COMMA", "comma"},   {".", "period"},         {"/", "KP_Divide"},
      {"*", "KP_Multiply"}, {"-", "minus"},          {"BCKSPACE", "BackSpace"},
      {"NUMENTER", "KP_Enter"}, {"ENTER", "Return"}, {"space", "space"},
      {"\\", "backslash"},  {"PAGEUP", "Prior"},     {"NUM7", "KP_Home"},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExecuteKeyboardCommand(platform::SystemInput(), c.name), "");
    EXPECT_EQ(Events(1), std::string("key ") + c.keysym);
  }
}

TEST_F(MouseTest, EveryKeyOfTheVocabularyArrives) {
  std::istringstream names{std::string(kKeyboardKeys)};
  std::string name;
  int count = 0;
  while (std::getline(names, name, ',')) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(KeyFromName(name).has_value());
    ExecuteKeyboardCommand(platform::SystemInput(), name);
    std::string events = Events(1);
    EXPECT_TRUE(events.starts_with("key ")) << events;
    EXPECT_EQ(events.find("unexpected"), std::string::npos) << events;
    ++count;
  }
  EXPECT_EQ(count, 97);
}

TEST_F(MouseTest, UnknownKeyNamesPressNothing) {
  for (const char* name : {"", "F13", "COMMAS", ",", "NUM-"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(KeyFromName(name).has_value());
    EXPECT_EQ(ExecuteKeyboardCommand(platform::SystemInput(), name), "");
    EXPECT_EQ(Events(0), "");
  }
}

// Without an X display and without a uinput device the words say what is missing instead of
// reporting what did not happen.
TEST(MouseWithoutDisplay, WordsSayThatNoInputDeviceIsReachable) {
  const qvx::test::ScopedEnv display("DISPLAY", ":qvx-none");
  const qvx::test::ScopedEnv uinput("QVX_UINPUT", "none");
  const std::string unreachable = "Mouse and keyboard need an X display, or write access to /dev/uinput!";
  clsMouse mouse(platform::SystemInput());
  EXPECT_EQ(ExecuteMouseCommand(mouse, "left"), unreachable);
  EXPECT_EQ(ExecuteMouseCommand(mouse, "left click"), unreachable);
  EXPECT_EQ(ExecuteMouseCommand(mouse, "wiggle"), "");
  EXPECT_EQ(mouse.CurrentX(), 0);
  EXPECT_EQ(ExecuteKeyboardCommand(platform::SystemInput(), "A"), unreachable);
}

}  // namespace
}  // namespace qvx::devices
