// Plug-in modules on Windows: a .8bf DLL loaded with LoadLibrary, as an editor loads it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdlib>
#include <string>

#include "host/module.h"

namespace tw::host {

namespace {

// The system's own wording for an error code, on one line.
std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message;
}

}  // namespace

bool LoadPluginModule(const std::string& path, PluginModule& module, std::string& error) {
    module = PluginModule();
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "cannot find the plug-in module '" + path + "'";
        return false;
    }
    // A name without a folder would make LoadLibrary search the system folders and PATH
    // instead of loading this file; the altered search path lets the module's own folder
    // serve any DLL it needs, as editors arrange it.
    std::string where = path.find_first_of("\\/") == std::string::npos ? ".\\" + path : path;
    // No "cannot find DLL" message box: the caller reports the failure itself.
    UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE handle = LoadLibraryExA(where.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD load_error = GetLastError();
    SetErrorMode(old_mode);
    if (!handle) {
        error = "cannot load the plug-in module '" + path + "': " + SystemMessage(load_error);
        return false;
    }
    FARPROC symbol = GetProcAddress(handle, kPluginEntryName);
    if (!symbol) {
        FreeLibrary(handle);
        error = "'" + path + "' is not a filter plug-in (it has no " + kPluginEntryName + ")";
        return false;
    }
    module.system_handle = handle;
    module.entry = reinterpret_cast<PluginEntryProc>(reinterpret_cast<void*>(symbol));
    module.path = path;
    return true;
}

void UnloadPluginModule(PluginModule& module) {
    // The module is left loaded: a plug-in's worker threads may still be on their way out
    // of its code when the entry point returns, and freeing it under them would crash the
    // host. Editors keep filter modules loaded too; the system frees it at exit.
    module = PluginModule();
}

std::string ExecutableFolder() {
    // Paths can be longer than MAX_PATH; grow the buffer until the whole name fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, path.data(), DWORD(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

const char* DefaultPluginFileName() { return "Tarnwell.8bf"; }

void SetEnvironmentValue(const std::string& name, const std::string& value) {
    // The module shares this process's C run-time (msvcrt.dll), so its getenv sees this;
    // _putenv_s also updates the process environment the system keeps.
    _putenv_s(name.c_str(), value.c_str());
}

}  // namespace tw::host
