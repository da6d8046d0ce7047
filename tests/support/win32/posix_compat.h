#pragma once

// The few POSIX calls the test suites use, for the Windows build of the tests, where the C
// runtime spells them otherwise. Included into every test source of that build.

#ifdef __cplusplus
extern "C" {
#endif

int setenv(const char* name, const char* value, int overwrite);
int unsetenv(const char* name);
// Makes a new directory from a template ending in "XXXXXX"; the template, or null on failure.
char* mkdtemp(char* pattern);

#ifdef __cplusplus
}
#endif
