#pragma once

// A main window on simulated hardware for the window tests: a copy of a configuration in a
// temporary directory, COM1 on a simulated infrared receiver and transmitter, COM2 on a
// simulated CM11, no other port, a virtual clock on which one sample lasts 55 us, and a
// Prompter answered by script.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/cm11_peer.h"
#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "qvx/ui/frm_main.h"
#include "tests/support/support.h"

namespace qvx::test {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest();
  ~WindowTest() override;

  // Writes the configuration (CR LF line ends; the delivered one when empty), edited by the
  // replacements `edits` ("KEY= 1" -> "KEY= 0", ...), and starts the window on it.
  ui::frmMain& Open(const std::string& config = "",
                    const std::vector<std::pair<std::string, std::string>>& edits = {});

  template <typename T = QWidget>
  T* Find(const char* name) const {
    T* widget = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QAction* Menu(const char* name) const { return Find<QAction>(name); }
  // Chooses an entry of a list as the user does; fails the test when it is not listed.
  void Choose(const char* list, const std::string& entry);
  void Click(const char* button);
  // The text of a label, line edit or combo box.
  std::string Text(const char* name) const;
  std::string Status() const { return Text("StatusBar"); }
  std::string Caption() const;
  std::string SavedConfig() const { return ReadFile(config_); }
  // The background a control shows, as 0xBBGGRR.
  uint32_t Background(const char* name) const;

  TempDir dir_;
  std::filesystem::path config_;
  ScriptedPrompter prompter_;
  platform::sim::VirtualClock clock_;
  platform::ScopedClock scopedClock_{clock_};
  std::shared_ptr<platform::sim::IrPeer> ir_;
  std::shared_ptr<platform::sim::Cm11Peer> cm11_;
  std::vector<std::string> splash_;
  std::vector<std::string> opened_;
  std::unique_ptr<ui::frmMain> window_;
};

// The delivered configuration with replacements applied, each of which must match.
std::string EditedConfig(const std::vector<std::pair<std::string, std::string>>& edits);

}  // namespace qvx::test
