// The C exports: each checks its arguments, calls the C++ inside and turns any exception into
// the failure value, so nothing escapes into a C or Windows host.


#include "platform/sound.h"
#include "pulsio/module.h"
#include "pulsio/pulsio.h"

namespace {

template <typename Result, typename Body>
Result Guarded(Result failure, Body body) {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

uint16_t LineBit(uint32_t bit) {
  return Guarded<uint16_t>(0, [bit] { return static_cast<uint16_t>((pulsio::ModemStatus() & bit) ? 1 : 0); });
}

}  // namespace

extern "C" {

PULSIO_API int32_t PULSIO_CALL OpenCom(int32_t portNumber) {
  return Guarded<int32_t>(0, [=] { return pulsio::OpenCom(portNumber) ? 1 : 0; });
}

PULSIO_API int32_t PULSIO_CALL JustOpenCom(int32_t portNumber) {
  return Guarded<int32_t>(0, [=] { return pulsio::JustOpenCom(portNumber) ? 1 : 0; });
}

PULSIO_API uint8_t PULSIO_CALL CloseCom(void) {
  return Guarded<uint8_t>(1, [] {
    pulsio::CloseCom();
    return uint8_t{1};
  });
}

PULSIO_API int32_t PULSIO_CALL SetHandle(int32_t handle) {
  return Guarded<int32_t>(handle, [=] {
    pulsio::SetHandle(handle);
    return handle;
  });
}

PULSIO_API int32_t PULSIO_CALL GetHandle(void) { return pulsio::State().savedHandle; }

PULSIO_API int32_t PULSIO_CALL DTR(int32_t state) {
  return Guarded<int32_t>(0, [=] { return pulsio::SetOutputLine(platform::OutputLine::Dtr, state) ? 1 : 0; });
}

PULSIO_API int32_t PULSIO_CALL RTS(int32_t state) {
  return Guarded<int32_t>(0, [=] { return pulsio::SetOutputLine(platform::OutputLine::Rts, state) ? 1 : 0; });
}

PULSIO_API int32_t PULSIO_CALL TXD(int32_t state) {
  return Guarded<int32_t>(0, [=] { return pulsio::SetOutputLine(platform::OutputLine::Break, state) ? 1 : 0; });
}

PULSIO_API uint16_t PULSIO_CALL CTS(void) { return LineBit(platform::kStatusCts); }

PULSIO_API uint16_t PULSIO_CALL DSR(void) { return LineBit(platform::kStatusDsr); }

PULSIO_API uint16_t PULSIO_CALL RI(void) { return LineBit(platform::kStatusRing); }

PULSIO_API uint16_t PULSIO_CALL DCD(void) { return LineBit(platform::kStatusDcd); }

PULSIO_API uint16_t PULSIO_CALL MdmStatus(void) {
  return Guarded<uint16_t>(0, [] { return static_cast<uint16_t>((pulsio::ModemStatus() & 0xF0) >> 4); });
}

PULSIO_API uint8_t PULSIO_CALL SendChr(const uint8_t* byte) {
  if (!byte) return 0;
  return Guarded<uint8_t>(0, [=] { return uint8_t{pulsio::SendChr(*byte)}; });
}

PULSIO_API uint8_t PULSIO_CALL ReadChr(uint8_t* byte) {
  if (!byte) return 0;
  return Guarded<uint8_t>(0, [=] { return uint8_t{pulsio::ReadChr(*byte)}; });
}

PULSIO_API int32_t PULSIO_CALL SetMode(int32_t mode) {
  return Guarded<int32_t>(0, [=] { return pulsio::SetMode(mode) ? 1 : 0; });
}

PULSIO_API int32_t PULSIO_CALL CheckZone(const uint8_t* report) {
  if (!report) return 0;
  return Guarded<int32_t>(0, [=] { return pulsio::CheckZone(*report); });
}

PULSIO_API int32_t PULSIO_CALL SetMonitor(int32_t value) { return pulsio::State().monitorValue = value; }

PULSIO_API int32_t PULSIO_CALL GetMonitor(void) { return pulsio::State().monitorValue; }

PULSIO_API int32_t PULSIO_CALL SpeakBeep(int32_t frequencyHz, int32_t durationMs) {
  // A negative length would become a beep of weeks as an unsigned duration.
  if (durationMs <= 0 || frequencyHz < 0) return durationMs;
  return Guarded<int32_t>(durationMs, [=] {
    platform::Beep(platform::ActiveClock(), static_cast<uint32_t>(frequencyHz),
                   static_cast<uint32_t>(durationMs));
    return durationMs;
  });
}

PULSIO_API int32_t PULSIO_CALL uDelay(int32_t us) {
  return Guarded<int32_t>(0, [=] {
    pulsio::Delay(platform::ActiveClock(), us);
    return 0;
  });
}

PULSIO_API uint8_t PULSIO_CALL IRRecord(uint8_t* buffer, int32_t pauseUs, uint32_t len) {
  if (len > pulsio::kDataBufferBytes || (len > 0 && !buffer)) return 0;
  return Guarded<uint8_t>(0, [=] { return uint8_t{pulsio::Record(std::span(buffer, len), pauseUs, false)}; });
}

PULSIO_API uint8_t PULSIO_CALL IRRecordN(uint8_t* buffer, int32_t pauseUs, uint32_t len) {
  if (len > pulsio::kDataBufferBytes || (len > 0 && !buffer)) return 0;
  return Guarded<uint8_t>(0, [=] { return uint8_t{pulsio::Record(std::span(buffer, len), pauseUs, true)}; });
}

PULSIO_API uint8_t PULSIO_CALL IRMonitor(uint8_t* buffer, int32_t pauseUs) {
  if (!buffer) return 0;
  return Guarded<uint8_t>(0, [=] {
    return uint8_t{pulsio::Monitor(std::span<uint8_t, pulsio::kMonitorBytes>(buffer, pulsio::kMonitorBytes), pauseUs, false)};
  });
}

PULSIO_API uint8_t PULSIO_CALL IRMonitorN(uint8_t* buffer, int32_t pauseUs) {
  if (!buffer) return 0;
  return Guarded<uint8_t>(0, [=] {
    return uint8_t{pulsio::Monitor(std::span<uint8_t, pulsio::kMonitorBytes>(buffer, pulsio::kMonitorBytes), pauseUs, true)};
  });
}

PULSIO_API uint8_t PULSIO_CALL IRSend(const uint8_t* bitmap, int32_t len, int32_t slotUs, int32_t mode) {
  if (len < 0 || len > static_cast<int32_t>(pulsio::kDataBufferBytes) || (len > 0 && !bitmap)) return 0;
  return Guarded<uint8_t>(0, [=] {
    return uint8_t{pulsio::Send(std::span(bitmap, static_cast<size_t>(len)), slotUs, (mode & 3) == 1)};
  });
}

}  // extern "C"
