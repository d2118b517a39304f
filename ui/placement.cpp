// Dialog placement.
#include "ui/placement.h"

#include <algorithm>

namespace tw {

PixelPoint place_dialog(const PlacementInput& in) {
    const int32_t cx = in.caption_button_width;
    int32_t x = in.owner_client.left + std::max(0, in.owner_client.width() - in.dialog_width) / 2;
    x -= in.has_system_menu ? cx : cx - cx / 3;
    int32_t y = in.owner_client.top + std::max(0, in.owner_client.height() - in.dialog_height) / 3;
    // Off the right or bottom edge: against that edge, or at its left or top when the
    // dialog is larger than the screen.
    if (x + in.dialog_width > in.screen.right) x = in.screen.left + std::max(0, in.screen.width() - in.dialog_width);
    if (y + in.dialog_height > in.screen.bottom) y = in.screen.top + std::max(0, in.screen.height() - in.dialog_height);
    // The nudge to the left must not push a dialog off the screen's left edge either.
    x = std::max(x, in.screen.left);
    y = std::max(y, in.screen.top);
    return {x, y};
}

}  // namespace tw
