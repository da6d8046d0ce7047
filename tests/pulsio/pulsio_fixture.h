#pragma once

// A Pulsio test bench: a virtual clock for the process and a simulated infrared peer as COM1.

#include <gtest/gtest.h>

#include <vector>

#include "platform/serial.h"
#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "pulsio/pulsio.h"
#include "tests/support/env.h"

class PulsioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    peer_ = platform::sim::InstallIrPeer("pulsio-ir", clock_);
    SetHandle(0);
  }

  void TearDown() override {
    CloseCom();
    SetHandle(0);
    for (auto handle : lent_) platform::ClosePort(handle);
    platform::UnregisterSimPeer("pulsio-ir");
  }

  // Opens the peer the way a host program does and lends the handle to Pulsio.
  platform::PortHandle Lend() {
    platform::PortHandle handle = platform::OpenSerialTarget("sim:pulsio-ir");
    EXPECT_GT(handle, 0);
    lent_.push_back(handle);
    SetHandle(handle);
    return handle;
  }

  platform::sim::VirtualClock clock_;
  platform::ScopedClock scopedClock_{clock_};
  qvx::test::ScopedEnv com1_{"QVX_COM1", "sim:pulsio-ir"};
  std::shared_ptr<platform::sim::IrPeer> peer_;
  std::vector<platform::PortHandle> lent_;
};
