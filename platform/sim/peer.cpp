#include "platform/sim/peer.h"

#include <algorithm>

namespace platform::sim {

// The port object the handle table owns; it forwards to its peer and frees it when closed.
class Peer::Port final : public SerialPort {
 public:
  explicit Port(std::shared_ptr<Peer> peer) : peer_(std::move(peer)) {}

  ~Port() override { Close(); }

  Status Close() override {
    if (!peer_) return {};
    // Closing a port drops its output lines, as the driver does on the last close.
    for (auto line : {OutputLine::Dtr, OutputLine::Rts, OutputLine::Break})
      peer_->ChangeLine(line, false);
    peer_->open_ = false;
    peer_->machineLock_.reset();
    peer_.reset();
    return {};
  }

  Status GetSettings(PortSettings& settings) override {
    settings = PortSettings{};
    if (Status refused = Refused(PeerOperation::GetSettings); !refused) return refused;
    settings = peer_->settings_;
    return {};
  }

  Status SetSettings(const PortSettings& settings) override {
    if (Status refused = Refused(PeerOperation::SetSettings); !refused) return refused;
    if (settings.baudRate == 0 || settings.dataBits < 5 || settings.dataBits > 8)
      return Status(StatusCode::BadArgument, "the simulated peer takes no such line format");
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
    return {};
  }

  Status GetTimeouts(PortTimeouts& timeouts) override {
    timeouts = PortTimeouts{};
    if (Status refused = Refused(PeerOperation::GetTimeouts); !refused) return refused;
    timeouts = peer_->timeouts_;
    return {};
  }

  Status SetTimeouts(const PortTimeouts& timeouts) override {
    if (Status refused = Refused(PeerOperation::SetTimeouts); !refused) return refused;
    peer_->timeouts_ = timeouts;
    return {};
  }

  Status SetLine(OutputLine line, bool on) override {
    if (Status refused = Refused(PeerOperation::SetLine); !refused) return refused;
    peer_->ChangeLine(line, on);
    return {};
  }

  Status GetModemStatus(uint32_t& status) override {
    status = 0;
    if (Status refused = Refused(PeerOperation::ModemStatus); !refused) return refused;
    Clock& clock = peer_->clock_;
    status = peer_->InputLinesAt(clock.NowNs());
    clock.NoteLineRead();
    return {};
  }

  // Sleeps on the peer's clock until the lines' next scheduled change: on the real clock the
  // thread is woken as late as the system wakes it for a real port's interrupt.
  Status WaitModemChange(uint32_t mask, uint32_t expected, int64_t timeoutUs,
                         uint32_t& status) override {
    status = 0;
    if (Status refused = Refused(PeerOperation::ModemStatus); !refused) return refused;
    if (!peer_->lineChangesReported_)
      return SerialPort::WaitModemChange(mask, expected, timeoutUs, status);
    Clock& clock = peer_->clock_;
    const int64_t deadlineNs = clock.NowNs() + timeoutUs * 1000;
    for (;;) {
      // What the peer does on its schedule may close it or make it fail.
      if (Status refused = Refused(PeerOperation::ModemStatus); !refused) return refused;
      const int64_t nowNs = clock.NowNs();
      status = peer_->InputLinesAt(nowNs);
      if (((status ^ expected) & mask) != 0 || nowNs >= deadlineNs) return {};
      const int64_t wakeNs = std::min(deadlineNs, peer_->NextInputChangeNs(nowNs).value_or(deadlineNs));
      clock.SleepUs(static_cast<uint32_t>((wakeNs - nowNs + 999) / 1000));
    }
  }

  Status TransmitChar(uint8_t byte) override {
    if (Status refused = Refused(PeerOperation::TransmitChar); !refused) return refused;
    peer_->clock_.WaitUntilNs(peer_->SendByte(byte));
    return {};
  }

  Status Write(std::span<const uint8_t> bytes, size_t& written) override {
    written = 0;
    if (Status refused = Refused(PeerOperation::Write); !refused) return refused;
    for (uint8_t byte : bytes) peer_->SendByte(byte);
    written = bytes.size();
    return {};
  }

  Status Read(std::span<uint8_t> buffer, size_t& received) override {
    received = 0;
    if (Status refused = Refused(PeerOperation::Read); !refused) return refused;
    peer_->BeforeRead(peer_->clock_.NowNs());
    peer_->ReadBytes(buffer, received);
    return {};
  }

 private:
  // Why the peer refuses an operation: closed, or told to fail it.
  Status Refused(PeerOperation operation) const {
    if (!peer_) return Status(StatusCode::BadArgument, "the simulated port is closed");
    if (peer_->Failing(operation))
      return Status(StatusCode::SystemFailure, "the simulated peer fails on purpose");
    return {};
  }

  std::shared_ptr<Peer> peer_;
};

Peer::Peer(Clock& clock) : clock_(clock) {}

std::unique_ptr<SerialPort> Peer::OpenPort(Status* why) {
  Status refused;
  if (open_) refused = Status(StatusCode::InUse, "the simulated peer is open already");
  if (Failing(PeerOperation::Open))
    refused = Status(StatusCode::SystemFailure, "the simulated peer fails on purpose");
  if (refused && !machineLockFile_.empty()) {
    machineLock_ = MachineLock::TryAcquire(machineLockFile_);
    if (!machineLock_->held()) {
      machineLock_.reset();
      refused = Status(StatusCode::InUse, "the simulated peer is open in another process");
    }
  }
  if (why) *why = refused;
  if (!refused) return nullptr;
  open_ = true;
  // A freshly opened port has DTR and RTS raised until its settings say otherwise.
  ChangeLine(OutputLine::Dtr, settings_.dtrControl != LineControl::Disable);
  ChangeLine(OutputLine::Rts, settings_.rtsControl != LineControl::Disable);
  return std::make_unique<Port>(shared_from_this());
}

void Peer::RegisterAs(const std::string& name) {
  std::weak_ptr<Peer> self = weak_from_this();
  RegisterSimPeer(name, [self](std::string_view, Status& why) -> std::unique_ptr<SerialPort> {
    auto peer = self.lock();
    if (!peer) why = Status(StatusCode::NotFound, "the simulated peer is gone");
    return peer ? peer->OpenPort(&why) : nullptr;
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

int64_t Peer::CharacterNs() const { return platform::CharacterNs(settings_); }

uint32_t Peer::InputLinesAt(int64_t) { return heldInputLines_; }

std::optional<int64_t> Peer::NextInputChangeNs(int64_t) { return std::nullopt; }

void Peer::OnLineChanged(OutputLine, bool, int64_t) {}

void Peer::OnByteSent(uint8_t, int64_t, int64_t) {}

void Peer::BeforeRead(int64_t) {}

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
void Peer::ReadBytes(std::span<uint8_t> buffer, size_t& received) {
  received = TakeAvailable(buffer, 0);
  if (buffer.empty() || received == buffer.size()) return;
  const auto& t = timeouts_;
  constexpr uint32_t kMax = PortTimeouts::kMaxDword;
  if (t.readIntervalMs == kMax && t.readTotalMultiplierMs == 0 && t.readTotalConstantMs == 0) return;
  bool firstByteOnly = t.readIntervalMs == kMax && t.readTotalMultiplierMs == kMax;
  if (firstByteOnly && received > 0) return;
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
}

}  // namespace platform::sim
