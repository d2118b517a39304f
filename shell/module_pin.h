// Worker threads signal that their job is done and only then leave the module's code. A
// host that unloads the plug-in the moment the filter returns would pull that code from
// under a thread that has not quite left it. KeepModuleLoaded makes sure that cannot
// happen; the scheduler calls it before it starts any thread.
#pragma once

namespace tw {

void KeepModuleLoaded();

}  // namespace tw
