// Where the plug-in's dialogs appear: over their owner's client area, a little above its
// centre, kept on the primary screen. place_dialog gathers what the rule needs from the
// system and moves the window; the rule itself is a pure function.
//
// Windows build only.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tw {

// What the placement rule reads, all in screen pixels.
struct PlacementInput {
    RECT owner_client{};          // the owner's (or the desktop's) client area on the screen
    int caption_button_width = 0; // SM_CXSIZE
    int screen_width = 0, screen_height = 0;  // the primary screen
    int dialog_width = 0, dialog_height = 0;  // the dialog's window
    bool has_system_menu = false;
};

// The dialog's top-left corner on the screen.
//
// TODO(model): this stand-in goes when the dialog's model brings its own pure placement
// function in ui/ (the same rule, tested there); place_dialog then calls that one.
POINT DialogPlacementPoint(const PlacementInput& input);

// What place_dialog would read for `dialog` over `owner` (null: the desktop).
PlacementInput GatherPlacementInput(HWND dialog, HWND owner);

// Moves `dialog` over `owner` (null: the desktop) by the rule, keeping its size and Z order.
void place_dialog(HWND dialog, HWND owner);

}  // namespace tw
