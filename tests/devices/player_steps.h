#pragma once

// A table of player words for the player tests, real and fake alike.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "qvx/devices/winamp.h"

namespace qvx::test {

// One player word, the status text it answers and the browsing offset after it.
struct PlayerStep {
  const char* word;
  const char* status;
  int offset;
};

// Runs the words one after the other and checks each answer and the offset it leaves.
inline void RunPlayerSteps(devices::clsWinamp& winamp, std::int16_t& offset,
                           const std::string& winampPath, const std::vector<PlayerStep>& steps) {
  for (const PlayerStep& step : steps) {
    SCOPED_TRACE(step.word);
    EXPECT_EQ(devices::ExecuteWinampCommand(winamp, offset, winampPath, step.word), step.status);
    EXPECT_EQ(offset, step.offset);
  }
}

}  // namespace qvx::test
