// On POSIX systems the module marks itself as never to be unmapped: a later dlclose by the
// host leaves the code in place for threads that are still on their way out. Reloading the
// plug-in then finds the same copy, which is harmless.
#include "shell/module_pin.h"

#include <dlfcn.h>

namespace tw {

void KeepModuleLoaded() {
    static const bool pinned = [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&KeepModuleLoaded), &info) == 0 || info.dli_fname == nullptr)
            return false;
        // RTLD_NOLOAD only takes a new reference on the copy already loaded.
        return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
    }();
    (void)pinned;
}

}  // namespace tw
