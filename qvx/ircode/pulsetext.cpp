#include "qvx/ircode/pulsetext.h"

namespace qvx::ircode {

std::string BuildPulseString(std::string_view bits, const DeviceParams& params, bool& rc5Toggle) {
  std::string code(bits);
  if (params.gproto == 2) {
    rc5Toggle = !rc5Toggle;
    if (code.size() >= 3) code[2] = rc5Toggle ? '1' : '0';
  }
  std::string frame;
  for (const char bit : code) {
    if (bit == '0') frame += params.bit0;
    if (bit == '1') frame += params.bit1;
  }
  frame += params.Trailer();

  std::string pulses = params.bitg + frame;
  if (params.repeatSlots != 0) {
    const std::string gap(params.repeatSlots > 0 ? params.repeatSlots : 0, '0');
    const std::string leader = params.grepeatSlots > 1 ? params.bitg : "";
    for (int i = 0; i < kRepeatCount; ++i) pulses += gap + leader + frame;
  } else if (params.grepeatSlots > 1) {
    const std::string repeatCode =
        std::string(params.grepeatSlots, '0') + std::string(16, '1') + "0000" + "1";
    for (int i = 0; i < kRepeatCount; ++i) pulses += repeatCode;
  }
  return pulses;
}

std::vector<uint8_t> PackSlotBytes(std::string_view pulseText) {
  std::vector<uint8_t> bytes((pulseText.size() + 7) / 8, 0);
  for (size_t i = 0; i < pulseText.size(); ++i) {
    if (pulseText[i] == '1') bytes[i / 8] |= static_cast<uint8_t>(0x80u >> (i % 8));
  }
  return bytes;
}

int SamplesPerSlot(int slotUs) {
  if (slotUs <= 0) return 0;
  return (2 * slotUs + kSampleUs) / (2 * kSampleUs);
}

SignalView RebuildSentSignal(std::string_view codeField, const DeviceParams& params, int slotUs,
                             bool rc5ToggleNow) {
  // Starting from the state before the send makes the rebuild flip to the bit that was sent.
  bool toggle = !rc5ToggleNow;
  const std::string_view bits = codeField.empty() ? codeField : codeField.substr(1);
  const std::string pulses = BuildPulseString(bits, params, toggle);
  const int perSlot = SamplesPerSlot(slotUs);
  SignalView view;
  view.samples.reserve((pulses.size() + 1) * static_cast<size_t>(perSlot));
  for (const char slot : pulses) view.samples.append(perSlot, slot == '1' ? '1' : '0');
  view.samples.append(perSlot, '0');
  view.bytes = PackSlotBytes(view.samples);
  return view;
}

}  // namespace qvx::ircode
