// The filter's dialog in GIMP: GIMP's own widgets for every parameter, built from the
// parameter table, and a preview that the plug-in's own preview mode renders on a thread of
// its own while the user goes on typing.
#pragma once

#include <cstdint>

#include "params/render_params.h"

namespace tw::gimp {

// Shows the dialog for `drawable`, opening with `params`. True after OK, with `params`
// holding the dialog's values; false after Cancel, Escape or closing the window, with
// `params` as it was.
bool RunDialog(int32_t drawable, RenderParams& params);

}  // namespace tw::gimp
