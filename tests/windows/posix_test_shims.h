// Forced into every test program of the Windows build (see tests/CMakeLists.txt): the few
// POSIX calls tests use to steer the plug-in through its environment and to make scratch
// folders, mapped onto the Windows C run-time. Product code never sees this file, so a
// POSIX call there still fails to build for Windows, as it should.
#pragma once

#include <direct.h>
#include <errno.h>
#include <process.h>
#include <io.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable, which is what unsetenv means.
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

// Not _mktemp_s: it makes at most 26 names from one pattern in a process, and a test
// program may need more scratch folders than that.
inline char* mkdtemp(char* pattern) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static unsigned long long state = 0;
    const size_t length = strlen(pattern);
    if (length < 6 || strcmp(pattern + length - 6, "XXXXXX") != 0) return nullptr;
    if (state == 0) state = (unsigned long long)_getpid() * 0x9E3779B97F4A7C15ull + (unsigned long long)time(nullptr);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        for (size_t i = length - 6; i < length; ++i) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            pattern[i] = kLetters[(state >> 33) % 36];
        }
        if (_mkdir(pattern) == 0) return pattern;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}
