// Scripting parameters: an editor that records and replays actions hands the filter a
// descriptor of its parameters at start and takes the parameters it used back at finish.
// Everything goes through the host's descriptor procedures; the keys are those of
// params/script_keys.h.
#pragma once

#include <cstdint>

#include "hostapi/filter_record.h"
#include "params/render_params.h"

namespace tw {

// True when the host's descriptor procedures are complete enough to read and write with.
// A host that fails this never sees a scripting call.
bool ScriptingAvailable(const FilterRecord& record);

// Paint Shop Pro 8 and 9 hand out descriptors that must not be read; the filter takes its
// cached settings there, but still records its parameters at finish.
bool IgnoresScriptedParams(const FilterRecord& record);

// Whether ReadScriptParams is going to take its parameters from a descriptor: scripting is
// available, the host is not one of the above, and a reader opens on the current
// descriptor. The start-up uses it to skip the cached settings. Opens and closes a reader.
bool WillReadScriptParams(FilterRecord& record);

// Reads the host's descriptor into `params` (plain settings first, so missing keys take the
// plain defaults), disposes of the descriptor, upgrades legacy fields and sets `show_dialog`
// from the host's playInfo. Does nothing when the host ignores scripted parameters or
// scripting is unavailable.
void ReadScriptParams(FilterRecord& record, RenderParams& params, uint8_t& show_dialog);

// Records `params` as the host's new descriptor. Refreshes the legacy integers and sets
// `version` to 45 first, because the record written is what old readers expect.
void WriteScriptParams(FilterRecord& record, RenderParams& params);

}  // namespace tw
