// The plug-in module's entry point as the host sees it. The host calls it once per selector
// on its own thread; for the about selector the record is an AboutRecord, for every other
// selector a FilterRecord. `data` is a pointer-sized slot the host keeps between calls.
#pragma once

#include <cstdint>

namespace tw {

using PluginEntryProc = void (*)(int16_t selector, void* record, intptr_t* data,
                                 int16_t* result);

// The exported name, as the property list's entry-point property spells it.
constexpr const char* kPluginEntryName = "PluginMain";

}  // namespace tw
