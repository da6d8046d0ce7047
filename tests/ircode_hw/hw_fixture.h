#pragma once

// A bench for the infrared port code: a virtual clock for the process, COM1 to COM30 mapped to
// simulated peers (absent unless a test installs one), silent beeps, and a copy of the
// delivered configuration loaded as the program loads it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "platform/sim/ir_peer.h"
#include "platform/sim/irman_peer.h"
#include "platform/sim/virtual_clock.h"
#include "pulsio/pulsio.h"
#include "qvx/config/general.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"
#include "qvx/ircode/receivers.h"
#include "tests/support/env.h"
#include "tests/support/support.h"

namespace qvx::ircode::test {

// The name under which COMn's peer is registered.
inline std::string PeerName(int portNumber) { return "hw-com" + std::to_string(portNumber); }

class HwTest : public ::testing::Test {
 protected:
  HwTest() {
    // Cheap enough to keep waits of seconds quick, fine enough for microsecond timing.
    clock_.SetCounterReadCostNs(250);
    clock_.SetLineReadCostNs(1000);
    for (int n = 1; n <= kHighestListedPort; ++n) {
      portEnv_.push_back(std::make_unique<qvx::test::ScopedEnv>(
          "QVX_COM" + std::to_string(n), "sim:" + PeerName(n)));
    }
  }

  void SetUp() override {
    std::filesystem::copy_file(qvx::test::DeliveredConfig(), dir_ / "pelgrin.cfg");
    store_.path = dir_ / "pelgrin.cfg";
    ASSERT_TRUE(LoadGeneral(store_).ok);
    SetHandle(0);
  }

  void TearDown() override {
    CloseIrPort(iface_);
    SetHandle(0);
    for (int n = 1; n <= kHighestListedPort; ++n) platform::UnregisterSimPeer(PeerName(n));
  }

  // Sets a general key in the file and in memory, as the program would have loaded it.
  void SetKey(const std::string& key, const std::string& value) {
    ASSERT_TRUE(SetGeneralParam(store_, key, value)) << key;
  }

  // The value of a general key as the file holds it now (text after "KEY=" up to CR).
  std::string FileValue(const std::string& key) const {
    const std::string text = qvx::test::ReadFile(store_.path);
    const size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) return "<missing>";
    const size_t start = at + key.size() + 2;
    return text.substr(start, text.find('\r', start) - start);
  }

  // Installs a DCD standard, IRMouse or self-powered receiver as COMn, kept for the test.
  std::shared_ptr<platform::sim::IrPeer> InstallReceiver(int portNumber,
                                                        platform::sim::ReceiverWiring wiring) {
    auto peer = platform::sim::InstallWiredIrPeer(PeerName(portNumber), clock_, wiring);
    peers_.push_back(peer);
    return peer;
  }

  // Opens COMn as the program's IR port, as start-up does, and lends it to Pulsio.
  void OpenIrPort(int portNumber) {
    iface_.handle = OpenPort(portNumber);
    ASSERT_GT(iface_.handle, 0);
    SetPortTimeouts(iface_.handle);
    SetHandle(iface_.handle);
  }

  // Virtual milliseconds since the test began.
  double ElapsedMs() { return static_cast<double>(clock_.NowNs()) / 1e6; }

  platform::sim::VirtualClock clock_;
  platform::ScopedClock scopedClock_{clock_};
  qvx::test::ScopedEnv audio_{"QVX_AUDIO_DEVICE", "none"};
  std::vector<std::unique_ptr<qvx::test::ScopedEnv>> portEnv_;
  qvx::test::TempDir dir_;
  ConfigStore store_;
  IrInterface iface_;
  std::vector<std::shared_ptr<platform::sim::Peer>> peers_;
  qvx::test::ScriptedPrompter prompter_;
};

}  // namespace qvx::ircode::test
