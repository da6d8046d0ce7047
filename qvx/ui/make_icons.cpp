// Draws the program's icons: the window and tray icons for monitoring off, on, and on with a
// phone connected, and the desktop entry's icon. Run by the build: make_icons DIRECTORY.

#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <cstdlib>
#include <iostream>

namespace {

// A remote control; while monitoring its diode glows and sends waves, a phone adds a blue mark.
QImage Icon(bool monitoring, bool phone) {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x40, 0x48, 0x58));
  painter.drawRoundedRect(QRectF(4, 8, 12, 22), 3, 3);
  painter.setBrush(QColor(0xC0, 0xC8, 0xD0));
  for (int row = 0; row < 3; ++row) painter.drawEllipse(QPointF(10, 17 + row * 4.5), 1.6, 1.6);
  painter.setBrush(monitoring ? QColor(0xF0, 0x30, 0x30) : QColor(0x80, 0x80, 0x80));
  painter.drawEllipse(QPointF(10, 11), 2.2, 2.2);
  if (monitoring) {
    painter.setBrush(Qt::NoBrush);
    for (int wave = 0; wave < 2; ++wave) {
      painter.setPen(QPen(QColor(0xF0, 0x30, 0x30), 2));
      painter.drawArc(QRectF(10 + wave * 5, 3 + wave * 1, 12, 16 - wave * 2), -50 * 16, 100 * 16);
    }
  }
  if (phone) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x20, 0x60, 0xE0));
    painter.drawEllipse(QPointF(25, 24), 6, 6);
    painter.setPen(QPen(Qt::white, 1.5));
    painter.drawLine(QPointF(23, 20.5), QPointF(27, 27.5));
    painter.drawLine(QPointF(27, 20.5), QPointF(23, 27.5));
  }
  return image;
}

bool Write(const QImage& image, const QString& path, const char* format) {
  QImageWriter writer(path, format);
  if (writer.write(image)) return true;
  std::cerr << "make_icons: " << path.toStdString() << ": " << writer.errorString().toStdString()
            << '\n';
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_icons DIRECTORY\n";
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString dir = QString::fromLocal8Bit(argv[1]) + '/';
  const bool ok = Write(Icon(false, false), dir + "qvxnomon.ico", "ico") &&
                  Write(Icon(true, false), dir + "qvxmon.ico", "ico") &&
                  Write(Icon(true, true), dir + "qvxbtmon.ico", "ico") &&
                  Write(Icon(false, false), dir + "qvx.png", "png");
  return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
