// Where every dialog of the plug-in opens: centred across its owner and a third of the way
// down, nudged left by part of a caption button, and kept on the screen.
#pragma once

#include <cstdint>

#include "ui/control_geometry.h"

namespace tw {

struct PlacementInput {
    PixelRect owner_client;        // the owner's client rectangle in screen pixels (the desktop's without owner)
    int32_t dialog_width = 0, dialog_height = 0;
    int32_t caption_button_width = 0;  // the system metric SM_CXSIZE
    bool has_system_menu = false;
    PixelRect screen;              // the work area the dialog must stay on (the owner's monitor)
};

// The dialog's top-left corner in screen pixels. The view moves the window there without
// changing its size or Z order.
PixelPoint place_dialog(const PlacementInput& in);

}  // namespace tw
