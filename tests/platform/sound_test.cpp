#include <gtest/gtest.h>

#include <chrono>

#include "platform/clock.h"
#include "platform/sim/virtual_clock.h"
#include "platform/sound.h"
#include "tests/support/terminal.h"

namespace {

using qvx::test::ScopedEnv;

TEST(Beep, SilentBeepsStillLastTheirDuration) {
  struct Case {
    const char* device;
    uint32_t frequencyHz;
    uint32_t durationMs;
  };
  for (auto c : {Case{"none", 5000, 50}, Case{"no-such-device", 2000, 50}, Case{"none", 20, 120},
                 Case{"none", 40000, 7}, Case{"none", 1000, 0}}) {
    ScopedEnv device("QVX_AUDIO_DEVICE", c.device);
    platform::sim::VirtualClock clock;
    platform::Beep(clock, c.frequencyHz, c.durationMs);
    EXPECT_EQ(clock.NowNs(), int64_t{c.durationMs} * 1'000'000) << c.device << " " << c.frequencyHz;
  }
}

TEST(Beep, PlaysThroughAlsaAndBlocksForItsDuration) {
  ScopedEnv device("QVX_AUDIO_DEVICE", "null");  // a real ALSA device that discards the samples
  auto start = std::chrono::steady_clock::now();
  platform::Beep(platform::RealClock(), 2000, 40);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(ms.count(), 40);
  EXPECT_LT(ms.count(), 2000);
}

}  // namespace
