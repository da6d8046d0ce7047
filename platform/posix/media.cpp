#include "platform/media.h"

#include <mutex>

#include "platform/process.h"

namespace platform {
namespace {

constexpr int kCloseTimeoutMs = 1000;

// mpv plays both formats without a window; with no audio device it falls back to a silent
// output instead of failing, and it loads no user scripts, so it never shows up as a desktop
// media player itself.
int StartPlayer(const std::string& path) {
  return StartProgram({"mpv", "--no-terminal", "--no-video", "--load-scripts=no",
                       "--audio-fallback-to-null=yes", "--", path},
                      ShowMode::kHidden);
}

class MpvMedia final : public Media {
 public:
  bool PlayWave(const std::string& path) override { return StartPlayer(path) != 0; }

  bool PlayMp3(const std::string& path) override {
    std::lock_guard lock(mutex_);
    CloseLocked();
    processId_ = StartPlayer(path);
    if (processId_ != 0) file_ = path;
    return processId_ != 0;
  }

  void CloseMp3() override {
    std::lock_guard lock(mutex_);
    CloseLocked();
  }

  std::string OpenMp3() override {
    std::lock_guard lock(mutex_);
    if (processId_ != 0 && !ProgramRunning(processId_)) {
      processId_ = 0;
      file_.clear();
    }
    return file_;
  }

 private:
  void CloseLocked() {
    if (processId_ != 0) StopProgram(processId_, kCloseTimeoutMs);
    processId_ = 0;
    file_.clear();
  }

  // The MP3 open under the fixed alias: the player process that plays it and its file.
  std::mutex mutex_;
  int processId_ = 0;
  std::string file_;
};

}  // namespace

Media& SystemMedia() {
  static MpvMedia media;
  return media;
}

}  // namespace platform
