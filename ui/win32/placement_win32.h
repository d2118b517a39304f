// Where the plug-in's dialogs appear: over their owner's client area, a little above its
// centre, kept on the screen. place_dialog gathers what the model's rule (ui/placement.h)
// needs from the system and moves the window.
//
// Windows build only.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "ui/placement.h"

namespace tw {

// What the rule would read for `dialog` over `owner` (null: the desktop): the owner's client
// area on the screen, the dialog's window size and style, and the work area of the monitor
// the owner (or the dialog) is on.
PlacementInput GatherPlacementInput(HWND dialog, HWND owner);

// Moves `dialog` over `owner` (null: the desktop) by the rule, keeping its size and Z order.
void place_dialog(HWND dialog, HWND owner);

}  // namespace tw
