#include "qvx/ui/frm_wait_to_start.h"

#include <QCoreApplication>
#include <QPainter>

#include "qvx/ui/qt_text.h"

namespace qvx::ui {

frmWaitToStart::frmWaitToStart() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmWaitToStart"));
  setFixedSize(320, 160);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("StatusLabel"));
  status_->setGeometry(16, 124, 288, 24);
  status_->setAlignment(Qt::AlignCenter);
}

void frmWaitToStart::SetStatus(std::string_view text) {
  status_->setText(ToQt(text));
  QCoreApplication::processEvents();
}

void frmWaitToStart::paintEvent(QPaintEvent*) {
  // A remote control sending towards a receiver.
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), QColor(0x20, 0x24, 0x30));
  painter.setBrush(QColor(0x50, 0x58, 0x68));
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(QRectF(40, 24, 44, 92), 10, 10);
  painter.setBrush(QColor(0xE0, 0x30, 0x30));
  painter.drawEllipse(QPointF(62, 36), 5, 5);
  painter.setBrush(QColor(0xC0, 0xC8, 0xD0));
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 2; ++column)
      painter.drawEllipse(QPointF(54 + column * 16, 58 + row * 14), 4, 4);
  painter.setBrush(Qt::NoBrush);
  for (int wave = 0; wave < 3; ++wave) {
    painter.setPen(QPen(QColor(0xE0, 0x30, 0x30, 220 - wave * 60), 3));
    painter.drawArc(QRectF(70 + wave * 18, 14 + wave * 4, 40, 44 - wave * 8), -45 * 16, 90 * 16);
  }
  painter.setPen(QColor(0xE8, 0xE8, 0xF0));
  QFont font = painter.font();
  font.setPointSize(14);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRectF(150, 30, 160, 70), Qt::AlignLeft | Qt::TextWordWrap,
                   QStringLiteral("Zarvel Rezoru Zazudaz"));
}

}  // namespace qvx::ui
