// Loading a plug-in module and finding its entry point, and the few other system calls the
// host makes. One implementation per system (module_posix.cpp here; a Windows twin loads
// the .8bf with LoadLibrary).
#pragma once

#include <string>

#include "hostapi/plugin_entry.h"

namespace tw::host {

struct PluginModule {
    void* system_handle = nullptr;
    PluginEntryProc entry = nullptr;
    std::string path;
    bool is_loaded() const { return entry != nullptr; }
};

// Loads the module at `path` and looks up its entry point; false with a one-line reason.
bool LoadPluginModule(const std::string& path, PluginModule& module, std::string& error);
void UnloadPluginModule(PluginModule& module);

// The folder holding the running executable (no trailing separator), or "" if unknown.
std::string ExecutableFolder();
// The plug-in module's file name on this system.
const char* DefaultPluginFileName();
// Sets an environment variable of this process (seen by the plug-in, which runs inside it).
void SetEnvironmentValue(const std::string& name, const std::string& value);

}  // namespace tw::host
