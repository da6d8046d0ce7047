#pragma once

// Pulsio's inside: the module state and the operations behind the C exports, which only check
// arguments, call these and turn exceptions into the failure value.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/clock.h"
#include "platform/infrared.h"
#include "platform/serial.h"

namespace pulsio {

inline constexpr size_t kDataBufferBytes = 1000;
inline constexpr size_t kMonitorBytes = 500;

// What a watch of a kernel infrared device leaves for the next one.
struct KernelWatch {
  platform::PortHandle handle = platform::kPortClosed;  // the device it was taken from
  std::vector<platform::InfraredEvent> pending;  // received after the window had ended
  std::optional<int64_t> lastEndNs;              // when the last watch returned
  bool heldLight = false;      // the last watch rendered a window of light
  uint64_t pastEndUs = 0;      // device time after that window's end already taken by it
  uint64_t pauseLeftUs = 0;    // device time of a pause still to pass unwatched
};

// The one state of the library in this process.
struct Module {
  platform::PortHandle portHandle = platform::kPortClosed;  // the port every operation uses
  platform::PortHandle savedHandle = platform::kPortClosed;  // the handle lent with SetHandle
  platform::OwnedPort opened;  // the port Pulsio opened itself (OpenCom); a lent one is not here
  // A host's own handle that SetHandle put into the handle table; it stays the host's to close.
  platform::PortHandle adopted = platform::kPortClosed;
  int32_t monitorValue = 0;
  std::array<uint8_t, kDataBufferBytes> data{};  // samples and pulse trains; [0] stages bytes
  KernelWatch kernelWatch;
};

// The library's state.
Module& State();
// The port behind the current port handle; null when it is not open.
std::shared_ptr<platform::SerialPort> CurrentPort();

// Port handle, lines and bytes.
bool OpenCom(int32_t portNumber);
bool JustOpenCom(int32_t portNumber);
void CloseCom();
void SetHandle(platform::PortHandle handle);
bool SetOutputLine(platform::OutputLine line, int32_t state);
// The modem status bits of the current port; 0 when it cannot be read.
uint32_t ModemStatus();
bool SendChr(uint8_t byte);
bool ReadChr(uint8_t& byte);
bool SetMode(int32_t mode);
int32_t CheckZone(uint8_t report);

// Pulse timing.
// Busy-waits `us` microseconds on `clock` (negative: no wait).
void Delay(platform::Clock& clock, int32_t us);
// ESC characters' worth of one light slot on TxD: slot x 0.0128 + 0.5, truncated, 16 bits.
uint16_t CarrierCharacters(int32_t slotUs);
// Waits up to 5 s for light, then samples into `destination`; false on the time-out, and on a
// kernel infrared device when it failed (its LastFault says why).
bool Record(std::span<uint8_t> destination, int32_t pauseUs, bool lightWhenDcdOn);
// Samples kMonitorBytes bytes into `destination` at once; false only when a kernel infrared
// device failed.
bool Monitor(std::span<uint8_t, kMonitorBytes> destination, int32_t pauseUs, bool lightWhenDcdOn);
// Plays a slot bitmap on TxD (carrierOnTxd) or DTR, or hands it to a kernel infrared device;
// false only when such a device failed.
bool Send(std::span<const uint8_t> bitmap, int32_t slotUs, bool carrierOnTxd);

// Kernel infrared devices: the light arrives as durations the driver timed, and goes out as
// durations; no line is sampled and no priority is needed.

// The sample period a device's durations are rendered at, the one the decoders expect of a
// calibrated port (a NEC unit of 560 us is ten samples).
inline constexpr uint32_t kKernelSampleUs = 55;
// A watch opens with up to this much of the darkness before its first light, as a window the
// serial port opened before the light would: the decoders tell a frame that follows darkness
// (an RC5 frame has no header to tell it by) from one cut into.
inline constexpr uint32_t kKernelWatchLeadUs = 10'000;
// A watch that comes later than this after a window that held light follows the pause the
// monitoring tick makes after a command, so that the rest of a key press is not taken anew
// (300 ms). The light of that pause is not watched, as a sampled line never saw it; it is
// reckoned on the device's own durations, so that a busy machine that keeps the watch waiting
// longer loses none of what came after.
inline constexpr int64_t kKernelPausedAfterMs = 250;
inline constexpr uint64_t kKernelPauseUs = 300'000;

// Turns durations into samples of a slot bitmap: sample k shows the light at the middle of
// period k, bits from the most significant down, 1 for light.
class SlotRenderer {
 public:
  // Clears `bitmap` and starts at its first sample.
  SlotRenderer(std::span<uint8_t> bitmap, uint32_t sampleUs);
  // Adds light or darkness lasting `us`; false once every sample has been taken.
  bool Add(bool light, uint64_t us);
  bool Full() const { return next_ >= samples_; }
  // Microseconds of the window still to come.
  uint64_t RemainingUs() const;
  // Microseconds added beyond the window's end.
  uint64_t BeyondUs() const;

 private:
  std::span<uint8_t> bitmap_;
  uint64_t sampleUs_;
  uint64_t samples_;
  uint64_t next_ = 0;       // the next sample to take
  uint64_t elapsedHalfUs_ = 0;
};

// A slot bitmap as light and darkness: the darkness before the first light, durations from
// the first light to the last (light, dark, light, ...), and the darkness after.
struct SlotTrain {
  uint64_t leadingDarkUs = 0;
  std::vector<uint32_t> durationsUs;
  uint64_t trailingDarkUs = 0;
};
SlotTrain TrainOfSlots(std::span<const uint8_t> bitmap, uint32_t slotUs);

// Record, Monitor and Send on a kernel infrared device.
bool RecordFromDevice(platform::InfraredDevice& device, std::span<uint8_t> destination);
bool MonitorFromDevice(platform::InfraredDevice& device,
                       std::span<uint8_t, kMonitorBytes> destination);
bool SendToDevice(platform::InfraredDevice& device, std::span<const uint8_t> bitmap,
                  int32_t slotUs);

}  // namespace pulsio
