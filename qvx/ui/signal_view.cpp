#include "qvx/ui/signal_view.h"

#include <QPainter>

#include "qvx/ui/model/presentation.h"

namespace qvx::ui {

SignalView::SignalView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Signal"));
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::black);
  setPalette(palette);
}

void SignalView::Draw(std::string samples, QColor colour, int scroll, double zoom) {
  samples_ = std::move(samples);
  Redraw(colour, scroll, zoom);
}

void SignalView::Redraw(QColor colour, int scroll, double zoom) {
  colour_ = colour;
  scroll_ = scroll;
  zoom_ = zoom;
  update();
}

void SignalView::Clear() {
  samples_.clear();
  update();
}

void SignalView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QPen(colour_, 1));
  for (const PlotStroke& stroke : PlotTrace(samples_, scroll_, zoom_, width(), height()))
    painter.drawLine(QPointF(stroke.x1, stroke.y1), QPointF(stroke.x2, stroke.y2));
}

}  // namespace qvx::ui
