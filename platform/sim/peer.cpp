#include "platform/sim/peer.h"

#include <algorithm>

namespace platform::sim {

// The port object the handle table owns; it forwards to its peer and frees it when closed.
class Peer::Port final : public SerialPort {
 public:
  explicit Port(std::shared_ptr<Peer> peer) : peer_(std::move(peer)) {}

  ~Port() override {
    // Closing a port drops its output lines, as the driver does on the last close.
    for (auto line : {OutputLine::Dtr, OutputLine::Rts, OutputLine::Break}) peer_->ChangeLine(line, false);
    peer_->open_ = false;
  }

  bool GetSettings(PortSettings& settings) override {
    if (peer_->Failing(PeerOperation::GetSettings)) return false;
    settings = peer_->settings_;
    return true;
  }

  bool SetSettings(const PortSettings& settings) override {
    if (peer_->Failing(PeerOperation::SetSettings) || settings.baudRate == 0 ||
        settings.dataBits < 5 || settings.dataBits > 8) {
      return false;
    }
    // As the Windows serial driver does, a DTR or RTS choice drives its line only when it
    // differs from the one in force: setting the same choice again leaves the line as the
    // program set it by hand (a receiver powered from DTR and RTS keeps its power).
    const PortSettings previous = peer_->settings_;
    peer_->settings_ = settings;
    if (settings.dtrControl != LineControl::Handshake && settings.dtrControl != previous.dtrControl) {
      peer_->ChangeLine(OutputLine::Dtr, settings.dtrControl == LineControl::Enable);
    }
    if (settings.rtsControl != LineControl::Handshake && settings.rtsControl != previous.rtsControl) {
      peer_->ChangeLine(OutputLine::Rts, settings.rtsControl == LineControl::Enable);
    }
    return true;
  }

  bool GetTimeouts(PortTimeouts& timeouts) override {
    if (peer_->Failing(PeerOperation::GetTimeouts)) return false;
    timeouts = peer_->timeouts_;
    return true;
  }

  bool SetTimeouts(const PortTimeouts& timeouts) override {
    if (peer_->Failing(PeerOperation::SetTimeouts)) return false;
    peer_->timeouts_ = timeouts;
    return true;
  }

  bool SetLine(OutputLine line, bool on) override {
    if (peer_->Failing(PeerOperation::SetLine)) return false;
    peer_->ChangeLine(line, on);
    return true;
  }

  bool GetModemStatus(uint32_t& status) override {
    if (peer_->Failing(PeerOperation::ModemStatus)) return false;
    Clock& clock = peer_->clock_;
    status = peer_->InputLinesAt(clock.NowNs());
    clock.NoteLineRead();
    return true;
  }

  bool TransmitChar(uint8_t byte) override {
    if (peer_->Failing(PeerOperation::TransmitChar)) return false;
    peer_->clock_.WaitUntilNs(peer_->SendByte(byte));
    return true;
  }

  bool Write(std::span<const uint8_t> bytes, size_t& written) override {
    written = 0;
    if (peer_->Failing(PeerOperation::Write)) return false;
    for (uint8_t byte : bytes) peer_->SendByte(byte);
    written = bytes.size();
    return true;
  }

  bool Read(std::span<uint8_t> buffer, size_t& received) override {
    received = 0;
    if (peer_->Failing(PeerOperation::Read)) return false;
    return peer_->ReadBytes(buffer, received);
  }

 private:
  std::shared_ptr<Peer> peer_;
};

Peer::Peer(Clock& clock) : clock_(clock) {}

std::unique_ptr<SerialPort> Peer::OpenPort() {
  if (open_ || Failing(PeerOperation::Open)) return nullptr;
  open_ = true;
  // A freshly opened port has DTR and RTS raised until its settings say otherwise.
  ChangeLine(OutputLine::Dtr, settings_.dtrControl != LineControl::Disable);
  ChangeLine(OutputLine::Rts, settings_.rtsControl != LineControl::Disable);
  return std::make_unique<Port>(shared_from_this());
}

void Peer::RegisterAs(const std::string& name) {
  std::weak_ptr<Peer> self = weak_from_this();
  RegisterSimPeer(name, [self](std::string_view) -> std::unique_ptr<SerialPort> {
    auto peer = self.lock();
    return peer ? peer->OpenPort() : nullptr;
  });
}

void Peer::SetFailing(PeerOperation operation, bool failing) {
  failing_[static_cast<size_t>(operation)] = failing;
}

bool Peer::Failing(PeerOperation operation) const { return failing_[static_cast<size_t>(operation)]; }

void Peer::QueueInput(std::span<const uint8_t> bytes, int64_t delayUs) {
  int64_t availableNs = clock_.NowNs() + delayUs * 1000;
  for (uint8_t byte : bytes) input_.push_back({availableNs, byte});
  // Bytes queued for later never overtake those queued before them.
  std::stable_sort(input_.begin(), input_.end(),
                   [](const PendingByte& a, const PendingByte& b) { return a.availableNs < b.availableNs; });
}

void Peer::QueueInput(std::string_view text, int64_t delayUs) {
  QueueInput(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), delayUs);
}

int64_t Peer::CharacterNs() const {
  return int64_t{FrameBits(settings_)} * 1'000'000'000 / settings_.baudRate;
}

uint32_t Peer::InputLinesAt(int64_t) { return heldInputLines_; }

void Peer::OnLineChanged(OutputLine, bool, int64_t) {}

void Peer::OnByteSent(uint8_t, int64_t, int64_t) {}

void Peer::ChangeLine(OutputLine line, bool on) {
  bool& state = lines_[static_cast<size_t>(line)];
  if (state == on) return;
  state = on;
  OnLineChanged(line, on, clock_.NowNs());
}

int64_t Peer::SendByte(uint8_t byte) {
  int64_t startNs = std::max(clock_.NowNs(), wireBusyUntilNs_);
  wireBusyUntilNs_ = startNs + CharacterNs();
  receivedBytes_.push_back(byte);
  OnByteSent(byte, startNs, wireBusyUntilNs_);
  return wireBusyUntilNs_;
}

size_t Peer::TakeAvailable(std::span<uint8_t> buffer, size_t received) {
  int64_t nowNs = clock_.NowNs();
  while (received < buffer.size() && !input_.empty() && input_.front().availableNs <= nowNs) {
    buffer[received++] = input_.front().byte;
    input_.pop_front();
  }
  return received;
}

// Win32 read time-outs on the peer's clock. With no time-out at all a real port would wait
// for the whole buffer; a peer that will never answer returns what it has instead of hanging.
bool Peer::ReadBytes(std::span<uint8_t> buffer, size_t& received) {
  received = TakeAvailable(buffer, 0);
  if (buffer.empty() || received == buffer.size()) return true;
  const auto& t = timeouts_;
  constexpr uint32_t kMax = PortTimeouts::kMaxDword;
  if (t.readIntervalMs == kMax && t.readTotalMultiplierMs == 0 && t.readTotalConstantMs == 0) return true;
  bool firstByteOnly = t.readIntervalMs == kMax && t.readTotalMultiplierMs == kMax;
  if (firstByteOnly && received > 0) return true;
  int64_t totalMs = firstByteOnly ? t.readTotalConstantMs
                                  : int64_t{t.readTotalMultiplierMs} * static_cast<int64_t>(buffer.size()) +
                                        t.readTotalConstantMs;
  int64_t startNs = clock_.NowNs();
  int64_t deadlineNs = totalMs > 0 ? startNs + totalMs * 1'000'000 : INT64_MAX;
  bool intervalApplies = !firstByteOnly && t.readIntervalMs > 0 && t.readIntervalMs != kMax;
  int64_t lastByteNs = startNs;
  while (received < buffer.size()) {
    int64_t limitNs = deadlineNs;
    if (intervalApplies && received > 0) limitNs = std::min(limitNs, lastByteNs + int64_t{t.readIntervalMs} * 1'000'000);
    if (input_.empty() || input_.front().availableNs > limitNs) {
      if (limitNs != INT64_MAX) clock_.WaitUntilNs(limitNs);
      break;
    }
    clock_.WaitUntilNs(input_.front().availableNs);
    lastByteNs = clock_.NowNs();
    received = TakeAvailable(buffer, received);
    if (firstByteOnly) break;
  }
  return true;
}

}  // namespace platform::sim
