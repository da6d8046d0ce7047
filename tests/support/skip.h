#pragma once

// End-to-end tests need real programs (Xvfb, VLC, mpv, dbus-daemon, lighttpd). Where one is
// missing such a test skips, and says why, so that the skip shows in the output and in
// CTest's summary. CI installs every one of them, so there (CI=true) a missing program fails
// the test instead of skipping it.

#include <gtest/gtest.h>

namespace qvx::test {

// True when the environment variable CI is "true".
bool InCi();

}  // namespace qvx::test

// Skips the current test with `reason` unless `available` holds; fails it under CI=true.
// Use it in a test body or SetUp, as GTEST_SKIP.
#define QVX_SKIP_UNLESS(available, reason)                               \
  if (!(available)) {                                                    \
    if (::qvx::test::InCi()) {                                           \
      FAIL() << "missing under CI=true, where it is installed: " << reason; \
    } else {                                                             \
      GTEST_SKIP() << reason;                                            \
    }                                                                    \
  }
