#include "platform/sim/irman_peer.h"

#include <span>

namespace platform::sim {
namespace {

// The box needs a moment to answer a command.
constexpr int64_t kAnswerDelayUs = 2000;

}  // namespace

IrManPeer::IrManPeer(Clock& clock, std::string answer) : Peer(clock), answer_(std::move(answer)) {}

bool IrManPeer::Powered() const { return LineOn(OutputLine::Dtr) && LineOn(OutputLine::Rts); }

bool IrManPeer::PressButton(const std::array<uint8_t, 6>& code, int64_t delayUs) {
  if (!Powered() || state_ != State::Ready) return false;
  QueueInput(std::span<const uint8_t>(code), delayUs);
  return true;
}

void IrManPeer::PressAfterReady(const std::array<uint8_t, 6>& code, int64_t delayUs) {
  pressAfterReady_ = code;
  pressDelayUs_ = delayUs;
}

void IrManPeer::OnLineChanged(OutputLine, bool, int64_t) {
  if (!Powered()) state_ = State::WaitingForI;
}

void IrManPeer::OnByteSent(uint8_t byte, int64_t, int64_t) {
  if (!Powered()) return;
  const PortSettings& format = Settings();
  if (format.baudRate != 9600 || format.dataBits != 8) {
    state_ = State::WaitingForI;
    return;
  }
  switch (state_) {
    case State::WaitingForI:
      if (byte == 'I') state_ = State::WaitingForR;
      break;
    case State::WaitingForR:
      if (byte == 'R') {
        state_ = State::Ready;
        QueueInput(answer_, kAnswerDelayUs);
        if (pressAfterReady_) {
          QueueInput(std::span<const uint8_t>(*pressAfterReady_), kAnswerDelayUs + pressDelayUs_);
          pressAfterReady_.reset();
        }
      } else if (byte != 'I') {
        state_ = State::WaitingForI;
      }
      break;
    case State::Ready:
      break;
  }
}

std::shared_ptr<IrManPeer> InstallIrManPeer(const std::string& name, Clock& clock,
                                            std::string answer) {
  auto peer = std::make_shared<IrManPeer>(clock, std::move(answer));
  peer->RegisterAs(name);
  return peer;
}

}  // namespace platform::sim
