#pragma once

#include <string>

namespace platform {

// Starts playing a wave file in the background; false when it cannot be started. Without an
// audio device the file plays silently.
bool PlayWave(const std::string& path);
// Closes the MP3 open under the fixed alias, then opens and plays path under it in the
// background; false when it cannot be started. Without an audio device it plays silently.
bool PlayMp3(const std::string& path);
// Stops and closes the MP3 open under the fixed alias; nothing when none is open.
void CloseMp3();
// The file open under the fixed alias while it still plays; empty when none.
std::string OpenMp3();

}  // namespace platform
