#pragma once

#include <string>
#include <string_view>

#include "platform/media.h"
#include "platform/process.h"

namespace qvx::devices {

// Status text of a launch whose [Application] entry cannot be found.
inline constexpr std::string_view kApplicationError = "Error handling application!";

// Runs the [Application] entry of the configuration text whose name is command: plays an MP3
// under the fixed alias (closing the one before), plays a wave file, or starts a program,
// hidden or, with a leading "@", shown. Returns the status text; kApplicationError when the
// section, its end or the entry is missing. A program or file that fails to start still
// reports its normal text. Programs start through `programs`, sound files play on `media`.
std::string LaunchApplication(std::string_view configText, const std::string& command,
                              platform::ProgramStarter& programs, platform::Media& media);

}  // namespace qvx::devices
