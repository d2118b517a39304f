// `tarnwell blend TOP BOTTOM OUT --mode M`: combines two pictures with one of the glue
// modes the plug-in uses to lay its water over the image, and `tarnwell blend --list`.
#pragma once

#include <string>

#include "host/commands.h"
#include "host/picture.h"
#include "host/terminal.h"

namespace tw::host {

int RunBlend(const Arguments& arguments);

// Blends `top` over `bottom` (same size) with `mode`, as the plug-in's pixel writer does:
// the top's alpha is limited to 0..1 and its negative channels dropped, the mode combines
// the colours, and the blend goes over the bottom with the blend's alpha. `out` takes the
// bottom's bit depth; it is grey when both inputs are grey, and has alpha when the bottom
// has. Returns kExitOk, kExitFailure (with `error`) or kExitCancelled (Ctrl-C).
int BlendPictures(const Picture& top, const Picture& bottom, int mode, Picture& out,
                  std::string& error, ProgressBar* progress = nullptr);

}  // namespace tw::host
