// The program itself beside a real tray host: qvx started with MONITOR on under Xvfb, with
// trayer holding the notification area, docks its icon there and never maps its window. The
// X server is asked, not the program.

#include <gtest/gtest.h>

// After GoogleTest, which names a type None, as Xlib's macro does.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "desktop_fixtures.h"
#include "tests/support/support.h"

namespace qvx::test {
namespace {

namespace fs = std::filesystem;

constexpr int kStartMs = 20000;

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

// What the X server knows of the windows of one program (by the name in its WM_CLASS).
class WindowsOf {
 public:
  WindowsOf(const std::string& display, std::string program)
      : display_(XOpenDisplay(display.c_str())), program_(std::move(program)) {
    // A window may vanish between listing and asking of it while the program starts; Xlib's
    // own handler would end the test for that. A vanished window simply counts as none.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  bool ok() const { return display_ != nullptr; }

  // True once some program owns the notification area of screen 0.
  bool TrayHostPresent() {
    const Atom selection = XInternAtom(display_.get(), "_NET_SYSTEM_TRAY_S0", False);
    return XGetSelectionOwner(display_.get(), selection) != None;
  }
  // The program's windows that a window of another program holds: its docked tray icons.
  int Docked() { return CountDocked(DefaultRootWindow(display_.get()), false); }
  // The program's top-level windows, and those of them the server shows.
  int TopLevel() { return CountTopLevel(false); }
  int Viewable() { return CountTopLevel(true); }

 private:
  bool Ours(Window window) {
    XClassHint hint{};
    if (!XGetClassHint(display_.get(), window, &hint)) return false;
    const bool ours = hint.res_name != nullptr && program_ == hint.res_name;
    XFree(hint.res_name);
    XFree(hint.res_class);
    return ours;
  }

  std::vector<Window> Children(Window window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> found;
    if (!XQueryTree(display_.get(), window, &root, &parent, &children, &count)) return found;
    found.assign(children, children + count);
    if (children) XFree(children);
    return found;
  }

  int CountDocked(Window window, bool insideOther) {
    int found = 0;
    for (const Window child : Children(window)) {
      const bool ours = Ours(child);
      if (ours && insideOther) ++found;
      found += CountDocked(child, insideOther || !ours);
    }
    return found;
  }

  int CountTopLevel(bool viewableOnly) {
    int found = 0;
    for (const Window child : Children(DefaultRootWindow(display_.get()))) {
      if (!Ours(child)) continue;
      XWindowAttributes attributes{};
      const bool viewable = XGetWindowAttributes(display_.get(), child, &attributes) &&
                            attributes.map_state == IsViewable;
      if (!viewableOnly || viewable) ++found;
    }
    return found;
  }

  std::unique_ptr<Display, DisplayCloser> display_;
  std::string program_;
};

TEST(Tray, WithMonitoringOnTheProgramStartsInTheTrayWithItsWindowHidden) {
  VirtualDisplay display;
  QVX_SKIP_UNLESS(display.ok(), "Xvfb could not be started (package xvfb)");
  QVX_SKIP_UNLESS(HaveProgram("trayer"), "no tray host (package trayer)");
  WindowsOf x(display.display(), "qvx");
  ASSERT_TRUE(x.ok());

  TempDir dir;
  const fs::path config = dir / "pelgrin.cfg";
  std::string text = ReadFile(DeliveredConfig());
  text.replace(text.find("MONITOR= 0"), 10, "MONITOR= 1");
  WriteFile(config, text);

  ChildProcess tray({"/usr/bin/env", "DISPLAY=" + display.display(), "trayer", "--SetDockType",
                     "true", "--expand", "true", "--height", "32", "--widthtype", "request"});
  ASSERT_TRUE(WaitUntil([&] { return x.TrayHostPresent(); }, kStartMs));

  std::vector<std::string> argv = {"/usr/bin/env", "-i", "PATH=/usr/bin:/bin",
                                   "HOME=" + dir.path().string(), "DISPLAY=" + display.display(),
                                   "QT_QPA_PLATFORM=xcb", "DBUS_SESSION_BUS_ADDRESS=disabled:",
                                   "QVX_SIM_CLOCK=virtual", "QVX_AUDIO_DEVICE=none",
                                   "QVX_UINPUT=none", "QVX_COM1=sim:ir", "QVX_COM2=sim:cm11"};
  for (int n = 3; n <= 30; ++n) argv.push_back("QVX_COM" + std::to_string(n) + "=sim:absent");
  argv.insert(argv.end(), {(BinDir() / "qvx").string(), "--config", config.string()});
  ChildProcess program(argv);

  ASSERT_TRUE(WaitUntil([&] { return x.Docked() == 1; }, kStartMs)) << "no icon docked";
  EXPECT_GE(x.TopLevel(), 1);  // the main window exists
  // The window stays unmapped, also after the program has settled.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_EQ(x.Viewable(), 0);
  EXPECT_EQ(x.Docked(), 1);
  EXPECT_TRUE(program.Running());
}

}  // namespace
}  // namespace qvx::test
