// The beep through ALSA: a sine tone on the default PCM device. libasound is opened on the
// first audible beep, so programs that never beep do not load it.

#include <alsa/asoundlib.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/posix/shared_library.h"
#include "platform/sound.h"

namespace platform {
namespace {

constexpr unsigned int kSampleRateHz = 48000;
constexpr uint32_t kLowestHz = 37;  // the range Beep accepts
constexpr uint32_t kHighestHz = 32767;

// ALSA reports a missing sound card on stderr; a machine without one is normal here.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

#define QVX_ALSA_FUNCTIONS(X) \
  X(snd_lib_error_set_handler) \
  X(snd_pcm_open)              \
  X(snd_pcm_set_params)        \
  X(snd_pcm_writei)            \
  X(snd_pcm_recover)           \
  X(snd_pcm_drain)             \
  X(snd_pcm_close)

// The ALSA functions the beep uses, from libasound (QVX_LIBASOUND names another file).
struct AlsaFunctions : FunctionTable {
  QVX_ALSA_FUNCTIONS(QVX_FUNCTION_POINTER)

  AlsaFunctions() {
    Open("libasound.so.2", "QVX_LIBASOUND");
    QVX_ALSA_FUNCTIONS(QVX_RESOLVE_FUNCTION)
    if (loaded()) snd_lib_error_set_handler(IgnoreAlsaError);
  }
};

// Loaded on the first call, once for all threads.
const AlsaFunctions& Alsa() {
  static const AlsaFunctions functions;
  return functions;
}

std::string AudioDevice() {
  const char* device = std::getenv("QVX_AUDIO_DEVICE");
  return device && *device ? device : "default";
}

// Without libasound the beep is silent, as without a sound card.
void PlayTone(const std::string& device, uint32_t frequencyHz, uint32_t durationMs) {
  const AlsaFunctions& alsa = Alsa();
  if (!alsa.loaded()) return;
  snd_pcm_t* pcm = nullptr;
  if (alsa.snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0) return;
  if (alsa.snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                         kSampleRateHz, 1, 50'000) == 0) {
    size_t frames = size_t{kSampleRateHz} * durationMs / 1000;
    std::vector<int16_t> samples(frames);
    double step = 2 * std::numbers::pi * frequencyHz / kSampleRateHz;
    for (size_t i = 0; i < frames; ++i) {
      samples[i] = static_cast<int16_t>(8000 * std::sin(step * static_cast<double>(i)));
    }
    size_t done = 0;
    while (done < frames) {
      snd_pcm_sframes_t written = alsa.snd_pcm_writei(pcm, samples.data() + done, frames - done);
      if (written < 0) written = alsa.snd_pcm_recover(pcm, static_cast<int>(written), 1);
      if (written < 0) break;
      done += static_cast<size_t>(written);
    }
    alsa.snd_pcm_drain(pcm);
  }
  alsa.snd_pcm_close(pcm);
}

}  // namespace

void Beep(Clock& clock, uint32_t frequencyHz, uint32_t durationMs) {
  int64_t endNs = clock.NowNs() + int64_t{durationMs} * 1'000'000;
  std::string device = AudioDevice();
  if (durationMs > 0 && device != "none" && frequencyHz >= kLowestHz && frequencyHz <= kHighestHz) {
    PlayTone(device, frequencyHz, durationMs);
  }
  // Silent or cut short (no device, a device that does not pace): the call still lasts the
  // whole duration, as callers time their sequences by it.
  int64_t leftNs = endNs - clock.NowNs();
  if (leftNs > 0) clock.SleepMs(static_cast<uint32_t>((leftNs + 999'999) / 1'000'000));
}

}  // namespace platform
