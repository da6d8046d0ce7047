#include "platform/media.h"

#include <mutex>

#include "platform/process.h"

namespace platform {
namespace {

constexpr int kCloseTimeoutMs = 1000;

// The MP3 open under the fixed alias: the player process that plays it and its file.
std::mutex aliasMutex;
int aliasProcessId = 0;
std::string aliasFile;

// mpv plays both formats without a window; with no audio device it falls back to a silent
// output instead of failing, and it loads no user scripts, so it never shows up as a desktop
// media player itself.
int StartPlayer(const std::string& path) {
  return StartProgram({"mpv", "--no-terminal", "--no-video", "--load-scripts=no",
                       "--audio-fallback-to-null=yes", "--", path},
                      ShowMode::kHidden);
}

void CloseMp3Locked() {
  if (aliasProcessId != 0) StopProgram(aliasProcessId, kCloseTimeoutMs);
  aliasProcessId = 0;
  aliasFile.clear();
}

}  // namespace

bool PlayWave(const std::string& path) { return StartPlayer(path) != 0; }

bool PlayMp3(const std::string& path) {
  std::lock_guard lock(aliasMutex);
  CloseMp3Locked();
  aliasProcessId = StartPlayer(path);
  if (aliasProcessId != 0) aliasFile = path;
  return aliasProcessId != 0;
}

void CloseMp3() {
  std::lock_guard lock(aliasMutex);
  CloseMp3Locked();
}

std::string OpenMp3() {
  std::lock_guard lock(aliasMutex);
  if (aliasProcessId != 0 && !ProgramRunning(aliasProcessId)) {
    aliasProcessId = 0;
    aliasFile.clear();
  }
  return aliasFile;
}

}  // namespace platform
