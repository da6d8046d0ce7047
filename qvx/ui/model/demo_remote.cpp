#include "qvx/ui/model/demo_remote.h"

#include <memory>

#include "qvx/config/devices.h"
#include "qvx/ircode/deviceparams.h"
#include "qvx/ircode/pulsetext.h"

namespace qvx::ui {

const std::vector<DemoKey>& DemoKeys() {
  static const std::vector<DemoKey> keys = {
      {"VCR", "Pause", "100110011010"},
      {"VCR", "Play", "010110011010"},
      {"TV", "Mute", "00100000110111111001000001101111"},
      {"Amp", "Vol+", "11010000010000"},
  };
  return keys;
}

const std::vector<DemoKey>& MonitoredDemoKeys() {
  static const std::vector<DemoKey> keys = {
      {"TV", "Power", "00100000110111110001000011101111"},
      {"TV", "Vol+", "00100000110111110100000010111111"},
      {"VCR", "Play", "010110011010"},
      {"Amp", "Standby", "11010000001100"},
  };
  return keys;
}

std::vector<int64_t> DemoPress(std::string_view configText, const DemoKey& key, bool& rc5Toggle) {
  const auto texts = FindDeviceParams(configText, key.device, ParamScope::WithinSection);
  if (!texts) return {};
  const auto params = ircode::DeviceParamsFromTexts(texts->gproto, texts->sendpls, texts->repeat,
                                                    texts->bitg, texts->bit0, texts->bit1,
                                                    texts->grepeat);
  if (!params) return {};
  // Runs of equal slots become one mark or one gap; the darkness before the first mark is
  // not part of the press.
  std::vector<int64_t> durations;
  char level = '0';
  for (const char slot : ircode::BuildPulseString(key.bits, *params, rc5Toggle)) {
    if (durations.empty() && slot == '0') continue;
    if (durations.empty() || slot != level) durations.push_back(0);
    level = slot;
    durations.back() += params->sendplsUs;
  }
  return durations;
}

void AttachDemoRemote(platform::sim::IrPeer& peer, std::function<std::string()> configText,
                      platform::sim::IrPeer::WallClockMs wall) {
  struct Remote {
    std::size_t presses = 0;
    bool rc5Toggle = false;
  };
  auto remote = std::make_shared<Remote>();
  peer.PressWhenRead(
      [remote, configText = std::move(configText)] {
        const std::vector<DemoKey>& keys = DemoKeys();
        return DemoPress(configText(), keys[remote->presses++ % keys.size()], remote->rc5Toggle);
      },
      300, 20'000, std::move(wall));
}

}  // namespace qvx::ui
