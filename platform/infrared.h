#pragma once

// Kernel infrared devices: receivers and transmitters whose driver times every edge itself and
// exchanges pulse and space durations with the program (on Linux /dev/lircN). Such a device is
// opened like any port (COMn mapped to its path) and sits in the same handle table; the
// SerialPort behind its handle answers Infrared() with this interface.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/status.h"

namespace platform {

// What the driver says the device can do.
struct InfraredFeatures {
  uint32_t word = 0;           // the driver's feature bits as reported
  bool receives = false;       // delivers received light as pulse and space durations
  bool sends = false;          // sends pulse and space durations
  bool setsCarrier = false;    // the send carrier can be chosen
  bool setsDutyCycle = false;  // the send duty cycle can be chosen
};

// One entry of what the device received.
struct InfraredEvent {
  enum class Kind {
    Pulse,     // light for `us`
    Space,     // darkness for `us`
    Timeout,   // darkness for `us`, after which the driver declared the signal over
    Overflow,  // the driver lost durations here; what follows is not joined to what went before
  };
  Kind kind = Kind::Space;
  uint32_t us = 0;
  bool operator==(const InfraredEvent&) const = default;
};

// The carrier and duty cycle sends use where the device lets them be chosen: the 38 kHz of the
// receivers consumer remotes are made for, and the one-third duty of the serial port's own
// software carrier.
inline constexpr uint32_t kSendCarrierHz = 38'000;
inline constexpr uint32_t kSendDutyCyclePercent = 33;

class InfraredDevice {
 public:
  virtual ~InfraredDevice() = default;

  // The path the device was opened by.
  virtual const std::string& Path() const = 0;
  // What the device can do, as probed when it was opened.
  virtual InfraredFeatures Features() const = 0;
  // Appends what the device has received since the last call to `events`, waiting up to
  // `waitMs` for the first entry when none is there (0: not at all). Ok with nothing appended
  // when none came; NotFound once the device has gone (unplugged, its driver unloaded);
  // NotSupported when it cannot receive.
  virtual Status Receive(std::vector<InfraredEvent>& events, int waitMs) = 0;
  // Sends light for durationsUs[0], darkness for [1], light again and so on; the count is odd
  // (the train starts and ends with light) and every duration is at least 1 us. Trains longer
  // than the driver takes at once go out in parts, split at their longest darkness. Sets the
  // carrier and the duty cycle first where the device lets them be chosen. Returns when the
  // light has been sent. NotSupported when the device cannot send; BadArgument for an even
  // count or a zero duration; NotFound once the device has gone.
  virtual Status Transmit(std::span<const uint32_t> durationsUs, uint32_t carrierHz,
                          uint32_t dutyCyclePercent) = 0;

  // Why the last recording, watch or send through the device fell short, as the timing code
  // that used it left it, for the program to tell the user; Ok when nothing did.
  const Status& LastFault() const { return lastFault_; }
  void SetLastFault(Status fault) { lastFault_ = std::move(fault); }

 private:
  Status lastFault_;
};

}  // namespace platform
