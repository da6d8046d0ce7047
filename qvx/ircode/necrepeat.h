#pragma once

// NEC repeat codes: what an NEC remote sends while its key stays down after the one frame that
// carries the code, a 9 ms mark, 2.25 ms of darkness and a 560 us mark every 108 ms. They hold
// no bits, so the frame decoders pass over them; monitoring reads them to tell a held key.

#include <string_view>

namespace qvx::ircode {

// True when a sample text (one sample every kSampleUs) holds at least one whole NEC repeat code
// and nothing but repeat codes and darkness. The text may begin inside the first mark of one
// and end anywhere inside the last.
bool HoldsOnlyNecRepeatCodes(std::string_view sampleText);

}  // namespace qvx::ircode
