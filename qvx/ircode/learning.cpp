#include "qvx/ircode/learning.h"

#include <algorithm>

#include "qvx/config/text.h"
#include "qvx/ircode/runanalysis.h"
#include "qvx/ircode/sampledecode.h"

namespace qvx::ircode {

namespace {

constexpr size_t kShortestRecordBytes = 40;
constexpr size_t kSilenceKeptBytes = 30;
constexpr size_t kIRManPlotBytes = 300;
constexpr size_t kShortestCodeBits = 6;  // codes of this many bits or fewer are never accepted

enum class Rule { Repeated, Single };

void Beep(const LearnEnv& env, int freqHz, int durationMs) {
  if (env.beepOn && env.beep) env.beep(freqHz, durationMs);
}

void ShowStored(LearnContext& context, LearnResult& result, const StoredCommand& stored,
                const LearnEnv& env) {
  result.irCommand = stored.device + "&" + stored.command;
  context.codeStrBack = Colour::ButtonFace;
  Beep(env, 2000, 50);
  Beep(env, 5000, 50);
}

// The stored command of a learned code: the code itself, else the code the literal analysis
// read from the same recording, which earlier versions stored.
std::optional<StoredCommand> FindStored(const std::string& storedForm, const LearnResult& result,
                                        const LearnEnv& env) {
  if (!env.findCode) return std::nullopt;
  if (std::optional<StoredCommand> stored = env.findCode(storedForm)) return stored;
  const std::string literal = result.literalCode.empty() ? "" : result.literalCode.substr(1);
  if (literal.empty() || literal == storedForm) return std::nullopt;
  return env.findCode(literal);
}

// The validation rule: a repeated frame validates at once, a single frame needs a second
// identical recording; a code that is already stored is shown by its name.
void Validate(LearnContext& context, LearnResult& result, const std::string& code, Rule rule,
              const LearnEnv& env) {
  const std::string storedForm = StoredForm(code, context.codingType);
  result.stored = FindStored(storedForm, result, env);
  if (result.stored) {
    ShowStored(context, result, *result.stored, env);
    if (rule == Rule::Single) {
      context.validated = true;
      context.pressCounter = 0;
    }
    return;
  }
  if (rule == Rule::Repeated) {
    result.irCommand = "?";
    context.codeStrBack = Colour::Green;
    Beep(env, 5000, 50);
    context.validated = true;
    context.pressCounter = 0;
    return;
  }
  // RC5 presses differ in the toggle bit, so they are compared as stored.
  if (context.pressCounter == 0) {
    context.firstCode = storedForm;
    context.validated = false;
    context.pressCounter = 1;
    context.codeStrBack = Colour::Red;
    Beep(env, 2000, 300);
  } else if (storedForm == context.firstCode) {
    context.validated = true;
    context.codeStrBack = Colour::Green;
    Beep(env, 5000, 50);
  } else {
    context.validated = false;
    context.pressCounter = 0;
    context.codeStrBack = Colour::Red;
    Beep(env, 2000, 300);
  }
}

// The checks by coding type: validity message, address, command and toggle values.
void CheckCode(const LearnContext& context, LearnResult& result, std::string code) {
  const size_t bits = code.size();
  switch (context.codingType) {
    case kPulseCoded: {
      result.toggleVal = "N";
      result.toggleVisible = false;
      result.gType = "2";
      const std::string reversed(code.rbegin(), code.rend());
      if (bits == 12 || bits == 15) {
        const size_t addressBits = bits == 12 ? 5 : 8;
        result.addrVal = std::to_string(BinToInt(reversed.substr(0, addressBits)));
        result.cmdVal = std::to_string(BinToInt(reversed.substr(addressBits, 7)));
        result.messages.emplace_back(bits == 12
                                      ? kValidSony12
                                      : kValidSony15);
      } else {
        result.bitNrColour = Colour::Red;
        result.addrVal.clear();
        result.cmdVal.clear();
        result.messages.emplace_back(kInvalidSony);
      }
      break;
    }
    case kBiPhase: {
      result.toggleVisible = true;
      result.toggleVal = bits >= 3 ? code.substr(2, 1) : "";
      code = StoredForm(code, kBiPhase);
      result.codeStr = "G" + code;
      result.addrVal = std::to_string(BinToInt(bits > 3 ? code.substr(3, 5) : ""));
      // The seventh command bit is the inverted second start bit (1 for commands 0 to 63).
      const std::string seventh = bits >= 2 ? (code[1] == '1' ? "0" : "1") : "";
      result.cmdVal = std::to_string(BinToInt(seventh + (bits > 8 ? code.substr(8, 6) : "")));
      result.gType = "0";
      if (bits == 14) {
        result.messages.emplace_back(kValidRc5);
      } else if (bits < 14) {
        result.messages.emplace_back(
            kShortRc5);
      } else {
        result.bitNrColour = Colour::Red;
        result.messages.emplace_back(kLongRc5);
      }
      break;
    }
    default:
      result.toggleVisible = false;
      if (BitCountValid(kGapCoded, bits)) {
        result.messages.emplace_back(kValidNec);
      } else {
        result.bitNrColour = Colour::Red;
        result.addrVal.clear();
        result.cmdVal.clear();
        result.messages.emplace_back(kInvalidNec);
      }
      break;
  }
}

// From the validation of a decoded frame to the selection of the stored command.
void AcceptCode(LearnContext& context, LearnResult& result, const std::string& code, Rule rule,
                const LearnEnv& env) {
  result.rpt = rule == Rule::Repeated ? "Y" : "N";
  // An empty or very short code is never taken for a command, repeated or not.
  if (code.size() <= kShortestCodeBits) {
    context.codeStrBack = Colour::ButtonFace;
    result.gProt = "";
    result.gProtColour = Colour::Red;
    result.messages.emplace_back(kTooFewBits);
    return;
  }
  Validate(context, result, code, rule, env);
  result.codeStr = "G" + code;
  result.bitNr = std::to_string(code.size());
  result.decoded = true;
  CheckCode(context, result, code);
  result.selectStored = !(context.codingType == kBiPhase && code.size() < 14);
}

void FinishPlot(const LearnContext& context, LearnResult& result,
                const std::vector<uint8_t>& buffer) {
  PlotView plot;
  plot.samples = SamplesToText(buffer);
  plot.scrollMin = (2 - static_cast<int>(buffer.size())) * 8;
  const bool accepted = context.codeStrBack == Colour::Green ||
                        context.codeStrBack == Colour::ButtonFace;
  plot.trace = accepted && !result.codeStr.empty() ? Colour::Green : Colour::Red;
  result.plot = plot;
  result.codeStrBack = context.codeStrBack;
  result.validated = context.validated;
}

LearnResult Started(const LearnContext& context) {
  LearnResult result;
  result.fieldsCleared = true;
  result.codeStrBack = context.codeStrBack;
  return result;
}

// A recording the port could not take, for the reason it gave; the plot shows nothing.
LearnResult PortFault(const LearnContext& context, std::string message) {
  LearnResult result = Started(context);
  result.messages.push_back(std::move(message));
  FinishPlot(context, result, std::vector<uint8_t>(kRecordBytes, 0));
  return result;
}

void NoSignal(LearnContext& context, LearnResult& result, const LearnEnv& env) {
  Beep(env, 600, 1000);
  context.codeStrBack = Colour::ButtonFace;
  result.messages.emplace_back(kNoSignal);
}

// Cuts the buffer 30 bytes after its last activity; false when nothing happened after byte 40
// (the cut buffer then always keeps more than the 50 bytes a decode needs).
bool TrimBuffer(std::vector<uint8_t>& buffer) {
  for (size_t pos = buffer.size(); pos >= kShortestRecordBytes; --pos) {
    if (buffer[pos - 1] != 0) {
      if (pos + kSilenceKeptBytes < buffer.size()) buffer.resize(pos + kSilenceKeptBytes);
      return true;
    }
  }
  return false;
}

void Decode(LearnContext& context, LearnResult& result, const std::vector<uint8_t>& buffer,
            const LearnEnv& env) {
  const std::string sampleText = SamplesToText(buffer);
  const SampleDecode decode = env.decode ? env.decode(sampleText)
                                        : DecodeSampleText(sampleText, SampleSpan::Recording);
  if (decode.stop == DecodeStop::AnalyseFailed) {
    result.messages.emplace_back(kInvalidSignal);
    return;
  }
  context.codingType = decode.codingType;
  result.codingType = decode.codingType;
  result.unitSamples = decode.unitSamples;
  result.mended = decode.mended;
  result.sendPulse = std::to_string(decode.slotUs);

  static constexpr const char* kNames[] = {"NEC", "SONY", "RC5"};
  static constexpr const char* kCaptions[] = {"NEC params", "SONY params", "RC5 params"};
  if (decode.codingType == kUnknownCoding) {
    result.gProt = "UNK";
    result.gProtColour = Colour::Red;
    result.frame1 = "";
    context.codeStrBack = Colour::ButtonFace;
    result.gType = "";
    result.messages.emplace_back(kUnknownProtocol);
    return;
  }
  result.gProt = kNames[decode.codingType];
  result.gProtColour = Colour::Green;
  result.frame1 = kCaptions[decode.codingType];
  if (decode.codingType == kGapCoded) result.toggleVal = "N";

  result.plen1 = decode.symbols.plen1;
  result.plen0 = decode.symbols.plen0;
  if (decode.stop == DecodeStop::NotExtracted) {
    result.messages.emplace_back(kNoCommand);
    return;
  }
  if (decode.codingType == kGapCoded) result.gType = decode.frames.gapSyncType;
  const std::string literal = decode.literalFrames.frame1;
  if (literal.size() > kShortestCodeBits) {
    result.literalCode = "G" + StoredForm(literal, decode.literalCodingType);
  }
  const Rule rule = decode.repeated ? Rule::Repeated : Rule::Single;
  AcceptCode(context, result, decode.frames.frame1, rule, env);
  if (result.decoded) {
    context.learnedCode = result.codeStr;
    context.earlierCode = result.literalCode != result.codeStr ? result.literalCode : "";
  }
}

}  // namespace

std::string EarlierCodeOf(const LearnContext& context, std::string_view codeField) {
  return TrimBlanks(codeField) == context.learnedCode ? context.earlierCode : std::string();
}

LearnResult RecordCommand(LearnContext& context, int receiverType, bool monitoringOn,
                          const RecordSource& source, const LearnEnv& env) {
  if (monitoringOn) {
    LearnResult refused;
    refused.codeStrBack = context.codeStrBack;
    refused.validated = context.validated;
    refused.messages.emplace_back(
        kMonitoringOn);
    return refused;
  }
  const bool records = source.kernelDevice || receiverType == kReceiverDcdStd ||
                       receiverType == kReceiverIRMouse;
  if (receiverType == kReceiverIRMan && !source.kernelDevice) {
    Beep(env, 5000, 50);
    return LearnFromIRMan(context, source.irman ? source.irman() : std::nullopt, env);
  }
  if (!records) {
    LearnResult refused = Started(context);
    refused.validated = context.validated;
    Beep(env, 5000, 50);
    refused.messages.emplace_back(receiverType == kReceiverCreative
                                   ? kCreativeRecord
                                   : kNoRecordInterface);
    return refused;
  }
  Beep(env, 5000, 50);
  const bool dcdOnIsActive = receiverType == kReceiverIRMouse;
  const auto recorded = source.record ? source.record(dcdOnIsActive) : std::nullopt;
  if (!recorded && source.fault) {
    if (auto fault = source.fault()) return PortFault(context, std::move(*fault));
  }
  return LearnFromRecording(context, recorded, env);
}

LearnResult LearnFromRecording(LearnContext& context,
                               const std::optional<std::vector<uint8_t>>& recorded,
                               const LearnEnv& env) {
  LearnResult result = Started(context);
  std::vector<uint8_t> buffer = recorded.value_or(std::vector<uint8_t>(kRecordBytes, 0));
  if (buffer.size() < kShortestRecordBytes) {
    result.messages.emplace_back(kSignalTooShort);
  } else if (!recorded) {
    NoSignal(context, result, env);
  } else if (!TrimBuffer(buffer)) {
    result.messages.emplace_back(kTooLittleRecorded);
  } else {
    Decode(context, result, buffer, env);
  }
  FinishPlot(context, result, buffer);
  return result;
}

LearnResult LearnFromIRMan(LearnContext& context,
                           const std::optional<std::array<uint8_t, 6>>& code,
                           const LearnEnv& env) {
  LearnResult result = Started(context);
  if (!code) {
    NoSignal(context, result, env);
    FinishPlot(context, result, std::vector<uint8_t>(kRecordBytes, 0));
    return result;
  }
  std::string bits;
  for (const uint8_t byte : *code) bits += ByteToBinText(byte);
  result.messages.emplace_back(kNoIrManGraph);
  AcceptCode(context, result, bits, Rule::Repeated, env);
  if (result.decoded) {
    context.learnedCode = result.codeStr;
    context.earlierCode.clear();
  }
  FinishPlot(context, result, std::vector<uint8_t>(kIRManPlotBytes, 0));
  return result;
}

}  // namespace qvx::ircode
