#pragma once

#include <string>
#include <string_view>

#include "qvx/ircode/runanalysis.h"

namespace qvx::ircode {

// Where the decoding of a sample text stopped short of a code.
enum class DecodeStop {
  None,             // frames were decoded
  AnalyseFailed,    // no unit could be found
  UnknownProtocol,  // coding type 99
  NotExtracted,     // the symbols could not be decoded
};

// The decoding of one recording or watch window, shared by learning and monitoring.
struct SampleDecode {
  DecodeStop stop = DecodeStop::None;
  int codingType = 0;    // set unless stop is AnalyseFailed
  int unitSamples = 0;   // set unless stop is AnalyseFailed
  int slotUs = 0;        // the unit in microseconds, the slot length for sending it again
  SymbolText symbols;    // symbols and measured run lengths (empty when AnalyseFailed)
  std::string decoded;   // frames separated by "G"
  Frames frames;
  bool mended = false;   // the second analysis decided (the histogram one gave no usable code)
};

// Decodes a sample text with the histogram analysis. With mend set, a recording for which that
// analysis yields no code, an empty one or a bit count not valid for its coding type is decoded
// again by the second analysis, whose result is taken only when its bit count is valid.
SampleDecode DecodeSampleText(std::string_view sampleText, bool mend);

}  // namespace qvx::ircode
