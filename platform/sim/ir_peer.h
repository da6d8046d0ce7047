#pragma once

// The simulated infrared receiver and transmitter on one port. The receiver side plays a
// scripted remote control on DCD; the transmitter side captures, with time stamps, every DTR
// change, break change and character the host sends, from which the emitted light is rebuilt.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/peer.h"

namespace platform::sim {

// How the receiver drives DCD while it sees infrared light. A receiver read with IRRecord and
// IRMonitor turns DCD off for light; one read with IRRecordN and IRMonitorN turns it on.
enum class DcdPolarity { OffWhileLight, OnWhileLight };

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
  // Plays a remote: light for durationsUs[0], dark for durationsUs[1], light again and so on,
  // starting `delayUs` from now. Replaces a press that is still playing.
  void PlayRemote(const std::vector<int64_t>& durationsUs, int64_t delayUs = 0);
  // Plays marks as they were captured, shifted so that the first starts `delayUs` from now.
  void PlayMarks(const std::vector<LightMark>& marks, int64_t delayUs = 0);
  // True while the scripted remote shines at `ns`.
  bool LightAt(int64_t ns) const;

  // The transmitter events captured so far, in time order of their calls.
  const std::vector<TxEvent>& Captured() const { return captured_; }
  // Forgets the captured events.
  void ClearCapture() { captured_.clear(); }

 protected:
  uint32_t InputLinesAt(int64_t nowNs) override;
  void OnLineChanged(OutputLine line, bool on, int64_t atNs) override;
  void OnByteSent(uint8_t byte, int64_t startNs, int64_t endNs) override;

 private:
  DcdPolarity polarity_;
  std::vector<LightMark> remote_;
  std::vector<TxEvent> captured_;
};

// The light of a transmitter keyed on DTR (it makes its own carrier): one mark per interval
// with DTR on; a DTR still on at the end of the capture ends at `endNs`.
std::vector<LightMark> DtrLight(const std::vector<TxEvent>& events, int64_t endNs);
// The carrier that characters make on TxD, as a receiver's demodulator sees it: one mark per
// run of characters whose frames are at most `joinGapNs` apart.
std::vector<LightMark> TxdCarrier(const std::vector<TxEvent>& events, int64_t joinGapNs);

// Creates an infrared peer on `clock` and registers it as "sim:NAME"; returns it.
std::shared_ptr<IrPeer> InstallIrPeer(const std::string& name, Clock& clock,
                                      DcdPolarity polarity = DcdPolarity::OffWhileLight);

}  // namespace platform::sim
