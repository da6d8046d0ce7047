#pragma once

// The simulated infrared receiver and transmitter on one port. The receiver side plays a
// scripted remote control on DCD; the transmitter side captures, with time stamps, every DTR
// change, break change and character the host sends, from which the emitted light is rebuilt.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/sim/peer.h"

namespace platform::sim {

// How the receiver drives DCD while it sees infrared light. A receiver read with IRRecord and
// IRMonitor turns DCD off for light; one read with IRRecordN and IRMonitorN turns it on.
enum class DcdPolarity { OffWhileLight, OnWhileLight };

// How the receiver is wired to the port, which decides when it is powered and what it shows
// on the input lines besides its output on DCD.
enum class ReceiverWiring {
  AlwaysPowered,  // a receiver with its own supply: DCD follows the light alone
  DcdStandard,    // powered from RTS; DCD on while dark, off for light, off without power
  IrMouse,        // powered from RTS and DTR with TxD out of break; DSR looped back from RTS;
                  // DCD on for light, off while dark or without power
};

// One interval of light (a mark), in nanoseconds of the peer's clock; `endNs` is exclusive.
struct LightMark {
  int64_t startNs;
  int64_t endNs;
  bool operator==(const LightMark&) const = default;
};

// One captured transmitter event.
struct TxEvent {
  enum class Kind { Dtr, Break, Character };
  Kind kind;
  int64_t startNs;  // when the line changed or the character's start bit began
  int64_t endNs;    // end of the character's stop bit; equal to startNs for line changes
  bool on;          // the new line state (true for characters)
  uint8_t byte;     // the character sent (0 for line changes)
};

class IrPeer final : public Peer {
 public:
  // A receiver with no remote playing (dark) and an empty capture.
  IrPeer(Clock& clock, DcdPolarity polarity);

  // Changes how DCD reflects light.
  void SetPolarity(DcdPolarity polarity) { polarity_ = polarity; }
  // Changes the wiring; DcdStandard and IrMouse also set the polarity their receivers have.
  void SetWiring(ReceiverWiring wiring);
  // True while the receiver has power from the port's lines.
  bool Powered() const;
  // Plays a remote: light for durationsUs[0], dark for durationsUs[1], light again and so on,
  // starting `delayUs` from now. Replaces a press that is still playing.
  void PlayRemote(const std::vector<int64_t>& durationsUs, int64_t delayUs = 0);
  // Plays marks as they were captured, shifted so that the first starts `delayUs` from now.
  void PlayMarks(const std::vector<LightMark>& marks, int64_t delayUs = 0);
  // True while the scripted remote shines at `ns`.
  bool LightAt(int64_t ns) const;

  // The light of the next button press, as PlayRemote takes it.
  using PressSource = std::function<std::vector<int64_t>()>;
  // Milliseconds on a wall clock: the time of the person who holds the remote.
  using WallClockMs = std::function<int64_t()>;
  // A remote in a person's hand: when the receiver is read after nobody read it for `quietMs`
  // of wall-clock time (a recording begins), the next press of `next` starts `delayUs` later on
  // the peer's clock, replacing what still plays. An empty `next` puts the remote down; an
  // empty `wall` reads the machine's steady clock.
  void PressWhenRead(PressSource next, int64_t quietMs = 300, int64_t delayUs = 20'000,
                     WallClockMs wall = {});

  // Runs `action` at the first read of the receiver at or after `ns` on the peer's clock: what
  // the person at the machine does while the remote plays (edits a file, pulls the plug).
  // Actions run in time order, each once.
  void At(int64_t ns, std::function<void()> action);

  // The transmitter events captured so far, in time order of their calls.
  const std::vector<TxEvent>& Captured() const { return captured_; }
  // Forgets the captured events.
  void ClearCapture() { captured_.clear(); }

 protected:
  uint32_t InputLinesAt(int64_t nowNs) override;
  // The next edge of the light, or the next action, whichever comes first.
  std::optional<int64_t> NextInputChangeNs(int64_t nowNs) override;
  void OnLineChanged(OutputLine line, bool on, int64_t atNs) override;
  void OnByteSent(uint8_t byte, int64_t startNs, int64_t endNs) override;

 private:
  DcdPolarity polarity_;
  ReceiverWiring wiring_ = ReceiverWiring::AlwaysPowered;
  std::vector<LightMark> remote_;
  std::vector<TxEvent> captured_;
  PressSource pressSource_;
  WallClockMs wall_;
  int64_t quietMs_ = 0;
  int64_t pressDelayUs_ = 0;
  std::optional<int64_t> lastReadMs_;
  std::multimap<int64_t, std::function<void()>> actions_;
};

// The light of a transmitter keyed on DTR (it makes its own carrier): one mark per interval
// with DTR on; a DTR still on at the end of the capture ends at `endNs`.
std::vector<LightMark> DtrLight(const std::vector<TxEvent>& events, int64_t endNs);
// The carrier that characters make on TxD, as a receiver's demodulator sees it: one mark per
// run of characters whose frames are at most `joinGapNs` apart.
std::vector<LightMark> TxdCarrier(const std::vector<TxEvent>& events, int64_t joinGapNs);

// What a receiver makes of the light it sees: marks come out longer and gaps shorter by a
// stretch drawn once per press, and every duration varies by up to jitterPercent either way.
struct ReceiverDistortion {
  double stretchMinUs = 0;
  double stretchMaxUs = 0;
  double jitterPercent = 0;
};

// The receiver's output for `light` (marks in time order); marks never overlap and are at
// least 1 us long. The same generator state gives the same output.
std::vector<LightMark> DistortLight(const std::vector<LightMark>& light,
                                    const ReceiverDistortion& distortion, std::mt19937& rng);

// Creates an infrared peer on `clock` and registers it as "sim:NAME"; returns it.
std::shared_ptr<IrPeer> InstallIrPeer(const std::string& name, Clock& clock,
                                      DcdPolarity polarity = DcdPolarity::OffWhileLight);
// Creates an infrared peer with the given wiring and registers it as "sim:NAME"; returns it.
std::shared_ptr<IrPeer> InstallWiredIrPeer(const std::string& name, Clock& clock,
                                           ReceiverWiring wiring);

}  // namespace platform::sim
