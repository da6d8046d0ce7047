#pragma once

// The remote of the demonstration: keys of the delivered devices' remotes, each sent as this
// program sends it with the device's own parameters, pressed on the simulated receiver whenever
// a recording starts, so that learning, saving and sending can be tried without hardware.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/ir_peer.h"

namespace qvx::ui {

// One key of the demonstration remote.
struct DemoKey {
  std::string device;  // the device of the configuration whose parameters send it
  std::string key;     // what the key does
  std::string bits;    // its code without "G"
};

// The keys in the order they are pressed, one per recording and then again from the start: a
// VCR key the delivered configuration does not hold yet, a stored one, a new TV key and a
// stored amplifier key.
const std::vector<DemoKey>& DemoKeys();

// Keys whose commands the delivered event table maps to outputs, pressed in turn while
// monitoring runs: TV Power, TV Vol+, VCR Play and Amp Standby.
const std::vector<DemoKey>& MonitoredDemoKeys();

// The light of one press of a key as durations in microseconds, a mark first; empty when the
// device or one of its parameters is missing. rc5Toggle is the remote's toggle state.
std::vector<int64_t> DemoPress(std::string_view configText, const DemoKey& key, bool& rc5Toggle);

// Makes the receiver of `peer` press the keys in turn, one whenever a recording starts (see
// IrPeer::PressWhenRead), with the parameters of the configuration `configText` returns.
void AttachDemoRemote(platform::sim::IrPeer& peer, std::function<std::string()> configText,
                      platform::sim::IrPeer::WallClockMs wall = {});

}  // namespace qvx::ui
