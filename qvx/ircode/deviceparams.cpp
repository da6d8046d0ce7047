#include "qvx/ircode/deviceparams.h"

#include "qvx/config/text.h"

namespace qvx::ircode {

std::optional<DeviceParams> DeviceParamsFromTexts(std::string_view gproto, std::string_view sendpls,
                                                  std::string_view repeat, std::string_view bitg,
                                                  std::string_view bit0, std::string_view bit1,
                                                  std::string_view grepeat) {
  const auto proto = ReadInteger16(gproto);
  const auto slot = ReadInteger16(sendpls);
  const auto rep = ReadInteger16(repeat);
  const auto grep = ReadInteger16(grepeat);
  if (!proto || !slot || !rep || !grep) return std::nullopt;
  DeviceParams params;
  params.gproto = *proto;
  params.sendplsUs = *slot;
  params.repeatSlots = *rep;
  params.bitg = std::string(TrimWhitespace(bitg));
  params.bit0 = std::string(TrimWhitespace(bit0));
  params.bit1 = std::string(TrimWhitespace(bit1));
  params.grepeatSlots = *grep;
  return params;
}

ProtocolDisplay DisplayFor(const DeviceParams& params) {
  ProtocolDisplay display;
  switch (params.gproto) {
    case 0: display.gProt = "NEC"; break;
    case 1: display.gProt = "SONY"; break;
    case 2: display.gProt = "RC5"; break;
    case 3: display.gProt = "Custom"; break;
    default: break;
  }
  display.rpt = params.repeatSlots > 0 ? "Y" : "N";
  if (params.grepeatSlots == 0) {
    display.gType = "0";
  } else if (params.grepeatSlots == 1) {
    display.gType = "1";
  } else if (params.grepeatSlots > 10) {
    display.gType = "2";
  }
  return display;
}

DevicePreset PresetFor(int gproto) {
  switch (gproto) {
    case 1: return {"550", "40", "40", "01", "011", "1111"};
    case 2: return {"850", "150", "0", "10", "01", ""};
    default: return {"550", "50", "1", "10", "1000", "111111111111111100000000"};
  }
}

DeviceParams PresetParams(int gproto) {
  const DevicePreset preset = PresetFor(gproto);
  DeviceParams params;
  params.gproto = gproto;
  params.sendplsUs = static_cast<int>(LeadingNumber(preset.sendpls));
  params.repeatSlots = static_cast<int>(LeadingNumber(preset.repeat));
  params.grepeatSlots = static_cast<int>(LeadingNumber(preset.grepeat));
  params.bitg = std::string(preset.bitg);
  params.bit0 = std::string(preset.bit0);
  params.bit1 = std::string(preset.bit1);
  return params;
}

std::optional<RecordedPatterns> RecordedPatternsFor(int detectedProto) {
  switch (detectedProto) {
    case 0: return RecordedPatterns{"111111111111111100000000", "10", "1000"};
    case 1: return RecordedPatterns{"1111", "01", "011"};
    case 2: return RecordedPatterns{"", "10", "01"};
    default: return std::nullopt;
  }
}

long LeadingNumber(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return 0;
  return LeadingInteger(text.substr(first), kLeadingNumberLimit);
}

}  // namespace qvx::ircode
