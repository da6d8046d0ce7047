// qvx: the desktop program. Assembles the main window over the core and starts it.

#include <QApplication>
#include <QTimer>
#include <cstring>
#include <iostream>
#include <optional>

#include "platform/sim/standard_peers.h"
#include "qvx/config/location.h"
#include "qvx/ui/model/demo_remote.h"
#include "qvx/ui/frm_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  std::optional<std::filesystem::path> config;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--config") == 0 && i + 1 < argc) {
      config = argv[++i];
    } else {
      std::cerr << "usage: qvx [--config PATH]\n";
      return 2;
    }
  }

  // Ports mapped to sim:NAME reach the simulated devices; the simulated receiver's remote
  // presses a key of the delivered devices whenever a recording starts.
  platform::sim::RegisterStandardPeers();
  qvx::ui::frmMain::Options options;
  const qvx::ProgramFiles files = qvx::SetUpProgramFiles(config);
  for (const std::string& warning : files.warnings) std::cerr << "qvx: " << warning << '\n';
  options.configPath = files.config;
  options.programDir = files.resources;
  qvx::ui::frmMain window(options);
  // While monitoring runs, the remote presses a key of the event table every few seconds.
  QTimer monitoredPresses;
  std::size_t pressed = 0;
  bool rc5Toggle = false;
  if (const auto peer = platform::sim::StandardIrPeer()) {
    qvx::ui::AttachDemoRemote(*peer, [&window] { return window.Store().text; });
    QObject::connect(&monitoredPresses, &QTimer::timeout, [&, peer] {
      if (!window.Monitor().MonitoringOn()) return;
      const auto& keys = qvx::ui::MonitoredDemoKeys();
      peer->PlayRemote(qvx::ui::DemoPress(window.Store().text, keys[pressed++ % keys.size()], rc5Toggle),
                       10'000);
    });
    monitoredPresses.start(4000);
  }
  if (!window.Start()) return 1;
  return QApplication::exec();
}
