#pragma once

#include <string_view>

#include "qvx/ircode/sampledecode.h"

namespace qvx::ircode::bench {

// The earlier release's decode of a sample text, for before-and-after figures.
SampleDecode EarlierDecodeSampleText(std::string_view sampleText);

}  // namespace qvx::ircode::bench
