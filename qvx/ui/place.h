#pragma once

// Placing a dialog's controls as the system lays them out: positions and sizes in twips, each
// control named by its control name.

#include <QLabel>
#include <QString>
#include <QWidget>

#include "qvx/ui/model/presentation.h"

namespace qvx::ui {

// Names the widget and sets its geometry from twips; returns it.
template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
  return widget;
}

// An unnamed caption label one line high.
inline QLabel* Caption(QWidget* parent, const char* text, int left, int top, int width = 1000) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setGeometry(Pixels(left), Pixels(top), Pixels(width), Pixels(240));
  return label;
}

}  // namespace qvx::ui
