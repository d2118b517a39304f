// `tarnwell presets` and `tarnwell dots`: the dialog's preset-folder batch and its ring of
// memory dots, from the command line.
#pragma once

#include "host/commands.h"

namespace tw::host {

int RunPresets(const Arguments& arguments);
int RunDots(const Arguments& arguments);

}  // namespace tw::host
