// Forced into every test program of the Windows build (see tests/CMakeLists.txt): the few
// POSIX calls tests use to steer the plug-in through its environment and to make scratch
// folders, mapped onto the Windows C run-time. Product code never sees this file, so a
// POSIX call there still fails to build for Windows, as it should.
#pragma once

#include <direct.h>
#include <io.h>
#include <stdlib.h>
#include <string.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable, which is what unsetenv means.
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

inline char* mkdtemp(char* pattern) {
    if (_mktemp_s(pattern, strlen(pattern) + 1) != 0) return nullptr;
    return _mkdir(pattern) == 0 ? pattern : nullptr;
}
