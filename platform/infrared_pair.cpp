// A receiver and a transmitter that the kernel offers as two infrared devices (a Raspberry Pi's
// gpio-ir and gpio-ir-tx) joined into the one port the program learns, monitors and sends on.

#include "platform/infrared_pair.h"

#include "platform/infrared.h"

namespace platform {
namespace {

class InfraredPair final : public SerialPort, public InfraredDevice {
 public:
  InfraredPair(std::unique_ptr<SerialPort> receiver, std::unique_ptr<SerialPort> transmitter)
      : receiver_(std::move(receiver)), transmitter_(std::move(transmitter)),
        path_(receiver_->Infrared()->Path() + "+" + transmitter_->Infrared()->Path()) {}

  InfraredDevice* Infrared() override { return this; }

  // A kernel device has no line format, modem lines or bytes: the receiver says so for both.
  Status GetSettings(PortSettings& settings) override { return receiver_->GetSettings(settings); }
  Status SetSettings(const PortSettings& settings) override { return receiver_->SetSettings(settings); }
  Status GetTimeouts(PortTimeouts& timeouts) override { return receiver_->GetTimeouts(timeouts); }
  Status SetTimeouts(const PortTimeouts& timeouts) override { return receiver_->SetTimeouts(timeouts); }
  Status SetLine(OutputLine line, bool on) override { return receiver_->SetLine(line, on); }
  Status GetModemStatus(uint32_t& status) override { return receiver_->GetModemStatus(status); }
  Status TransmitChar(uint8_t byte) override { return receiver_->TransmitChar(byte); }
  Status Write(std::span<const uint8_t> bytes, size_t& written) override {
    return receiver_->Write(bytes, written);
  }
  Status Read(std::span<uint8_t> buffer, size_t& received) override {
    return receiver_->Read(buffer, received);
  }
  Status Close() override {
    const Status received = receiver_->Close();
    const Status sent = transmitter_->Close();
    return received.ok() ? sent : received;
  }

  const std::string& Path() const override { return path_; }
  InfraredFeatures Features() const override {
    const InfraredFeatures in = receiver_->Infrared()->Features();
    const InfraredFeatures out = transmitter_->Infrared()->Features();
    InfraredFeatures both = out;
    both.word = in.word | out.word;
    both.receives = in.receives;
    return both;
  }
  Status Receive(std::vector<InfraredEvent>& events, int waitMs) override {
    return receiver_->Infrared()->Receive(events, waitMs);
  }
  Status Transmit(std::span<const uint32_t> durationsUs, uint32_t carrierHz,
                  uint32_t dutyCyclePercent) override {
    return transmitter_->Infrared()->Transmit(durationsUs, carrierHz, dutyCyclePercent);
  }

 private:
  std::unique_ptr<SerialPort> receiver_;
  std::unique_ptr<SerialPort> transmitter_;
  std::string path_;
};

}  // namespace

std::unique_ptr<SerialPort> PairInfraredDevices(std::unique_ptr<SerialPort> receiver,
                                                std::unique_ptr<SerialPort> transmitter,
                                                Status& why) {
  for (SerialPort* port : {receiver.get(), transmitter.get()}) {
    if (port && !port->Infrared()) {
      why = Status(StatusCode::NotSupported,
                   "a receiver and a transmitter joined with + must both be kernel infrared "
                   "devices");
      return nullptr;
    }
  }
  if (!receiver || !transmitter) return nullptr;
  return std::make_unique<InfraredPair>(std::move(receiver), std::move(transmitter));
}

}  // namespace platform
