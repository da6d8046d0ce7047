#include "qvx/monitor/keypresses.h"

#include <algorithm>

#include "qvx/ircode/irtypes.h"

namespace qvx::monitor {
namespace {

constexpr int64_t kMsNs = 1'000'000;

// The longest darkness inside a held press, by what the window showed: SONY repeats its frame
// of up to 24 ms every 45 ms, RC5 its frame of 25 ms every 114 ms; NEC sends a repeat code of
// 12 ms every 108 ms, or, on some remotes, its whole frame of 68 ms (each a few percent slower
// on a slow resonator).
int64_t HeldDarkNs(int codingType, WatchedKey::Kind kind) {
  const bool necFrame = codingType == ircode::kGapCoded && kind == WatchedKey::Kind::Frame;
  return (codingType == ircode::kPulseCoded || necFrame ? 60 : 130) * kMsNs;
}

}  // namespace

bool KeyPresses::Continues(const Press& press, const WatchedKey& window) const {
  const int codingType = press.key.codingType;
  const int64_t darkNs = HeldDarkNs(codingType, window.kind);
  // The light went on up to the end of the press's last window and came again soon after
  // watching resumed (or, with no pause between, soon after that window).
  const bool lit = press.lastCloseNs - press.lastLightNs <= darkNs &&
                   window.openNs - std::max(resumedNs_, press.lastCloseNs) <= darkNs;
  if (!lit) return false;
  switch (window.kind) {
    case WatchedKey::Kind::Unread: return true;
    case WatchedKey::Kind::RepeatCodes: return codingType == ircode::kGapCoded;
    case WatchedKey::Kind::Frame:
      // A NEC remote that sends repeat codes sends its frame once a press; RC5's toggle bit,
      // part of the code, changes with every press.
      return window.codingType == codingType && window.code == press.key.code &&
             !press.repeatCodes;
  }
  return false;
}

std::optional<WatchedKey> KeyPresses::Judge(const WatchedKey& window) {
  if (press_ && Continues(*press_, window)) {
    press_->lastLightNs = window.lastLightNs;
    press_->lastCloseNs = window.closeNs;
    press_->repeatCodes = press_->repeatCodes || window.kind == WatchedKey::Kind::RepeatCodes;
    if (window.kind == WatchedKey::Kind::Unread) return std::nullopt;
    if (window.openNs - press_->key.openNs < kRepeatDelayMs * kMsNs) return std::nullopt;
    return press_->key;
  }
  if (window.kind != WatchedKey::Kind::Frame) {
    // Repeat codes or light of a press whose beginning went unseen: nothing to repeat.
    press_.reset();
    return std::nullopt;
  }
  press_ = Press{window, window.lastLightNs, window.closeNs, false};
  return window;
}

}  // namespace qvx::monitor
