#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "qvx/ircode/canonicaldecode.h"
#include "qvx/ircode/irtypes.h"
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
  Frames frames;         // the frames the code is read from
  bool repeated = false;   // two frames of the press give the code: it validates at once
  bool canonical = false;  // the canonical reading gave the code, frames, type and unit
  bool mended = false;     // and its code differs from the literal analysis's frame 1
  // What the literal analysis alone read, for codes stored by earlier versions.
  int literalCodingType = kUnknownCoding;
  Frames literalFrames;
};

// The literal analysis alone: histograms, symbol text, DecodeSymbols and frames.
SampleDecode LiteralDecodeSampleText(std::string_view sampleText);

// Decodes a recording (learning) or a watch window (monitoring). Where the canonical reading
// finds a whole frame, its code is the decoded one (the literal analysis yields the same code
// wherever it reads the frame right), with the fitted unit; frame 2 repeats frame 1, and the
// decode is repeated, when at least two frames read on their own give the code; the gap sync
// type is "2" when a header starts what follows the NEC frame (a repeat code, or the frame
// repeated with its leader). Elsewhere the literal analysis's result stands, but never as
// repeated: it cannot tell two whole frames that agree from two that jitter misread alike, or a
// header from a bit. In a watch window neither reads a frame that the window cuts off at its
// start or end: a partial frame never names a code.
SampleDecode DecodeSampleText(std::string_view sampleText, SampleSpan span);

// The code a stored command holds for bits of a coding type: RC5's toggle bit is stored as 0.
std::string StoredForm(std::string bits, int codingType);

// The codes a watch window names, as stored, in the order to look them up: the canonical code,
// then the literal analysis's where it differs (each the longer of two frames, frame 2 when
// equal); codes shorter than 7 bits are left out.
std::vector<std::string> WatchedCodes(const SampleDecode& decode);

}  // namespace qvx::ircode
