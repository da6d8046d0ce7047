#include "tests/support/win32/posix_compat.h"

#include <direct.h>
#include <stdlib.h>
#include <string.h>

extern "C" int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable from the C runtime's environment and the process's.
extern "C" int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

extern "C" char* mkdtemp(char* pattern) {
  if (_mktemp_s(pattern, strlen(pattern) + 1) != 0) return nullptr;
  return _mkdir(pattern) == 0 ? pattern : nullptr;
}
