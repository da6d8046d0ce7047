#pragma once

// A transmitter and receiver on one simulated port, driven through the real code: commands
// go out through SendIRCommand and the library's IRSend, the light the transmitter emitted is
// rebuilt from the port's capture, played back through a receiver as the remote, and recorded
// with IRRecord on a virtual clock. For tests and the benchmark.

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/sim/ir_peer.h"
#include "platform/sim/virtual_clock.h"
#include "qvx/ircode/irsend.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/ircode/sim/remotescenarios.h"

namespace qvx::ircode::sim {

// One sample on the rig's clock: a modem-line read of 5 us plus a pause of PROCDELAY 50 us
// (plus up to half a microsecond of counter reads).
inline constexpr int64_t kRigLineReadNs = 5000;
inline constexpr int64_t kRigCounterReadNs = 250;
inline constexpr int kRigProcDelayUs = 50;

// Commands of the device presets sent and learned back.
enum class SentKind {
  NecPreset,       // NEC preset: frame and four full repeats without leader
  NecRepeatCodes,  // NEC frame and four NEC repeat codes (REPEAT 0, GREPEAT 70)
  Sony12,          // SONY preset, 12 bits, five frames
  Sony15,          // SONY preset, 15 bits
  Rc5,             // RC5 preset, 14 bits, five frames
};

// Every kind, in declaration order.
const std::vector<SentKind>& AllSentKinds();
// Short name of a kind for tables.
std::string SentKindName(SentKind kind);

// A random command of a kind: the device parameters, the stored code to send and what learning
// should make of it (Press.samples stays empty).
struct SentCommand {
  DeviceParams params;
  std::string code;  // "G" and the bits as stored (RC5: any toggle bit)
  Press expected;
};

// Draws a random command of the kind.
SentCommand RandomCommand(SentKind kind, std::mt19937& rng);

class PulsioRig {
 public:
  // Makes a virtual clock the process's clock (one sample about 55 us at PROCDELAY 50),
  // registers an infrared peer with the given wiring as "sim:NAME", opens it the way the
  // program opens its port and lends the handle to Pulsio.
  explicit PulsioRig(std::string peerName,
                     platform::sim::ReceiverWiring wiring = platform::sim::ReceiverWiring::DcdStandard);
  // Takes the handle back from Pulsio, closes the port, removes the peer, restores the clock.
  ~PulsioRig();
  PulsioRig(const PulsioRig&) = delete;
  PulsioRig& operator=(const PulsioRig&) = delete;

  platform::sim::VirtualClock& Clock() { return clock_; }
  platform::sim::IrPeer& Peer() { return *peer_; }
  PortHandle Handle() const { return handle_; }

  // What one transmission emitted.
  struct Sent {
    SendOutcome outcome;
    std::vector<platform::sim::LightMark> light;  // empty when nothing was transmitted
  };

  // Sends a command of a file device with SendIRCommand and IRSend (output mode 0 keys DTR,
  // 1 makes the carrier of characters on TxD at 115200 baud, 6 data bits) and rebuilds the
  // light from what the port captured.
  Sent Send(SendState& state, const SentCommand& command, int outputMode);

  // Sets the lines of the receiver type as its menu does and plays light through a receiver
  // with the given distortion as the remote, starting 20 ms from now.
  void Play(const std::vector<platform::sim::LightMark>& light,
            const platform::sim::ReceiverDistortion& distortion, std::mt19937& rng,
            int receiverType);

  // Plays as above and records 600 bytes for the receiver type at the pause `procDelayUs`;
  // nullopt when IRRecord saw no signal.
  std::optional<std::vector<uint8_t>> Record(const std::vector<platform::sim::LightMark>& light,
                                             const platform::sim::ReceiverDistortion& distortion,
                                             std::mt19937& rng, int procDelayUs, int receiverType);

 private:
  platform::sim::VirtualClock clock_;
  std::unique_ptr<platform::ScopedClock> scopedClock_;
  std::string peerName_;
  std::shared_ptr<platform::sim::IrPeer> peer_;
  PortHandle handle_ = kPortClosed;
};

}  // namespace qvx::ircode::sim
