// A stand-in plug-in for the unload test: it starts a worker through the platform layer
// that signals "done" and then stays inside this DLL's code for a while, as a real worker
// does for a few instructions. The test unloads the DLL right after the signal.
#include <windows.h>
#undef CreateEvent

#include "platform/platform.h"

namespace {
struct Probe {
    tw::platform::Event* done;
    DWORD linger_ms;
};

void Worker(void* p) {
    Probe probe = *static_cast<Probe*>(p);
    delete static_cast<Probe*>(p);
    tw::platform::SignalEvent(probe.done);
    ::Sleep(probe.linger_ms);  // still running this module's code after the signal
}
}  // namespace

extern "C" __declspec(dllexport) int StartLingeringWorker(tw::platform::Event* done, unsigned linger_ms) {
    auto* probe = new Probe{done, linger_ms};
    if (tw::platform::StartThread(Worker, probe, 200000)) return 1;
    delete probe;
    return 0;
}
