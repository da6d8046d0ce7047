#pragma once

#include <string>

namespace platform {

// Sound files played in the background (PlaySound, and the media control interface's one MP3
// under a fixed alias). Without an audio device files play silently.
class Media {
 public:
  virtual ~Media() = default;
  // Starts playing a wave file; false when it cannot be started.
  virtual bool PlayWave(const std::string& path) = 0;
  // Closes the MP3 open under the fixed alias, then opens and plays path under it; false when
  // it cannot be started.
  virtual bool PlayMp3(const std::string& path) = 0;
  // Stops and closes the MP3 open under the fixed alias; nothing when none is open.
  virtual void CloseMp3() = 0;
  // The file open under the fixed alias while it still plays; empty when none.
  virtual std::string OpenMp3() = 0;
};

// The system's player of sound files (mpv on POSIX, without a window; PlaySound and the media
// control interface on Windows).
Media& SystemMedia();

}  // namespace platform
