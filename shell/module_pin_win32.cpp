// On Windows every worker thread already holds its own reference to the module and gives it
// back with FreeLibraryAndExitThread (see the platform layer), so nothing more is needed.
#include "shell/module_pin.h"

namespace tw {

void KeepModuleLoaded() {}

}  // namespace tw
