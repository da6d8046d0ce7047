#pragma once

// Kernel infrared devices (/dev/lircN) as ports: what OpenSerialDevice makes of a device whose
// driver answers LIRC_GET_FEATURES. Every system call goes through SerialSyscalls, so the
// simulated kernel device of platform/sim drives this very code.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/infrared.h"
#include "platform/posix/serial_syscalls.h"
#include "platform/serial.h"

namespace platform {

// What the driver's LIRC_GET_FEATURES word says the device can do.
InfraredFeatures DecodeInfraredFeatures(uint32_t word);

// The most durations and the longest train one write may carry: the kernel refuses more than
// its buffer of 512 values and more than half a second of light and darkness in one write.
inline constexpr size_t kMostDurationsPerWrite = 511;
inline constexpr uint64_t kLongestWriteUs = 480'000;

// One part of a train that goes out in one write: durations [first, first + count).
struct TransmitPart {
  size_t first = 0;
  size_t count = 0;
  bool operator==(const TransmitPart&) const = default;
};

// Splits a train (odd count, light first and last) into parts of at most `mostDurations` values
// and `longestUs` each, every part starting and ending with light, cut at the longest darkness
// within reach (the gap between frames); the darkness between two parts is not in either. Empty
// when a single light is longer than `longestUs`.
std::vector<TransmitPart> SplitTransmission(std::span<const uint32_t> durationsUs,
                                            size_t mostDurations, uint64_t longestUs);

// Takes over `fd`, opened on `path`, as a kernel infrared device whose driver reported
// `featureWord`: locks it for this opener (InUse while another holds it), puts it in the
// duration modes it offers and makes its port. Null, with the reason in `why` and the
// descriptor closed, when that fails.
std::unique_ptr<SerialPort> AdoptKernelInfraredDevice(SerialSyscalls& calls, int fd,
                                                      const std::string& path,
                                                      uint32_t featureWord, Status& why);

}  // namespace platform
