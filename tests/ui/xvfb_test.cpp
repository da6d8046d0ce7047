// The window drawn by a real X server (Xvfb): screenshots of both layouts, taken from the
// server, must show the window with the colours of the selected device.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <cstdlib>
#include <set>

#include "desktop_fixtures.h"
#include "qvx/ui/model/presentation.h"
#include "tests/ui/window_fixture.h"

namespace qvx::test {
namespace {

// Lets the server draw what the window asked for.
void Settle(QWidget& window) {
  for (int i = 0; i < 100 && !(window.windowHandle() && window.windowHandle()->isExposed()); ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(20);
  }
  for (int i = 0; i < 10; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(20);
  }
}

struct Picture {
  QImage image;
  int distinctColours = 0;
  // Pixels of the colour's hue: the style lightens list backgrounds towards their edges, so
  // the channels that are off in the colour stay below the half.
  int pixelsOf(QRgb colour) const {
    const auto near = [](int value, int wanted) { return wanted > 0 ? value > 200 : value < 128; };
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, y);
        count += near(qRed(pixel), qRed(colour)) && near(qGreen(pixel), qGreen(colour)) &&
                 near(qBlue(pixel), qBlue(colour));
      }
    }
    return count;
  }
};

Picture Screenshot(QWidget& window, const QString& file) {
  Settle(window);
  Picture picture;
  picture.image = window.screen()->grabWindow(window.winId()).toImage();
  std::set<QRgb> colours;
  for (int y = 0; y < picture.image.height(); ++y)
    for (int x = 0; x < picture.image.width(); ++x) colours.insert(picture.image.pixel(x, y));
  picture.distinctColours = static_cast<int>(colours.size());
  picture.image.save(QDir::current().filePath(file));
  return picture;
}

TEST_F(WindowTest, BothLayoutsAreDrawnOnARealXServer) {
  ASSERT_EQ(QGuiApplication::platformName().toStdString(), "xcb");
  Open();
  const Picture full = Screenshot(*window_, "qvx-full.png");
  EXPECT_EQ(full.image.size(), QSize(ui::Pixels(8385), ui::Pixels(5070)));
  EXPECT_GT(full.distinctColours, 8);
  EXPECT_GT(full.pixelsOf(qRgb(255, 0, 255)), 500);  // the magenta lists of an infrared device

  Choose("Protocol", "X10&Lamp");
  const Picture compact = Screenshot(*window_, "qvx-compact.png");
  EXPECT_EQ(compact.image.size(), QSize(ui::Pixels(3540), ui::Pixels(2000)));
  EXPECT_GT(compact.distinctColours, 8);
  EXPECT_GT(compact.pixelsOf(qRgb(255, 255, 0)), 500);  // the yellow lists of an X10 module
  EXPECT_EQ(compact.pixelsOf(qRgb(255, 0, 255)), 0);
}

}  // namespace
}  // namespace qvx::test

int main(int argc, char** argv) {
  qvx::test::VirtualDisplay display;
  if (!display.ok()) {
    std::fprintf(stderr, "Xvfb could not be started\n");
    return 1;
  }
  ::setenv("DISPLAY", display.display().c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  // The window needs no session bus; Qt's X11 platform would look for one, and libdbus keeps
  // memory of that search to the end of the process.
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
