// Windows calls DllMain when it maps the module; the instance handle recorded here is the
// one every resource lookup and dialog of the module uses.
#include "shell/plugin_shell.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) tw::gPluginInstance = instance;
    return TRUE;
}
