// Terminal checks and Ctrl-C on Windows consoles.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "host/terminal.h"

namespace tw::host {

namespace {
volatile LONG gInterrupted = 0;
volatile LONG gHandlerInstalled = 0;

// Runs on a thread of its own that the console starts. The first Ctrl-C only raises the
// flag; the next one falls through to the default handler, which ends the program, for a
// plug-in that never stops.
BOOL WINAPI OnConsoleControl(DWORD kind) {
    if (kind != CTRL_C_EVENT && kind != CTRL_BREAK_EVENT) return FALSE;
    if (InterlockedExchange(&gInterrupted, 1) == 0) return TRUE;
    return FALSE;
}
}  // namespace

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void InstallInterruptHandler() {
    InterlockedExchange(&gInterrupted, 0);
    if (InterlockedExchange(&gHandlerInstalled, 1) == 0) SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void RemoveInterruptHandler() {
    if (InterlockedExchange(&gHandlerInstalled, 0) == 1) SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

bool Interrupted() { return gInterrupted != 0; }

}  // namespace tw::host
