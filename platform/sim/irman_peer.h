#pragma once

// A simulated IRMan receiver: a box powered from DTR and RTS that talks at 9600 baud, 8 data
// bits. After power-up it waits for "I" and then "R", answers "ok", and from then on sends six
// code bytes for every button press it sees. A power drop or a byte at another line format
// (which the box receives as garbage) sends it back to waiting for "I".

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/sim/peer.h"

namespace platform::sim {

class IrManPeer final : public Peer {
 public:
  // A receiver that answers `answer` to its initialisation ("ok" unless told otherwise).
  explicit IrManPeer(Clock& clock, std::string answer = "ok");

  // True while DTR and RTS are both on.
  bool Powered() const;
  // True once "I" and "R" have been answered since the last power-up.
  bool Initialised() const { return state_ == State::Ready; }
  // Sends the six bytes of a button press `delayUs` from now; false, with nothing sent, while
  // the receiver has no power or has not been initialised.
  bool PressButton(const std::array<uint8_t, 6>& code, int64_t delayUs = 0);
  // A press the user makes `delayUs` after the receiver next reports ready (for a program that
  // initialises the receiver and then waits for a code); replaces an earlier one.
  void PressAfterReady(const std::array<uint8_t, 6>& code, int64_t delayUs);

 protected:
  void OnLineChanged(OutputLine line, bool on, int64_t atNs) override;
  void OnByteSent(uint8_t byte, int64_t startNs, int64_t endNs) override;

 private:
  enum class State { WaitingForI, WaitingForR, Ready };

  std::string answer_;
  State state_ = State::WaitingForI;
  std::optional<std::array<uint8_t, 6>> pressAfterReady_;
  int64_t pressDelayUs_ = 0;
};

// Creates an IRMan receiver on `clock` and registers it as "sim:NAME"; returns it.
std::shared_ptr<IrManPeer> InstallIrManPeer(const std::string& name, Clock& clock,
                                            std::string answer = "ok");

}  // namespace platform::sim
