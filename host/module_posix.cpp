// Plug-in modules on POSIX systems: a shared object opened with dlopen.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstdio>

#include "host/module.h"

namespace tw::host {

bool LoadPluginModule(const std::string& path, PluginModule& module, std::string& error) {
    module = PluginModule();
    if (std::FILE* probe = std::fopen(path.c_str(), "rb")) {
        std::fclose(probe);
    } else {
        error = "cannot find the plug-in module '" + path + "'";
        return false;
    }
    // A bare name would make dlopen search the library path instead of this file.
    std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    // The module stays mapped after dlclose: a plug-in's worker threads may still be
    // returning from their last job when the entry point has already returned, and
    // unmapping the code under them would crash the host. Editors keep modules loaded too.
    void* handle = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* reason = dlerror();
        error = "cannot load the plug-in module '" + path + "': " + (reason ? reason : "unknown");
        return false;
    }
    void* symbol = dlsym(handle, kPluginEntryName);
    if (!symbol) {
        dlclose(handle);
        error = "'" + path + "' is not a filter plug-in (it has no " + kPluginEntryName + ")";
        return false;
    }
    module.system_handle = handle;
    module.entry = reinterpret_cast<PluginEntryProc>(symbol);
    module.path = path;
    return true;
}

void UnloadPluginModule(PluginModule& module) {
    if (module.system_handle) dlclose(module.system_handle);
    module = PluginModule();
}

std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    std::string path(buffer, size_t(length));
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

const char* DefaultPluginFileName() { return "Tarnwell.so"; }

void SetEnvironmentValue(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace tw::host
