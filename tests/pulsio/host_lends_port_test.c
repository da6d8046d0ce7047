/* A C host that opens a serial port itself, lends its handle to Pulsio with SetHandle, sends
 * and reads through Pulsio, lets it go with CloseCom, and closes it itself.
 *
 * On Linux the port is a pseudo-terminal the host makes, and the test sees the other end of
 * the line on the pseudo-terminal's master. On Windows (under wine) the port is COM9 and the
 * other end COM8: the script that runs the test joins the two like a null-modem cable. */
#if !defined(_WIN32)
#define _XOPEN_SOURCE 600
#endif

#include <stdio.h>
#include <string.h>

#include "pulsio/pulsio.h"

#if defined(_WIN32)
#include <windows.h>
typedef HANDLE Line;
#else
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>
typedef int Line;
#endif

static int failures = 0;

static void Check(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

#if defined(_WIN32)

static HANDLE OpenComPort(const char* name) {
  COMMTIMEOUTS timeouts = {MAXDWORD, MAXDWORD, 100, 0, 0}; /* a byte, or 100 ms */
  HANDLE port = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  if (port != INVALID_HANDLE_VALUE) SetCommTimeouts(port, &timeouts);
  return port;
}

/* The host's port, as the host opens it, and the other end of its line. */
static int OpenLine(Line* port, Line* otherEnd) {
  *port = OpenComPort("\\\\.\\COM9");
  *otherEnd = OpenComPort("\\\\.\\COM8");
  return *port != INVALID_HANDLE_VALUE && *otherEnd != INVALID_HANDLE_VALUE;
}

static int32_t HandleOf(Line port) { return (int32_t)(intptr_t)port; }

static void Pause(void) { Sleep(10); }

static int Write(Line line, const char* text) {
  DWORD done = 0;
  return WriteFile(line, text, (DWORD)strlen(text), &done, NULL) && done == strlen(text);
}

/* Up to `size` bytes that arrive within `ms`. */
static size_t ReadFor(Line line, char* buffer, size_t size, int ms) {
  size_t got = 0;
  DWORD start = GetTickCount();
  while (got < size && (int)(GetTickCount() - start) < ms) {
    DWORD part = 0;
    if (!ReadFile(line, buffer + got, (DWORD)(size - got), &part, NULL)) break;
    got += part;
  }
  return got;
}

static int StillOpen(Line line) {
  DWORD flags = 0;
  return GetHandleInformation(line, &flags) != 0;
}

static void CloseLine(Line line) { CloseHandle(line); }

#else

static int OpenLine(Line* port, Line* otherEnd) {
  *otherEnd = posix_openpt(O_RDWR | O_NOCTTY);
  if (*otherEnd < 0 || grantpt(*otherEnd) != 0 || unlockpt(*otherEnd) != 0) return 0;
  *port = open(ptsname(*otherEnd), O_RDWR | O_NOCTTY);
  return *port >= 0;
}

static int32_t HandleOf(Line port) { return port; }

static void Pause(void) {
  struct timespec wait = {0, 10 * 1000 * 1000};
  nanosleep(&wait, NULL);
}

static int Write(Line line, const char* text) {
  return write(line, text, strlen(text)) == (ssize_t)strlen(text);
}

static size_t ReadFor(Line line, char* buffer, size_t size, int ms) {
  size_t got = 0;
  struct pollfd entry;
  entry.fd = line;
  entry.events = POLLIN;
  while (got < size && poll(&entry, 1, ms) > 0) {
    ssize_t part = read(line, buffer + got, size - got);
    if (part <= 0) break;
    got += (size_t)part;
  }
  return got;
}

static int StillOpen(Line line) { return fcntl(line, F_GETFD) != -1; }

static void CloseLine(Line line) { close(line); }

#endif

int main(void) {
  const char sent[] = "PULSIO";
  char seen[16] = {0};
  char answer[8] = {0};
  Line port;
  Line otherEnd;
  int32_t handle;
  size_t i;
  uint8_t byte;

  if (!OpenLine(&port, &otherEnd)) {
    fprintf(stderr, "failed: the host cannot open its port\n");
    return 1;
  }
  handle = HandleOf(port);
  Check(SetHandle(handle) == handle && GetHandle() == handle, "SetHandle keeps the host's handle");
  Check(SetMode(2) == 1, "SetMode sets the lent port");

  for (i = 0; i < strlen(sent); ++i) {
    byte = (uint8_t)sent[i];
    Check(SendChr(&byte) == 1, "SendChr sends on the lent port");
  }
  Check(ReadFor(otherEnd, seen, strlen(sent), 2000) == strlen(sent) && memcmp(seen, sent, strlen(sent)) == 0,
        "what Pulsio sent arrives at the other end");

  Check(Write(otherEnd, "host"), "the other end answers");
  for (i = 0; i < 4; ++i) {
    int tries = 0;
    while (ReadChr(&byte) != 1 && ++tries < 200) Pause();
    answer[i] = (char)byte;
  }
  Check(strcmp(answer, "host") == 0, "Pulsio reads the answer from the lent port");

  Check(CloseCom() == 1, "CloseCom returns 1");
  Check(StillOpen(port), "CloseCom leaves the host's handle open");
  Check(GetHandle() == handle, "GetHandle still gives the lent handle");
  byte = 'X';
  Check(SendChr(&byte) == 0, "SendChr after CloseCom sends nothing");
  Check(DTR(1) == 0 && SetMode(1) == 0, "line calls after CloseCom no longer reach the port");
  Check(ReadChr(&byte) == 0, "ReadChr after CloseCom reads nothing");
  Check(Write(port, "mine"), "the host still writes to its port");
  memset(seen, 0, sizeof seen);
  Check(ReadFor(otherEnd, seen, sizeof seen - 1, 300) == 4 && strcmp(seen, "mine") == 0,
        "only the host's own bytes follow CloseCom");

  CloseLine(port);
  CloseLine(otherEnd);
  return failures == 0 ? 0 : 1;
}
