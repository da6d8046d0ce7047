/* Pulsio: microsecond work on the lines of a serial port for infrared receivers and
 * transmitters. Plain C interface; every function returns 0 for failure unless it says
 * otherwise. The library keeps one state per process (port handle, saved handle, monitor
 * value, a 1000-byte data buffer) and is not re-entrant: call it from one thread.
 *
 * Port handles are the system's own: a file descriptor on POSIX, a HANDLE on Windows (as a
 * 32-bit number: a kernel handle has no more significant bits); 0 = not open, -1 = the last
 * opening failed. Who owns the port:
 * - OpenCom and JustOpenCom open it themselves. Pulsio owns it and closes it with CloseCom, or
 *   when another port is opened or lent.
 * - A host may open a serial port itself and lend its handle with SetHandle. Pulsio uses it as
 *   it is (it changes no setting and takes no lock on the way in) and never closes it. After
 *   CloseCom, or once another port is opened or lent, Pulsio no longer touches it, and the host
 *   closes it when it is done; it must not close it while it is still lent. */
#ifndef PULSIO_H
#define PULSIO_H

#include <stdint.h>

#if defined(_WIN32)
#define PULSIO_CALL __stdcall
#if defined(PULSIO_STATIC)
#define PULSIO_API
#elif defined(PULSIO_BUILD)
#define PULSIO_API __declspec(dllexport)
#else
#define PULSIO_API __declspec(dllimport)
#endif
#else
#define PULSIO_CALL
#define PULSIO_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Port handle, lines and bytes ---- */

/* Opens COMn and sets 115200 baud, 6 data bits, no parity, one stop bit, no flow control,
 * DTR and RTS off, 100 ms read time-outs; 1 on success, 0 on failure (a port opened before a
 * later step failed stays open and in use). */
PULSIO_API int32_t PULSIO_CALL OpenCom(int32_t portNumber);
/* Opens COMn without changing its settings; 1 if opened, 0 otherwise. */
PULSIO_API int32_t PULSIO_CALL JustOpenCom(int32_t portNumber);
/* Closes the port Pulsio opened, or lets go of a lent one without closing it; either way the
 * port handle is 0 afterwards, so no later call drives the port. Always 1. */
PULSIO_API uint8_t PULSIO_CALL CloseCom(void);
/* Uses the host's `handle` as the port from now on (it stays the host's: see above) and
 * remembers it for GetHandle; a port Pulsio opened itself is closed. A handle that is not an
 * open serial port is kept too, and every call on it fails. Returns `handle`. */
PULSIO_API int32_t PULSIO_CALL SetHandle(int32_t handle);
/* The handle last given to SetHandle, 0 before any; never the one OpenCom opened. */
PULSIO_API int32_t PULSIO_CALL GetHandle(void);

/* Sets DTR when the low 8 bits of `state` are not 0, clears it otherwise; 1 if done, 0 if the
 * port refused or is not open. */
PULSIO_API int32_t PULSIO_CALL DTR(int32_t state);
/* As DTR, for RTS. */
PULSIO_API int32_t PULSIO_CALL RTS(int32_t state);
/* As DTR, holding TxD in the break (space) state or releasing it. */
PULSIO_API int32_t PULSIO_CALL TXD(int32_t state);
/* State of CTS: 1 on, 0 off or unreadable. */
PULSIO_API uint16_t PULSIO_CALL CTS(void);
/* State of DSR: 1 on, 0 off or unreadable. */
PULSIO_API uint16_t PULSIO_CALL DSR(void);
/* State of RI: 1 on, 0 off or unreadable. */
PULSIO_API uint16_t PULSIO_CALL RI(void);
/* State of DCD: 1 on, 0 off or unreadable. */
PULSIO_API uint16_t PULSIO_CALL DCD(void);
/* The input lines at once: bit 0 CTS, bit 1 DSR, bit 2 RI, bit 3 DCD; 0 when unreadable. */
PULSIO_API uint16_t PULSIO_CALL MdmStatus(void);

/* Sends *byte ahead of queued output; 1 on success, 0 on failure or a null pointer. */
PULSIO_API uint8_t PULSIO_CALL SendChr(const uint8_t* byte);
/* Reads one byte into *byte within the port's read time-outs; 1 if a byte arrived, 0 on
 * failure or time-out (then *byte is left as it was). */
PULSIO_API uint8_t PULSIO_CALL ReadChr(uint8_t* byte);
/* Line format: mode 1 = 115200 baud, 6 data bits; mode 2 = 9600 baud, 8 data bits; both with
 * no parity and one stop bit. 1 on success, 0 on failure or any other mode. */
PULSIO_API int32_t PULSIO_CALL SetMode(int32_t mode);
/* Zone report of a multi-zone receiver: 1..8 when bit 3 of *report is set (zone = bits 0-2
 * plus 1), else 0; 0 for a null pointer. */
PULSIO_API int32_t PULSIO_CALL CheckZone(const uint8_t* report);
/* Parks one value for the life of the process; returns it. */
PULSIO_API int32_t PULSIO_CALL SetMonitor(int32_t value);
/* The value parked with SetMonitor; 0 before any. */
PULSIO_API int32_t PULSIO_CALL GetMonitor(void);
/* Sounds a tone of `frequencyHz` for `durationMs` and returns when it is over (silent where
 * there is no audio device); returns `durationMs`. */
PULSIO_API int32_t PULSIO_CALL SpeakBeep(int32_t frequencyHz, int32_t durationMs);

/* ---- Pulse timing ----
 * On a kernel infrared device (a port mapped to /dev/lircN) the driver has timed the light:
 * IRRecord, IRRecordN, IRMonitor and IRMonitorN render its pulse and space durations into the
 * same bitmap at 55 us a sample, whatever the pause and the polarity; IRMonitor returns at once
 * with a dark window when no light has come, and otherwise begins up to 10 ms before the light;
 * IRSend hands the bitmap's runs to the device as
 * durations with a 38 kHz carrier, whatever the mode. There each returns 0 also when the device
 * failed (cannot receive or send, has gone, lost durations). */

/* Busy-waits `us` microseconds on the performance counter (at least one counter period, also
 * for 0; a negative value returns at once); returns 0. */
PULSIO_API int32_t PULSIO_CALL uDelay(int32_t us);
/* Waits up to 5 s for light (DCD off), then samples DCD into `len` bytes (at most 1000), most
 * significant bit first, 1 = light, pausing `pauseUs` after each sample. 1 when recorded, 0
 * when no signal began within 5 s or `len` is above 1000 (the buffer is then untouched). */
PULSIO_API uint8_t PULSIO_CALL IRRecord(uint8_t* buffer, int32_t pauseUs, uint32_t len);
/* As IRRecord for a receiver that turns DCD on for light. */
PULSIO_API uint8_t PULSIO_CALL IRRecordN(uint8_t* buffer, int32_t pauseUs, uint32_t len);
/* Samples DCD into 500 bytes at once, without waiting for a signal (1 = DCD off); 1, or 0 for
 * a null buffer. */
PULSIO_API uint8_t PULSIO_CALL IRMonitor(uint8_t* buffer, int32_t pauseUs);
/* As IRMonitor, 1 = DCD on. */
PULSIO_API uint8_t PULSIO_CALL IRMonitorN(uint8_t* buffer, int32_t pauseUs);
/* Plays `len` bytes of slots (at most 1000; most significant bit first, 1 = light), each
 * `slotUs` long: on TxD as ESC characters when (mode AND 3) = 1, else by keying DTR. 1, or 0
 * when `len` is negative or above 1000 (nothing is sent). */
PULSIO_API uint8_t PULSIO_CALL IRSend(const uint8_t* bitmap, int32_t len, int32_t slotUs, int32_t mode);

#ifdef __cplusplus
}
#endif

#endif /* PULSIO_H */
