// Terminal checks and Ctrl-C on POSIX systems.
#include <signal.h>
#include <unistd.h>

#include "host/terminal.h"

namespace tw::host {

namespace {
volatile sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }
}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void InstallInterruptHandler() {
    gInterrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // One-shot: a second Ctrl-C gets the default action, for a plug-in that never stops.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

void RemoveInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() { return gInterrupted != 0; }

}  // namespace tw::host
