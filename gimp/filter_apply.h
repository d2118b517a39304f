// Running the plug-in module from GIMP: finding and loading it, and applying it to a
// drawable with GIMP's progress bar.
#pragma once

#include <cstdint>
#include <string>

#include "host/descriptor.h"
#include "host/module.h"

namespace tw::gimp {

// Loads the module beside this program, or where the installed package keeps it.
bool LoadTarnwellModule(host::PluginModule& module, std::string& error);

// Renders the whole drawable through the module and merges the result as one undo step.
// With `action` the plug-in renders exactly those parameters; without, the ones it cached
// after its previous applied run. False with a one-line message.
bool ApplyToDrawable(PluginEntryProc entry, int32_t drawable, const host::Descriptor* action, std::string& error);

// With TARNWELL_GIMP_TRACE naming a file, appends "what seconds" to it: how the tests and
// the benchmark learn where the dialog's widgets are and how long renders took inside GIMP.
void TraceEvent(const std::string& what, double seconds);

}  // namespace tw::gimp
