#include "tests/ui/window_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPalette>
#include <cstdlib>

#include "platform/serial.h"
#include "qvx/ui/qt_text.h"

namespace qvx::test {
namespace {

constexpr const char* kIrPeer = "uiir";
constexpr const char* kCm11Peer = "uicm11";

}  // namespace

std::string EditedConfig(const std::vector<std::pair<std::string, std::string>>& edits) {
  std::string text = ReadFile(DeliveredConfig());
  for (const auto& [from, to] : edits) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

WindowTest::WindowTest() {
  clock_.SetLineReadCostNs(45'000);  // with PROCDELAY 10 a sample lasts 55 us
  ir_ = platform::sim::InstallIrPeer(kIrPeer, clock_);
  cm11_ = platform::sim::InstallCm11Peer(kCm11Peer, clock_);
  ::setenv("QVX_COM1", (std::string("sim:") + kIrPeer).c_str(), 1);
  ::setenv("QVX_COM2", (std::string("sim:") + kCm11Peer).c_str(), 1);
  for (int n = 3; n <= 30; ++n) ::setenv(("QVX_COM" + std::to_string(n)).c_str(), "sim:absent", 1);
  ::setenv("QVX_AUDIO_DEVICE", "none", 1);
  config_ = dir_ / "pelgrin.cfg";
}

WindowTest::~WindowTest() {
  window_.reset();
  platform::UnregisterSimPeer(kIrPeer);
  platform::UnregisterSimPeer(kCm11Peer);
}

ui::frmMain& WindowTest::Open(const std::string& config,
                              const std::vector<std::pair<std::string, std::string>>& edits) {
  WriteFile(config_, config.empty() ? EditedConfig(edits) : config);
  ui::frmMain::Options options;
  options.configPath = config_;
  options.programDir = BinDir();
  options.dialogs = &prompter_;
  options.splashWaitMs = 0;
  options.splashShown = [this](std::string_view text) { splash_.emplace_back(text); };
  options.openUrl = [this](const std::string& url) { opened_.push_back(url); };
  window_ = std::make_unique<ui::frmMain>(options);
  window_->Start();
  return *window_;
}

void WindowTest::Choose(const char* list, const std::string& entry) {
  auto* combo = Find<QComboBox>(list);
  const int index = combo->findText(ui::ToQt(entry));
  ASSERT_GE(index, 0) << list << ": " << entry;
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

void WindowTest::Click(const char* button) { Find<QAbstractButton>(button)->click(); }

std::string WindowTest::Text(const char* name) const {
  QObject* object = window_->findChild<QObject*>(QString::fromLatin1(name));
  EXPECT_NE(object, nullptr) << name;
  if (auto* label = qobject_cast<QLabel*>(object)) return ui::FromQt(label->text());
  if (auto* edit = qobject_cast<QLineEdit*>(object)) return ui::FromQt(edit->text());
  if (auto* combo = qobject_cast<QComboBox*>(object)) return ui::FromQt(combo->currentText());
  return {};
}

std::string WindowTest::Caption() const { return ui::FromQt(window_->windowTitle()); }

uint32_t WindowTest::Background(const char* name) const {
  const QWidget* widget = Find(name);
  const QColor colour = widget->palette().color(qobject_cast<const QLineEdit*>(widget)
                                                    ? QPalette::Base
                                                    : QPalette::Button);
  return static_cast<uint32_t>(colour.blue() << 16 | colour.green() << 8 | colour.red());
}

}  // namespace qvx::test
