#pragma once

// The signal view `Signal`: a sample text drawn as a trace by PlotTrace.

#include <QColor>
#include <QWidget>
#include <string>

namespace qvx::ui {

class SignalView final : public QWidget {
 public:
  explicit SignalView(QWidget* parent);

  // Draws the samples in the colour, at the scroll position and zoom factor given.
  void Draw(std::string samples, QColor colour, int scroll, double zoom);
  // Redraws what is shown in another colour, scroll position and zoom.
  void Redraw(QColor colour, int scroll, double zoom);
  // Clears the picture.
  void Clear();

  const std::string& Samples() const { return samples_; }
  QColor TraceColour() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string samples_;
  QColor colour_;
  int scroll_ = 15;
  double zoom_ = 1.0;
};

}  // namespace qvx::ui
