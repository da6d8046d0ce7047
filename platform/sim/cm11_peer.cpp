#include "platform/sim/cm11_peer.h"

#include <algorithm>
#include <iterator>
#include <numeric>

namespace platform::sim {

std::vector<TimedReply> Cm11Interface::OnHostByte(uint8_t byte, int64_t nowUs) {
  std::lock_guard lock(mutex_);
  received_.push_back(byte);
  OpenDueRequest(nowUs);
  std::vector<TimedReply> replies = open_ ? RespondAsking(byte) : Respond(byte);
  // A request that waits for host bytes opens once its last one is heard and answered.
  for (Request& request : waiting_) {
    if (request.afterHostBytes > 0) --request.afterHostBytes;
  }
  int64_t answeredUs = nowUs;
  for (const TimedReply& reply : replies) answeredUs = std::max(answeredUs, nowUs + reply.delayUs);
  OpenDueRequest(answeredUs);
  return replies;
}

std::vector<TimedReply> Cm11Interface::TakeUnsolicited(int64_t nowUs) {
  std::lock_guard lock(mutex_);
  OpenDueRequest(nowUs);
  std::vector<TimedReply> sent;
  while (open_ && nextRequestUs_ <= nowUs) {
    const uint8_t byte = open_->powerFail ? kPowerFail : kPoll;
    sent.push_back({{byte}, 0});
    sentUnasked_.push_back(byte);
    nextRequestUs_ += kRequestIntervalUs;
  }
  return sent;
}

void Cm11Interface::OpenDueRequest(int64_t startUs) {
  if (open_ || waiting_.empty() || waiting_.front().afterHostBytes > 0) return;
  open_ = std::move(waiting_.front());
  waiting_.erase(waiting_.begin());
  nextRequestUs_ = startUs;
  // Whatever it was receiving is dropped: it listens for the answer to its request alone.
  message_.clear();
  awaitingGoAhead_ = false;
}

std::vector<TimedReply> Cm11Interface::RespondAsking(uint8_t byte) {
  if (!open_->powerFail) {
    if (byte != kPollAnswer) return {};
    std::vector<uint8_t> upload = std::move(open_->upload);
    open_.reset();
    sentUnasked_.insert(sentUnasked_.end(), upload.begin(), upload.end());
    return {{std::move(upload), checksumDelayUs_}};
  }
  // Only a clock setting ends a power failure; anything before its header is ignored.
  if (message_.empty() && byte != kSetClock) return {};
  std::vector<TimedReply> replies = Respond(byte);
  if (pendingIsClock_ && awaitingGoAhead_) open_.reset();
  return replies;
}

std::vector<TimedReply> Cm11Interface::Respond(uint8_t byte) {
  if (scripted_) {
    if (script_.empty()) return {};
    TimedReply reply = std::move(script_.back());
    script_.pop_back();
    if (reply.bytes.empty()) return {};
    return {std::move(reply)};
  }
  if (awaitingGoAhead_) {
    awaitingGoAhead_ = false;
    if (byte == kGoAhead) {
      if (!pendingIsClock_) transmissions_.push_back(pending_);
      return Answer(kReady, readyDelayUs_);
    }
    // Not the go-ahead: the host starts over, this byte opens a new transmission.
  }
  message_.push_back(byte);
  if (message_.front() == kSetClock) {
    if (message_.size() < kSetClockBytes) return {};
    std::vector<uint8_t> fields(message_.begin() + 1, message_.end());
    clockSettings_.push_back(fields);
    auto checksum = static_cast<uint8_t>(std::accumulate(fields.begin(), fields.end(), 0u));
    message_.clear();
    awaitingGoAhead_ = true;
    pendingIsClock_ = true;
    return Answer(checksum, checksumDelayUs_);
  }
  if (message_.size() < 2) return {};
  pending_ = {message_[0], message_[1]};
  message_.clear();
  awaitingGoAhead_ = true;
  pendingIsClock_ = false;
  return Answer(static_cast<uint8_t>(pending_.header + pending_.code), checksumDelayUs_);
}

std::vector<TimedReply> Cm11Interface::Answer(uint8_t byte, int64_t delayUs) {
  Cm11Fault fault = standing_;
  if (!injected_.empty()) {
    fault = injected_.front();
    injected_.erase(injected_.begin());
  }
  switch (fault) {
    case Cm11Fault::None: return {{{byte}, delayUs}};
    case Cm11Fault::Late: return {{{byte}, lateDelayUs_}};
    case Cm11Fault::Twice: return {{{byte, byte}, delayUs}};
    case Cm11Fault::Wrong: return {{{static_cast<uint8_t>(byte + 1)}, delayUs}};
    case Cm11Fault::Silent: return {};
  }
  return {};
}

void Cm11Interface::InjectFault(Cm11Fault fault, int replies) {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < replies; ++i) injected_.push_back(fault);
}

void Cm11Interface::SetFault(Cm11Fault fault) {
  std::lock_guard lock(mutex_);
  standing_ = fault;
  if (fault == Cm11Fault::None) injected_.clear();
}

void Cm11Interface::ScriptReplies(std::vector<TimedReply> replies) {
  std::lock_guard lock(mutex_);
  scripted_ = true;
  script_.assign(std::make_move_iterator(replies.rbegin()), std::make_move_iterator(replies.rend()));
}

void Cm11Interface::HoldData(std::vector<uint8_t> upload, int afterHostBytes) {
  std::lock_guard lock(mutex_);
  waiting_.push_back({false, std::move(upload), std::max(afterHostBytes, 0)});
}

void Cm11Interface::FailPower(int afterHostBytes) {
  std::lock_guard lock(mutex_);
  waiting_.push_back({true, {}, std::max(afterHostBytes, 0)});
}

bool Cm11Interface::Asking() const {
  std::lock_guard lock(mutex_);
  return open_.has_value() || !waiting_.empty();
}

std::vector<uint8_t> Cm11Interface::SentUnasked() const {
  std::lock_guard lock(mutex_);
  return sentUnasked_;
}

void Cm11Interface::SetChecksumDelayUs(int64_t us) {
  std::lock_guard lock(mutex_);
  checksumDelayUs_ = us;
}

void Cm11Interface::SetReadyDelayUs(int64_t us) {
  std::lock_guard lock(mutex_);
  readyDelayUs_ = us;
}

void Cm11Interface::SetLateDelayUs(int64_t us) {
  std::lock_guard lock(mutex_);
  lateDelayUs_ = us;
}

std::vector<uint8_t> Cm11Interface::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<X10Transmission> Cm11Interface::Transmissions() const {
  std::lock_guard lock(mutex_);
  return transmissions_;
}

std::vector<std::vector<uint8_t>> Cm11Interface::ClockSettings() const {
  std::lock_guard lock(mutex_);
  return clockSettings_;
}

void Cm11Interface::ClearRecord() {
  std::lock_guard lock(mutex_);
  sentUnasked_.clear();
  received_.clear();
  transmissions_.clear();
  clockSettings_.clear();
}

void Cm11Peer::OnByteSent(uint8_t byte, int64_t, int64_t endNs) {
  // The interface hears a byte once its stop bit is over; its answers count from then.
  int64_t untilHeardUs = (endNs - PeerClock().NowNs()) / 1000;
  for (const auto& reply : interface_.OnHostByte(byte, endNs / 1000))
    QueueInput(reply.bytes, untilHeardUs + reply.delayUs);
}

void Cm11Peer::BeforeRead(int64_t nowNs) {
  for (const auto& request : interface_.TakeUnsolicited(nowNs / 1000))
    QueueInput(request.bytes, request.delayUs);
}

std::shared_ptr<Cm11Peer> InstallCm11Peer(const std::string& name, Clock& clock) {
  auto peer = std::make_shared<Cm11Peer>(clock);
  peer->RegisterAs(name);
  return peer;
}

}  // namespace platform::sim
