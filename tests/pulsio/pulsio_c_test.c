/* Compiles pulsio.h as C and checks the state of a fresh process through the C interface. */
#include <stddef.h>
#include <stdio.h>

#include "pulsio/pulsio.h"

static int failures = 0;

static void Check(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

int main(void) {
  uint8_t zone = 0x0B;
  uint8_t buffer[4] = {1, 2, 3, 4};
  Check(GetHandle() == 0, "GetHandle before any SetHandle is 0");
  Check(GetMonitor() == 0, "GetMonitor before any SetMonitor is 0");
  Check(OpenCom(0) == 0, "OpenCom(0) fails: there is no COM0");
  Check(GetHandle() == 0, "GetHandle stays 0 after OpenCom");
  Check(SetHandle(17) == 17 && GetHandle() == 17, "SetHandle returns and keeps its handle");
  Check(SetMonitor(-9) == -9 && GetMonitor() == -9, "SetMonitor keeps its value");
  Check(CheckZone(&zone) == 4, "CheckZone(0x0B) is zone 4");
  Check(IRSend(buffer, 1001, 600, 1) == 0, "IRSend refuses more than 1000 bytes");
  Check(IRRecord(buffer, 0, 1001) == 0 && buffer[0] == 1, "IRRecord refuses more than 1000 bytes");
  Check(CloseCom() == 1, "CloseCom returns 1");
  return failures == 0 ? 0 : 1;
}
