#pragma once

// Taps and held keys. A remote keeps sending while its key is down: SONY and RC5 repeat the
// frame, NEC sends its frame once and then repeat codes (some NEC remotes repeat the frame). The monitoring tick sees such a press
// in one watch window after another, with its pause between them; this decides which of those
// windows fire the key's event, so that a tap fires once and a held key repeats.

#include <cstdint>
#include <optional>
#include <string>

namespace qvx::monitor {

// A key must be held this long before it repeats. A tap of some remotes lasts 0.7 s and spans
// two windows; it fires once.
inline constexpr int64_t kRepeatDelayMs = 800;

// What one watch window showed.
struct WatchedKey {
  enum class Kind {
    Frame,        // a frame with a code
    RepeatCodes,  // NEC repeat codes and nothing else
    Unread,       // light that gave no code
  };
  Kind kind = Kind::Unread;
  int codingType = 0;      // Frame: 0 NEC, 1 SONY, 2 RC5
  std::string code;        // Frame: the bits as received, RC5 with its toggle bit
  std::string literalCode; // Frame: what the literal analysis read where that differs
  int64_t openNs = 0;      // when the window opened
  int64_t closeNs = 0;     // when it closed
  int64_t lastLightNs = 0; // the last light it saw; openNs when it saw none
};

class KeyPresses {
 public:
  // Judges a window: the key to fire (for NEC repeat codes the frame they repeat), or nothing
  // when the window continues a press that has fired and is not yet held long enough to repeat.
  // A new press fires at once; a press that goes on fires again with every window once it has
  // been held kRepeatDelayMs.
  std::optional<WatchedKey> Judge(const WatchedKey& window);
  // Watching resumed at `ns` after a window and the pause that may follow it: light that comes
  // soon after belongs to the press that went on meanwhile.
  void Resumed(int64_t ns) { resumedNs_ = ns; }
  // Forgets the press, as when monitoring stops.
  void Forget() { press_.reset(); }

 private:
  struct Press {
    WatchedKey key;         // the window that began it
    int64_t lastLightNs;    // its last light seen
    int64_t lastCloseNs;    // when its last window closed
    bool repeatCodes;       // NEC: repeat codes followed its frame
  };
  bool Continues(const Press& press, const WatchedKey& window) const;

  std::optional<Press> press_;
  int64_t resumedNs_ = 0;
};

}  // namespace qvx::monitor
