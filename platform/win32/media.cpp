#include "platform/media.h"

#include <windows.h>
#include <mmsystem.h>

#include <mutex>

namespace platform {
namespace {

// The media control interface takes no quotes around a path with blanks: the short (8.3) form
// stands for it. Where the volume keeps no short names the long path is quoted instead.
std::string MciPath(const std::string& path) {
  char shortPath[MAX_PATH] = {};
  const DWORD length = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
  if (length > 0 && length < MAX_PATH && std::string_view(shortPath).find(' ') == std::string_view::npos)
    return shortPath;
  return "\"" + path + "\"";
}

bool Mci(const std::string& command, std::string* answer = nullptr) {
  char text[128] = {};
  const MCIERROR error = mciSendStringA(command.c_str(), text, sizeof text, nullptr);
  if (answer) *answer = text;
  return error == 0;
}

class MciMedia final : public Media {
 public:
  bool PlayWave(const std::string& path) override {
    return PlaySoundA(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT) != 0;
  }

  bool PlayMp3(const std::string& path) override {
    std::lock_guard lock(mutex_);
    CloseLocked();
    if (!Mci("open " + MciPath(path) + " type mpegvideo alias Mp3")) return false;
    if (!Mci("play Mp3")) {
      CloseLocked();
      return false;
    }
    file_ = path;
    return true;
  }

  void CloseMp3() override {
    std::lock_guard lock(mutex_);
    CloseLocked();
  }

  std::string OpenMp3() override {
    std::lock_guard lock(mutex_);
    std::string mode;
    if (!file_.empty() && (!Mci("status Mp3 mode", &mode) || mode != "playing")) CloseLocked();
    return file_;
  }

 private:
  void CloseLocked() {
    Mci("close Mp3");
    file_.clear();
  }

  std::mutex mutex_;
  std::string file_;  // the file open under the alias "Mp3"
};

}  // namespace

Media& SystemMedia() {
  static MciMedia media;
  return media;
}

}  // namespace platform
