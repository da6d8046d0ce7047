#pragma once

// The splash window frmWaitToStart: a picture and a status label, shown during start-up.

#include <QLabel>
#include <QWidget>
#include <string_view>

namespace qvx::ui {

class frmWaitToStart final : public QWidget {
 public:
  frmWaitToStart();

  // Shows the text in the status label and lets the window draw it.
  void SetStatus(std::string_view text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* status_;
};

}  // namespace qvx::ui
