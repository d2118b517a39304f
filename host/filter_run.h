// One applied run of the filter over an in-memory document, as an editor runs a filter
// (without its dialog unless asked): the library entry that `tarnwell apply` and the GIMP front end share.
// The caller chooses the parameters by the action it hands over (or none, so the plug-in
// loads its cached settings), and hears progress and is asked about cancelling through
// HostEvents.
#pragma once

#include <cstdint>
#include <string>

#include "host/descriptor.h"
#include "host/document.h"
#include "host/host_session.h"

namespace tw::host {

struct FilterRunResult {
    RunOutcome outcome;
    bool offered = true;        // false: the action could not be handed over (out of memory)
    bool have_recorded = false; // the plug-in left a recorded action
    Descriptor recorded;        // what it recorded: the parameters it rendered with
    RunStats stats;             // when the plug-in's requests came, for TARNWELL_TIMINGS
};

// How the editor runs the filter. The default is a run without the dialog, by a host that
// pads requests reaching past the picture's edges.
struct FilterRunOptions {
    // A run a person makes from an editor's menu: the plug-in shows its dialog, owned by
    // the editor's window `parent_window` (0 for none).
    bool show_dialog = false;
    intptr_t parent_window = 0;
    // False: the host cannot pad and refuses requests outside the picture, as strict
    // editors do.
    bool padding = true;
};

// Runs the plug-in over `document`, which holds the result afterwards. With `replay` the
// plug-in renders exactly that action; without it, it is offered no action and loads the
// settings it cached after its previous applied run.
FilterRunResult RunFilter(PluginEntryProc entry, Document& document, const Descriptor* replay,
                          const HostEvents& events, const FilterRunOptions& options = {});

// True when the run rendered; otherwise `message` says why in one line (empty after a
// cancel, which callers report in their own words).
bool FilterRunSucceeded(const FilterRunResult& result, std::string& message);

// Where a front end finds the plug-in module: `Tarnwell.so` (`.8bf`) in `folder` when it is
// there, else in `folder`/`installed_relative`, the layout `cmake --install` makes; the
// module beside the program wins so a build tree runs its own module.
std::string FindPluginModule(const std::string& folder, const std::string& installed_relative);

}  // namespace tw::host
